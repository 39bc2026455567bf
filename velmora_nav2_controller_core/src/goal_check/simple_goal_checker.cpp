#include "nav2_controller/simple_goal_checker.hpp"

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

constexpr double kDefaultTolerance = 0.25;
constexpr double kPi = 3.14159265358979323846;

const char * const kXyTolerance = ".xy_goal_tolerance";
const char * const kYawTolerance = ".yaw_goal_tolerance";
const char * const kPreciseXyTolerance = ".precise_goal_reaching_xy_goal_tolerance";
const char * const kPreciseYawTolerance = ".precise_goal_reaching_yaw_goal_tolerance";
const char * const kStateful = ".stateful";
const char * const kPreciseGoalReaching = ".precise_goal_reaching";

// A negative tolerance would pass once squared, and one that is not a number would make every
// comparison false; neither describes a goal region.
bool isValidTolerance(double tolerance)
{
  return tolerance >= 0.0;
}

std::string invalidToleranceMessage(const std::string & name, double value)
{
  return "parameter '" + name + "' must be a non-negative number, got " + std::to_string(value);
}

// Yaw of a quaternion of any length, exact at the pitch singularity. Not a number when the
// quaternion has no orientation to give (a component that is not finite, or all zero).
double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  const double norm_sq = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  if (!std::isfinite(norm_sq) || norm_sq == 0.0) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const double sin_pitch = -2.0 * (q.x * q.z - q.w * q.y) / norm_sq;
  if (sin_pitch <= -0.99999) {
    return -2.0 * std::atan2(q.y, q.x);
  }
  if (sin_pitch >= 0.99999) {
    return 2.0 * std::atan2(q.y, q.x);
  }
  return std::atan2(2.0 * (q.x * q.y + q.w * q.z), q.w * q.w + q.x * q.x - q.y * q.y - q.z * q.z);
}

// The same angle in (-pi, pi].
double normalizedAngle(double angle)
{
  const double shifted = std::fmod(angle + kPi, 2.0 * kPi);
  return shifted <= 0.0 ? shifted + kPi : shifted - kPi;
}

}  // namespace

SimpleGoalChecker::SimpleGoalChecker()
: xy_goal_tolerance_(kDefaultTolerance),
  yaw_goal_tolerance_(kDefaultTolerance),
  normal_xy_goal_tolerance_(kDefaultTolerance),
  normal_yaw_goal_tolerance_(kDefaultTolerance),
  precise_xy_goal_tolerance_(kDefaultTolerance),
  precise_yaw_goal_tolerance_(kDefaultTolerance),
  stateful_(true),
  check_xy_(true),
  xy_goal_tolerance_sq_(kDefaultTolerance * kDefaultTolerance)
{
}

void SimpleGoalChecker::initialize(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
  const std::string & plugin_name,
  const std::shared_ptr<nav2_costmap_2d::Costmap2DROS> /*costmap_ros*/)
{
  plugin_name_ = plugin_name;
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }

  for (const char * suffix :
    {kXyTolerance, kYawTolerance, kPreciseXyTolerance, kPreciseYawTolerance})
  {
    nav2_util::declare_parameter_if_not_declared(
      node, plugin_name + suffix, rclcpp::ParameterValue(kDefaultTolerance));
  }
  nav2_util::declare_parameter_if_not_declared(
    node, plugin_name + kStateful, rclcpp::ParameterValue(true));
  nav2_util::declare_parameter_if_not_declared(
    node, plugin_name + kPreciseGoalReaching, rclcpp::ParameterValue(false));

  auto read_tolerance = [&node, &plugin_name](const char * suffix) {
      double tolerance = kDefaultTolerance;
      node->get_parameter(plugin_name + suffix, tolerance);
      if (!isValidTolerance(tolerance)) {
        throw rclcpp::exceptions::InvalidParameterValueException(
                invalidToleranceMessage(plugin_name + suffix, tolerance));
      }
      return tolerance;
    };
  const double xy_goal_tolerance = read_tolerance(kXyTolerance);
  const double yaw_goal_tolerance = read_tolerance(kYawTolerance);
  const double precise_xy_goal_tolerance = read_tolerance(kPreciseXyTolerance);
  const double precise_yaw_goal_tolerance = read_tolerance(kPreciseYawTolerance);
  bool stateful = true;
  node->get_parameter(plugin_name + kStateful, stateful);

  {
    std::lock_guard<std::mutex> lock(mutex_);
    normal_xy_goal_tolerance_ = xy_goal_tolerance;
    normal_yaw_goal_tolerance_ = yaw_goal_tolerance;
    precise_xy_goal_tolerance_ = precise_xy_goal_tolerance;
    precise_yaw_goal_tolerance_ = precise_yaw_goal_tolerance;
    stateful_ = stateful;
    useTolerances(xy_goal_tolerance, yaw_goal_tolerance);
  }

  dyn_params_handler_ = node->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return dynamicParametersCallback(parameters);
    });
}

