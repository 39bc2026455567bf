#ifndef DWB_PLUGINS__XY_THETA_ITERATOR_HPP_
#define DWB_PLUGINS__XY_THETA_ITERATOR_HPP_

#include <memory>
#include <string>

#include "dwb_plugins/kinematic_parameters.hpp"
#include "dwb_plugins/one_d_velocity_iterator.hpp"
#include "dwb_plugins/velocity_iterator.hpp"

namespace dwb_plugins
{

// Every combination of the x, y and theta samples (theta varying fastest, then y, then x) that
// passes the speed checks. The sample counts "<plugin>.vx_samples", "vy_samples" and
// "vtheta_samples" are read once, in initialize: a later change of them has no effect.
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
  // Checked against the limits in force at the moment of the check.
  virtual bool isValidSpeed(double x, double y, double theta);
  virtual bool isValidVelocity();
  void iterateToValidVelocity();

  int vx_samples_{20};
  int vy_samples_{5};
  int vtheta_samples_{20};
  KinematicsHandler::Ptr kinematics_handler_;
  std::shared_ptr<OneDVelocityIterator> x_it_;
  std::shared_ptr<OneDVelocityIterator> y_it_;
  std::shared_ptr<OneDVelocityIterator> th_it_;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__XY_THETA_ITERATOR_HPP_
