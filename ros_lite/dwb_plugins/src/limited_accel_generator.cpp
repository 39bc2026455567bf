#include "dwb_plugins/limited_accel_generator.hpp"

#include <string>

#include "nav2_util/node_utils.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_plugins
{

void LimitedAccelGenerator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name)
{
  plugin_name_ = plugin_name;
  StandardTrajectoryGenerator::initialize(nh, plugin_name_);

  const std::string name = plugin_name_ + ".sim_period";
  nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::PARAMETER_DOUBLE);
  if (nh->get_parameter(name, acceleration_time_)) {
    return;
  }
  const double controller_frequency =
    nav_2d_utils::searchAndGetParam(nh, "controller_frequency", 20.0);
  if (controller_frequency > 0.0) {
    acceleration_time_ = 1.0 / controller_frequency;
  } else {
    RCLCPP_WARN(
      nh->get_logger(),
      "controller_frequency is %f, not above zero; assuming a rate of 20 Hz", controller_frequency);
    acceleration_time_ = 0.05;
  }
  RCLCPP_WARN(
    nh->get_logger(),
    "'%s' is not set; using 1 / controller_frequency = %f s. This may cause trajectories to be "
    "generated at velocities the robot cannot reach.", name.c_str(), acceleration_time_);
}

void LimitedAccelGenerator::startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity)
{
  velocity_iterator_->startNewIteration(current_velocity, acceleration_time_);
}

nav_2d_msgs::msg::Twist2D LimitedAccelGenerator::computeNewVelocity(
  const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D &, const double)
{
  return cmd_vel;
}

}  // namespace dwb_plugins

PLUGINLIB_EXPORT_CLASS(dwb_plugins::LimitedAccelGenerator, dwb_core::TrajectoryGenerator)