void SimpleGoalChecker::reset()
{
  std::lock_guard<std::mutex> lock(mutex_);
  check_xy_ = true;
}

bool SimpleGoalChecker::isGoalReached(
  const geometry_msgs::msg::Pose & query_pose, const geometry_msgs::msg::Pose & goal_pose,
  const geometry_msgs::msg::Twist & /*velocity*/)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (check_xy_) {
    const double dx = query_pose.position.x - goal_pose.position.x;
    const double dy = query_pose.position.y - goal_pose.position.y;
    // Asked this way round so that a distance that is not a number fails the test.
    if (!(dx * dx + dy * dy <= xy_goal_tolerance_sq_)) {
      return false;
    }
    if (stateful_) {
      check_xy_ = false;
    }
  }
  const double heading_error =
    normalizedAngle(yawOf(goal_pose.orientation) - yawOf(query_pose.orientation));
  return std::isfinite(heading_error) && std::fabs(heading_error) < yaw_goal_tolerance_;
}

bool SimpleGoalChecker::getTolerances(
  geometry_msgs::msg::Pose & pose_tolerance,
  geometry_msgs::msg::Twist & vel_tolerance)
{
  const double unchecked = std::numeric_limits<double>::lowest();
  std::lock_guard<std::mutex> lock(mutex_);

  pose_tolerance.position.x = xy_goal_tolerance_;
  pose_tolerance.position.y = xy_goal_tolerance_;
  pose_tolerance.position.z = unchecked;
  pose_tolerance.orientation.x = 0.0;
  pose_tolerance.orientation.y = 0.0;
  pose_tolerance.orientation.z = std::sin(yaw_goal_tolerance_ / 2.0);
  pose_tolerance.orientation.w = std::cos(yaw_goal_tolerance_ / 2.0);

  vel_tolerance.linear.x = unchecked;
  vel_tolerance.linear.y = unchecked;
  vel_tolerance.linear.z = unchecked;
  vel_tolerance.angular.x = unchecked;
  vel_tolerance.angular.y = unchecked;
  vel_tolerance.angular.z = unchecked;
  return true;
}

rcl_interfaces::msg::SetParametersResult SimpleGoalChecker::dynamicParametersCallback(
  std::vector<rclcpp::Parameter> parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  const std::string xy_name = plugin_name_ + kXyTolerance;
  const std::string yaw_name = plugin_name_ + kYawTolerance;

  // Checked before anything is applied: a refused batch is not stored by the node either.
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (parameter.get_type() == rclcpp::ParameterType::PARAMETER_DOUBLE &&
      (name == xy_name || name == yaw_name) && !isValidTolerance(parameter.as_double()))
    {
      result.successful = false;
      result.reason = invalidToleranceMessage(name, parameter.as_double());
      return result;
    }
  }

  std::lock_guard<std::mutex> lock(mutex_);
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    const rclcpp::ParameterType type = parameter.get_type();
    if (type == rclcpp::ParameterType::PARAMETER_DOUBLE) {
      if (name == xy_name) {
        xy_goal_tolerance_ = parameter.as_double();
        xy_goal_tolerance_sq_ = xy_goal_tolerance_ * xy_goal_tolerance_;
      } else if (name == yaw_name) {
        yaw_goal_tolerance_ = parameter.as_double();
      }
    } else if (type == rclcpp::ParameterType::PARAMETER_BOOL) {
      if (name == plugin_name_ + kStateful) {
        stateful_ = parameter.as_bool();
      } else if (name == plugin_name_ + kPreciseGoalReaching) {
        if (parameter.as_bool()) {
          useTolerances(precise_xy_goal_tolerance_, precise_yaw_goal_tolerance_);
        } else {
          useTolerances(normal_xy_goal_tolerance_, normal_yaw_goal_tolerance_);
        }
      }
    }
  }
  result.successful = true;
  return result;
}

void SimpleGoalChecker::useTolerances(double xy_goal_tolerance, double yaw_goal_tolerance)
{
  xy_goal_tolerance_ = xy_goal_tolerance;
  yaw_goal_tolerance_ = yaw_goal_tolerance;
  xy_goal_tolerance_sq_ = xy_goal_tolerance * xy_goal_tolerance;
}

}  // namespace nav2_controller

PLUGINLIB_EXPORT_CLASS(nav2_controller::SimpleGoalChecker, nav2_core::GoalChecker)
