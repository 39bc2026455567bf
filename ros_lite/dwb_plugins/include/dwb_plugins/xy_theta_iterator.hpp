#ifndef DWB_PLUGINS__XY_THETA_ITERATOR_HPP_
#define DWB_PLUGINS__XY_THETA_ITERATOR_HPP_

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "dwb_plugins/kinematic_parameters.hpp"
#include "dwb_plugins/one_d_velocity_iterator.hpp"
#include "dwb_plugins/velocity_iterator.hpp"

namespace dwb_plugins
{

// Every combination of the x, y and theta samples (theta varying fastest) that the speed limits
// allow. The sample counts are "<plugin>.vx_samples", "vy_samples" and "vtheta_samples".
//
// Unlike the generators the counts were modelled on, the counts follow run-time parameter
// changes: the controller sets them per goal, and they take effect at the next iteration.
class XYThetaIterator : public VelocityIterator
{
public:
  XYThetaIterator() = default;
  void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh,
    KinematicsHandler::Ptr kinematics,
    const std::string & plugin_name) override;
  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity, double dt) override;
  bool hasMoreTwists() override;
  nav_2d_msgs::msg::Twist2D nextTwist() override;

protected:
  // Within the xy speed limits (a max_speed_xy of zero means no cap), or turning at least
  // min_speed_theta when slower than min_speed_xy; never standing still.
  virtual bool isValidSpeed(double x, double y, double theta);
  virtual bool isValidVelocity();
  void iterateToValidVelocity();

  int vx_samples_{20};
  int vy_samples_{5};
  int vtheta_samples_{20};
  KinematicsHandler::Ptr kinematics_handler_;
  // The limits of the running iteration, taken once when it starts.
  KinematicParameters kinematics_;
  std::shared_ptr<OneDVelocityIterator> x_it_;
  std::shared_ptr<OneDVelocityIterator> y_it_;
  std::shared_ptr<OneDVelocityIterator> th_it_;

private:
  rcl_interfaces::msg::SetParametersResult onParametersSet(
    const std::vector<rclcpp::Parameter> & parameters);

  std::string plugin_name_;
  std::atomic<int> requested_vx_samples_{20};
  std::atomic<int> requested_vy_samples_{5};
  std::atomic<int> requested_vtheta_samples_{20};
  rclcpp::node_interfaces::OnSetParametersCallbackHandle::SharedPtr samples_handler_;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__XY_THETA_ITERATOR_HPP_
