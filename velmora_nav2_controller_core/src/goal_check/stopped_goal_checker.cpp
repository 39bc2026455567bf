#include "nav2_controller/stopped_goal_checker.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "nav2_util/node_utils.hpp"
#include "pluginlib/class_list_macros.hpp"
#include "rclcpp/exceptions.hpp"

namespace nav2_controller
{

namespace
{

constexpr double kDefaultStoppedVelocity = 0.25;
const char * const kRotStopped = ".rot_stopped_velocity";
const char * const kTransStopped = ".trans_stopped_velocity";

// A negative bound accepts no speed at all and one that is not a number makes every comparison
// false; neither says what "stopped" is.
bool isValidBound(double bound)
{
  return bound >= 0.0 && std::isfinite(bound);
}

std::string invalidBoundMessage(const std::string & name, double value)
{
  return "parameter '" + name + "' must be a finite number at least 0, got " +
         std::to_string(value);
}

}  // namespace

StoppedGoalChecker::StoppedGoalChecker()
: rot_stopped_velocity_(kDefaultStoppedVelocity),
  trans_stopped_velocity_(kDefaultStoppedVelocity)
{
}

void StoppedGoalChecker::initialize(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
  const std::string & plugin_name,
  const std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros)
{
  stopped_plugin_name_ = plugin_name;
  SimpleGoalChecker::initialize(parent, plugin_name, costmap_ros);
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }
  double bounds[2] = {kDefaultStoppedVelocity, kDefaultStoppedVelocity};
  const char * const suffixes[2] = {kRotStopped, kTransStopped};
  for (int i = 0; i < 2; ++i) {
    const std::string name = plugin_name + suffixes[i];
    nav2_util::declare_parameter_if_not_declared(
      node, name, rclcpp::ParameterValue(kDefaultStoppedVelocity));
    node->get_parameter(name, bounds[i]);
    if (!isValidBound(bounds[i])) {
      throw rclcpp::exceptions::InvalidParameterValueException(
              invalidBoundMessage(name, bounds[i]));
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rot_stopped_velocity_ = bounds[0];
    trans_stopped_velocity_ = bounds[1];
  }
  stopped_params_handler_ = node->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return dynamicParametersCallback(parameters);
    });
}

bool StoppedGoalChecker::isGoalReached(
  const geometry_msgs::msg::Pose & query_pose, const geometry_msgs::msg::Pose & goal_pose,
  const geometry_msgs::msg::Twist & velocity)
{
  if (!SimpleGoalChecker::isGoalReached(query_pose, goal_pose, velocity)) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  // Asked this way round so that a speed that is not a number does not count as stopped.
  return std::fabs(velocity.angular.z) <= rot_stopped_velocity_ &&
         std::hypot(velocity.linear.x, velocity.linear.y) <= trans_stopped_velocity_;
}

bool StoppedGoalChecker::getTolerances(
  geometry_msgs::msg::Pose & pose_tolerance,
  geometry_msgs::msg::Twist & vel_tolerance)
{
  const bool result = SimpleGoalChecker::getTolerances(pose_tolerance, vel_tolerance);
  const double unchecked = std::numeric_limits<double>::lowest();
  std::lock_guard<std::mutex> lock(mutex_);
  vel_tolerance.linear.x = trans_stopped_velocity_;
  vel_tolerance.linear.y = trans_stopped_velocity_;
  vel_tolerance.linear.z = unchecked;
  vel_tolerance.angular.x = unchecked;
  vel_tolerance.angular.y = unchecked;
  vel_tolerance.angular.z = rot_stopped_velocity_;
  return result;
}

rcl_interfaces::msg::SetParametersResult StoppedGoalChecker::dynamicParametersCallback(
  std::vector<rclcpp::Parameter> parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  const std::string rot_name = stopped_plugin_name_ + kRotStopped;
  const std::string trans_name = stopped_plugin_name_ + kTransStopped;
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (parameter.get_type() == rclcpp::ParameterType::PARAMETER_DOUBLE &&
      (name == rot_name || name == trans_name) && !isValidBound(parameter.as_double()))
    {
      result.successful = false;
      result.reason = invalidBoundMessage(name, parameter.as_double());
      return result;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (const rclcpp::Parameter & parameter : parameters) {
    if (parameter.get_type() != rclcpp::ParameterType::PARAMETER_DOUBLE) {
      continue;
    }
    if (parameter.get_name() == rot_name) {
      rot_stopped_velocity_ = parameter.as_double();
    } else if (parameter.get_name() == trans_name) {
      trans_stopped_velocity_ = parameter.as_double();
    }
  }
  result.successful = true;
  return result;
}

}  // namespace nav2_controller

PLUGINLIB_EXPORT_CLASS(nav2_controller::StoppedGoalChecker, nav2_core::GoalChecker)
