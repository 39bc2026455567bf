#include "dwb_plugins/limited_accel_generator.hpp"

#include <cmath>
#include <string>

#include "nav2_util/node_utils.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_plugins
{

void LimitedAccelGenerator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name)
{
  plugin_name_ = plugin_name;
  StandardTrajectoryGenerator::initialize(nh, plugin_name);

  const std::string name = plugin_name + ".sim_period";
  nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::PARAMETER_DOUBLE);
  double sim_period = 0.0;
  if (nh->get_parameter(name, sim_period) && std::isfinite(sim_period) && sim_period > 0.0) {
    acceleration_time_ = sim_period;
    return;
  }
  // Read, never declared: the controller server owns controller_frequency.
  double controller_frequency = 20.0;
  if (nh->has_parameter("controller_frequency")) {
    nh->get_parameter("controller_frequency", controller_frequency);
  }
  acceleration_time_ =
    std::isfinite(controller_frequency) && controller_frequency > 0.0 ?
    1.0 / controller_frequency : 0.05;
  RCLCPP_WARN(
    nh->get_logger(),
    "'%s' is not set to a positive period; using 1 / controller_frequency = %f s. This may "
    "cause trajectories to be generated at velocities the robot cannot reach.",
    name.c_str(), acceleration_time_);
}

void LimitedAccelGenerator::startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity)
{
  refreshSimTime();
  velocity_iterator_->startNewIteration(current_velocity, acceleration_time_);
}

nav_2d_msgs::msg::Twist2D LimitedAccelGenerator::computeNewVelocity(
  const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D &, const double)
{
  return cmd_vel;
}

}  // namespace dwb_plugins

PLUGINLIB_EXPORT_CLASS(dwb_plugins::LimitedAccelGenerator, dwb_core::TrajectoryGenerator)
