#ifndef DWB_PLUGINS__KINEMATIC_PARAMETERS_HPP_
#define DWB_PLUGINS__KINEMATIC_PARAMETERS_HPP_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nav2_util/lifecycle_node.hpp"
#include "rclcpp/rclcpp.hpp"

namespace dwb_plugins
{

// The robot's velocity and acceleration limits, taken as configured: nothing is range-checked,
// so decelerations are meant to be negative but a positive one is used as it is. The getters are
// not const, like those of the library this stands in for, so that code built here also builds
// there.
struct KinematicParameters
{
  friend class KinematicsHandler;

  inline double getMinX() {return min_vel_x_;}
  inline double getMaxX() {return max_vel_x_;}
  inline double getAccX() {return acc_lim_x_;}
  inline double getDecelX() {return decel_lim_x_;}

  inline double getMinY() {return min_vel_y_;}
  inline double getMaxY() {return max_vel_y_;}
  inline double getAccY() {return acc_lim_y_;}
  inline double getDecelY() {return decel_lim_y_;}

  inline double getMinSpeedXY() {return min_speed_xy_;}
  inline double getMaxSpeedXY() {return max_speed_xy_;}

  inline double getMinTheta() {return -max_vel_theta_;}
  inline double getMaxTheta() {return max_vel_theta_;}
  inline double getAccTheta() {return acc_lim_theta_;}
  inline double getDecelTheta() {return decel_lim_theta_;}
  inline double getMinSpeedTheta() {return min_speed_theta_;}

  inline double getMinSpeedXY_SQ() {return min_speed_xy_sq_;}
  inline double getMaxSpeedXY_SQ() {return max_speed_xy_sq_;}

  // Whether a twist passes the speed checks. A negative min_speed_xy, max_speed_xy or
  // min_speed_theta turns its check off; a max_speed_xy of 0 lets only pure rotations pass.
  // Slower than min_speed_xy is fine while turning at least min_speed_theta; standing still
  // never is.
  bool isValidSpeed(double x, double y, double theta);

protected:
  double min_vel_x_{0};
  double min_vel_y_{0};
  double max_vel_x_{0};
  double max_vel_y_{0};
  double base_max_vel_x_{0};
  double base_max_vel_y_{0};
  double max_vel_theta_{0};
  double base_max_vel_theta_{0};
  double min_speed_xy_{0};
  double max_speed_xy_{0};
  double base_max_speed_xy_{0};
  double min_speed_theta_{0};
  double acc_lim_x_{0};
  double acc_lim_y_{0};
  double acc_lim_theta_{0};
  double decel_lim_x_{0};
  double decel_lim_y_{0};
  double decel_lim_theta_{0};
  double min_speed_xy_sq_{0};
  double max_speed_xy_sq_{0};
};

// Owns the current limits as a snapshot that is replaced whole, so a reader always sees one
// consistent set even while the limits change under a running search.
class KinematicsHandler
{
public:
  KinematicsHandler();
  ~KinematicsHandler();

  // Declares the 14 limits under "<plugin_name>." (doubles, 0.0 unless configured) and follows
  // their run-time changes. Every double is taken as it is.
  void initialize(const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name);

  inline KinematicParameters getKinematics()
  {
    std::lock_guard<std::mutex> lock(snapshot_mutex_);
    return *kinematics_.load();
  }

  // `speed_limit` in percent of the configured maxima, or in m/s (then only below the configured
  // max_speed_xy); nav2_costmap_2d::NO_SPEED_LIMIT restores the configured maxima.
  void setSpeedLimit(const double & speed_limit, const bool & percentage);

  using Ptr = std::shared_ptr<KinematicsHandler>;

protected:
  std::atomic<KinematicParameters *> kinematics_;
  rclcpp::node_interfaces::OnSetParametersCallbackHandle::SharedPtr dyn_params_handler_;

  // Takes every double among the 14 limits and always reports success; values of another type
  // under those names are ignored.
  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);
  void update_kinematics(KinematicParameters kinematics);

  std::string plugin_name_;

private:
  // One of the limits a parameter sets, and what a change of it must also refresh.
  struct Limit;
  static const std::vector<Limit> & limits();
  static const Limit * findLimit(const std::string & name);

  // Readers copy the snapshot under this lock too: without it a reader could still be copying a
  // snapshot that a concurrent update has just freed.
  std::mutex snapshot_mutex_;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__KINEMATIC_PARAMETERS_HPP_
