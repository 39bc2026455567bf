#include "nav2_controller/simple_progress_checker.hpp"

#include <cmath>
#include <stdexcept>

#include "nav2_util/node_utils.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "pluginlib/class_list_macros.hpp"
#include "rclcpp/exceptions.hpp"

namespace nav2_controller
{

namespace
{

const char * const kRadius = ".required_movement_radius";
const char * const kTimeAllowance = ".movement_time_allowance";

bool isValidValue(double value)
{
  return value >= 0.0 && std::isfinite(value);
}

std::string invalidValueMessage(const std::string & name, double value)
{
  return "parameter '" + name + "' must be a finite number at least 0, got " +
         std::to_string(value);
}

}  // namespace

SimpleProgressChecker::SimpleProgressChecker()
: radius_(0.0),
  time_allowance_(0, 0),
  baseline_time_(0, 0, RCL_ROS_TIME),
  baseline_pose_set_(false)
{
}

void SimpleProgressChecker::initialize(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
  const std::string & plugin_name)
{
  plugin_name_ = plugin_name;
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }
  const std::string radius_name = plugin_name + kRadius;
  const std::string allowance_name = plugin_name + kTimeAllowance;
  nav2_util::declare_parameter_if_not_declared(node, radius_name, rclcpp::ParameterValue(0.5));
  nav2_util::declare_parameter_if_not_declared(
    node, allowance_name, rclcpp::ParameterValue(10.0));
  double radius = 0.5;
  double allowance = 10.0;
  node->get_parameter(radius_name, radius);
  node->get_parameter(allowance_name, allowance);
  if (!isValidValue(radius)) {
    throw rclcpp::exceptions::InvalidParameterValueException(
            invalidValueMessage(radius_name, radius));
  }
  if (!isValidValue(allowance)) {
    throw rclcpp::exceptions::InvalidParameterValueException(
            invalidValueMessage(allowance_name, allowance));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_ = node->get_clock();
    radius_ = radius;
    time_allowance_ = rclcpp::Duration::from_seconds(allowance);
  }
  dyn_params_handler_ = node->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return dynamicParametersCallback(parameters);
    });
}

bool SimpleProgressChecker::check(geometry_msgs::msg::PoseStamped & current_pose)
{
  const geometry_msgs::msg::Pose2D pose = nav_2d_utils::poseToPose2D(current_pose.pose);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!baseline_pose_set_ || is_robot_moved_enough(pose)) {
    reset_baseline_pose(pose);
    return true;
  }
  return !((clock_->now() - baseline_time_) > time_allowance_);
}

void SimpleProgressChecker::reset()
{
  std::lock_guard<std::mutex> lock(mutex_);
  baseline_pose_set_ = false;
}

bool SimpleProgressChecker::is_robot_moved_enough(const geometry_msgs::msg::Pose2D & pose)
{
  return std::hypot(pose.x - baseline_pose_.x, pose.y - baseline_pose_.y) > radius_;
}

void SimpleProgressChecker::reset_baseline_pose(const geometry_msgs::msg::Pose2D & pose)
{
  baseline_pose_ = pose;
  baseline_time_ = clock_->now();
  baseline_pose_set_ = true;
}

rcl_interfaces::msg::SetParametersResult SimpleProgressChecker::dynamicParametersCallback(
  std::vector<rclcpp::Parameter> parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  const std::string radius_name = plugin_name_ + kRadius;
  const std::string allowance_name = plugin_name_ + kTimeAllowance;
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (parameter.get_type() == rclcpp::ParameterType::PARAMETER_DOUBLE &&
      (name == radius_name || name == allowance_name) && !isValidValue(parameter.as_double()))
    {
      result.successful = false;
      result.reason = invalidValueMessage(name, parameter.as_double());
      return result;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (const rclcpp::Parameter & parameter : parameters) {
    if (parameter.get_type() != rclcpp::ParameterType::PARAMETER_DOUBLE) {
      continue;
    }
    if (parameter.get_name() == radius_name) {
      radius_ = parameter.as_double();
    } else if (parameter.get_name() == allowance_name) {
      time_allowance_ = rclcpp::Duration::from_seconds(parameter.as_double());
    }
  }
  result.successful = true;
  return result;
}

}  // namespace nav2_controller

PLUGINLIB_EXPORT_CLASS(nav2_controller::SimpleProgressChecker, nav2_core::ProgressChecker)
