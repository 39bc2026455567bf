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

// A speed limit of this value lifts any limit set before.
constexpr double NO_SPEED_LIMIT = 0.0;

// The robot's velocity and acceleration limits. Decelerations are negative.
struct KinematicParameters
{
  friend class KinematicsHandler;

  inline double getMinX() const {return min_vel_x_;}
  inline double getMaxX() const {return max_vel_x_;}
  inline double getAccX() const {return acc_lim_x_;}
  inline double getDecelX() const {return decel_lim_x_;}

  inline double getMinY() const {return min_vel_y_;}
  inline double getMaxY() const {return max_vel_y_;}
  inline double getAccY() const {return acc_lim_y_;}
  inline double getDecelY() const {return decel_lim_y_;}

  inline double getMinSpeedXY() const {return min_speed_xy_;}
  inline double getMaxSpeedXY() const {return max_speed_xy_;}

  inline double getMinTheta() const {return -max_vel_theta_;}
  inline double getMaxTheta() const {return max_vel_theta_;}
  inline double getAccTheta() const {return acc_lim_theta_;}
  inline double getDecelTheta() const {return decel_lim_theta_;}
  inline double getMinSpeedTheta() const {return min_speed_theta_;}

  inline double getMinSpeedXY_SQ() const {return min_speed_xy_sq_;}
  inline double getMaxSpeedXY_SQ() const {return max_speed_xy_sq_;}

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

// Owns the current limits as an immutable snapshot that is replaced whole, so a reader always
// sees one consistent set even while the limits change under a running search.
class KinematicsHandler
{
public:
  KinematicsHandler();
  ~KinematicsHandler();

  // Declares the limits under "<plugin_name>." and follows their run-time changes. Throws
  // std::invalid_argument when a configured value is one a change would be refused for.
  void initialize(const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name);

  inline KinematicParameters getKinematics()
  {
    std::lock_guard<std::mutex> lock(snapshot_mutex_);
    return *kinematics_.load();
  }

  // `speed_limit` in percent of the configured maxima, or in m/s; NO_SPEED_LIMIT restores them.
  void setSpeedLimit(const double & speed_limit, const bool & percentage);

  using Ptr = std::shared_ptr<KinematicsHandler>;

protected:
  std::atomic<KinematicParameters *> kinematics_;
  rclcpp::node_interfaces::OnSetParametersCallbackHandle::SharedPtr dyn_params_handler_;

  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);
  void update_kinematics(KinematicParameters kinematics);

  std::string plugin_name_;

private:
  // One of the limits a parameter sets, and what a change of it must also refresh.
  struct Limit;
  static const std::vector<Limit> & limits();
  static const Limit * findLimit(const std::string & name);
  // Empty when `value` may be taken for `limit`, else why not.
  static std::string refusalReason(const Limit & limit, const std::string & name, double value);

  // Readers copy the snapshot under this lock too: without it a reader could still be copying a
  // snapshot that a concurrent update has just freed.
  std::mutex snapshot_mutex_;
  rclcpp::Logger logger_{rclcpp::get_logger("KinematicsHandler")};
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__KINEMATIC_PARAMETERS_HPP_
