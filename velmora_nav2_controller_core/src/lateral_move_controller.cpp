#include "controller/lateral_move_controller.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

#include "nav2_util/node_utils.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/parameter_value.hpp"
#include "tf2/exceptions.h"
#include "tf2/time.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/buffer.h"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{

// Look-ahead of the collision test on each new command, and of the velocity cycle's own test.
constexpr double kCommandLookAhead = 0.1;
constexpr double kCycleLookAhead = 0.5;
// The heading law never turns faster than this, whatever the gains.
constexpr double kMaxTurnRate = 0.3;
constexpr int kNoMapToBaseTransform = 101100016;
const char * const kArrivalPrefix = "LateralMoveController reach pose is ";

// Every tolerance test is strict: a value on the tolerance is still outside it.
bool within(double tolerance, double value)
{
  return tolerance > std::fabs(value);
}

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

template<typename T>
T declareAndRead(
  const rclcpp_lifecycle::LifecycleNode::SharedPtr & node, const std::string & name,
  const T & default_value)
{
  nav2_util::declare_parameter_if_not_declared(node, name, rclcpp::ParameterValue(default_value));
  T value = default_value;
  node->get_parameter(name, value);
  return value;
}

enum class Bound { any, non_negative, positive };

// A gain, speed or tolerance the rules cannot work with would leave a goal that never arrives or
// drives away from its target, so such values stop the configuration instead.
void requireUsable(const std::string & name, double value, Bound bound)
{
  if (bound == Bound::any) {
    return;
  }
  const bool usable =
    std::isfinite(value) && (bound == Bound::positive ? value > 0.0 : value >= 0.0);
  if (!usable) {
    throw rclcpp::exceptions::InvalidParameterValueException(
            "parameter '" + name + "' is " + std::to_string(value) + ", it must be " +
            (bound == Bound::positive ? "finite and greater than 0" : "finite and at least 0"));
  }
}

}  // namespace

LateralMoveController::LateralMoveController(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: NavControllerBase(node, grid_map),
  distance_law_(0.5, 0.0, 0.01, 0.0, 0.3, -0.3, true),
  sideways_law_(0.5, 0.0, 0.01, 0.0, 0.3, -0.3, true),
  heading_law_(1.0, 0.0, 0.0, 0.0, kMaxTurnRate, -kMaxTurnRate, true)
{
  const auto locked = node_.lock();
  if (!locked) {
    throw std::runtime_error("LateralMoveController needs a live lifecycle node");
  }
  readParameters(locked);
  distance_law_.set_param(x_kp_, x_ki_, x_kd_, 0.0, max_vel_, -max_vel_);
  sideways_law_.set_param(y_kp_, y_ki_, y_kd_, 0.0, max_vel_, -max_vel_);
  heading_law_.set_param(z_kp_, z_ki_, z_kd_, 0.0, kMaxTurnRate, -kMaxTurnRate);
}

void LateralMoveController::readParameters(
  const rclcpp_lifecycle::LifecycleNode::SharedPtr & node)
{
  const struct
  {
    const char * name;
    double * value;
    Bound bound;
  } numbers[] = {
    {"x_kp", &x_kp_, Bound::positive}, {"x_ki", &x_ki_, Bound::non_negative},
    {"x_kd", &x_kd_, Bound::non_negative},
    // The sideways law is never evaluated, so its gains cannot misdrive the robot.
    {"y_kp", &y_kp_, Bound::any}, {"y_ki", &y_ki_, Bound::any}, {"y_kd", &y_kd_, Bound::any},
    {"z_kp", &z_kp_, Bound::positive}, {"z_ki", &z_ki_, Bound::non_negative},
    {"z_kd", &z_kd_, Bound::non_negative}, {"max_vel", &max_vel_, Bound::positive},
    {"x_tolerance", &x_tolerance_, Bound::positive},
    {"y_tolerance", &y_tolerance_, Bound::positive},
    {"theta_tolerance", &theta_tolerance_, Bound::positive},
    {"spin_theta_tolerance", &spin_theta_tolerance_, Bound::any},
  };
  for (const auto & number : numbers) {
    *number.value = declareAndRead(node, number.name, *number.value);
  }
  vel_judge_ = declareAndRead(node, "vel_judge", vel_judge_);
  min_vel_tolerance_ = declareAndRead(node, "min_vel_tolerance", min_vel_tolerance_);

  // All are declared before any is checked, so the node lists every one even when one is refused.
  for (const auto & number : numbers) {
    requireUsable(number.name, *number.value, number.bound);
  }
  requireUsable("min_vel_tolerance", min_vel_tolerance_, Bound::non_negative);
}

bool LateralMoveController::setPlan(std::shared_ptr<const Goal> goal)
{
  VLOG_INFO("LateralMoveController setPlan");
  goal_reached_ = false;
  base_mode_ = false;
  position_settled_ = false;

  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    VLOG_WARN("LateralMoveController refuses the goal: the robot pose is unavailable");
    return false;
  }
  if (!goal || goal->nav_path.poses.size() < 2) {
    VLOG_WARN(
      "LateralMoveController refuses the goal: its path has {} poses, it needs at least 2",
      goal ? goal->nav_path.poses.size() : 0);
    return false;
  }

  const geometry_msgs::msg::PoseStamped & start = goal->nav_path.poses.front();
  geometry_msgs::msg::PoseStamped target = goal->nav_path.poses.back();
  geometry_msgs::msg::PoseStamped odom_pose;
  if (goal->relative_to_base) {
    odom_pose = communicator_->odomUnit()->getOdomPose();
    if (!isFinite(start.pose) || !isFinite(odom_pose.pose)) {
      VLOG_WARN(
        "LateralMoveController refuses the goal: the displacement or the odometry pose is not "
        "finite");
      return false;
    }
  } else if (!targetInFrame(*goal, robot_pose.header.frame_id, target)) {
    return false;
  }

  target_pose_ = target;
  start_pose_ = start;
  distance_law_.reset_error();
  sideways_law_.reset_error();
  heading_law_.reset_error();
  if (goal->relative_to_base) {
    base_mode_ = true;
    fixOdometryTarget(odom_pose);
  }
  distance_law_.set_target(0.0);
  sideways_law_.set_target(0.0);
  heading_law_.set_target(0.0);
  return true;
}

bool LateralMoveController::targetInFrame(
  const Goal & goal, const std::string & frame, geometry_msgs::msg::PoseStamped & target) const
{
  if (!isFinite(target.pose)) {
    VLOG_WARN("LateralMoveController refuses the goal: its target pose is not finite");
    return false;
  }
  // A pose without a frame of its own belongs to the path's frame; a path without any frame is
  // taken as given in the robot's map frame.
  const std::string & target_frame =
    target.header.frame_id.empty() ? goal.nav_path.header.frame_id : target.header.frame_id;
  if (target_frame.empty() || frame.empty() || target_frame == frame) {
    return true;
  }
  try {
    const auto transform = tf_->lookupTransform(frame, target_frame, tf2::TimePointZero);
    geometry_msgs::msg::PoseStamped in_frame;
    tf2::doTransform(target, in_frame, transform);
    target = in_frame;
    return true;
  } catch (const tf2::TransformException & ex) {
    VLOG_ERROR(
      "LateralMoveController cannot express the target in {}: {}", frame, std::string(ex.what()));
    return false;
  }
}

void LateralMoveController::fixOdometryTarget(const geometry_msgs::msg::PoseStamped & odom_pose)
{
  odom_start_pose_ = odom_pose;
  const double ho = base_robot_.quaternion2Yaw(odom_pose.pose.orientation);
  const double hs = base_robot_.quaternion2Yaw(start_pose_.pose.orientation);
  const double sx = start_pose_.pose.position.x;
  const double sy = start_pose_.pose.position.y;

  odom_target_pose_ = geometry_msgs::msg::PoseStamped();
  odom_target_pose_.pose.position.x =
    odom_pose.pose.position.x + sx * std::cos(ho) - sy * std::sin(ho);
  odom_target_pose_.pose.position.y =
    odom_pose.pose.position.y + sx * std::sin(ho) + sy * std::cos(ho);
  odom_target_pose_.pose.orientation = base_robot_.eulerToQuaternion(ho + hs, 0.0, 0.0);
}

bool LateralMoveController::computeVelocity()
{
  return base_mode_ ? computeVelocityFromBase() : computeVelocityFromMap();
}

bool LateralMoveController::computeVelocityFromMap()
{
  if (!isFinite(robot_pose_.pose)) {
    VLOG_ERROR("LateralMoveController has no usable robot pose: it is not finite");
    return false;
  }
  const PlanarPose robot = planar(robot_pose_.pose);
  const Step step = nextStep(robot, planar(target_pose_.pose));

  switch (step.kind) {
    case Step::Kind::arrive:
      arrive(robot_pose_);
      return true;
    case Step::Kind::turn: {
        const geometry_msgs::msg::Twist command = turnCommand(step);
        if (!collision_checker_->isCollisionFreeDt(robot_pose_.pose, command, kCommandLookAhead)) {
          VLOG_WARN("LateralMoveController: turning in place would hit an obstacle");
          return false;
        }
        cmd_vel_ = command;
        return true;
      }
    case Step::Kind::approach: {
        std::string transform_error;
        if (!mapToBaseTransformAvailable(transform_error)) {
          VLOG_ERROR(
            "Align controller cannot redefine goal since no transform is available {}, "
            "error code is {}", transform_error, kNoMapToBaseTransform);
          return false;
        }
        const geometry_msgs::msg::Twist command = approachCommand(step, robot.yaw);
        if (!collision_checker_->isCollisionFreeDt(robot_pose_.pose, command, kCommandLookAhead)) {
          VLOG_WARN("LateralMoveController: the move towards the target would hit an obstacle");
          return false;
        }
        cmd_vel_ = command;
        judgeLowSpeed(command, step);
        return true;
      }
  }
  return false;
}

bool LateralMoveController::computeVelocityFromBase()
{
  const geometry_msgs::msg::PoseStamped odom_pose = communicator_->odomUnit()->getOdomPose();
  if (!isFinite(odom_pose.pose)) {
    VLOG_ERROR("LateralMoveController has no usable odometry pose: it is not finite");
    return false;
  }
  const PlanarPose robot = planar(odom_pose.pose);
  const Step step = nextStep(robot, planar(odom_target_pose_.pose));

  switch (step.kind) {
    case Step::Kind::arrive:
      arrive(odom_pose);
      return true;
    case Step::Kind::turn:
      cmd_vel_ = turnCommand(step);
      return true;
    case Step::Kind::approach:
      cmd_vel_ = approachCommand(step, robot.yaw);
      judgeLowSpeed(cmd_vel_, step);
      return true;
  }
  return false;
}

bool LateralMoveController::mapToBaseTransformAvailable(std::string & error) const
{
  try {
    tf_->lookupTransform("base_footprint", "map", tf2::TimePointZero);
    return true;
  } catch (const tf2::TransformException & ex) {
    error = ex.what();
    return false;
  }
}

LateralMoveController::PlanarPose LateralMoveController::planar(
  const geometry_msgs::msg::Pose & pose) const
{
  return {pose.position.x, pose.position.y, base_robot_.quaternion2Yaw(pose.orientation)};
}

LateralMoveController::Step LateralMoveController::nextStep(
  const PlanarPose & robot, const PlanarPose & target) const
{
  Step step;
  step.heading_error = base_robot_.calDelAngle(robot.yaw, target.yaw);
  step.dx = target.x - robot.x;
  step.dy = target.y - robot.y;
  const bool position_reached =
    position_settled_ || (within(x_tolerance_, step.dx) && within(y_tolerance_, step.dy));
  if (!position_reached) {
    step.kind = Step::Kind::approach;
  } else if (within(theta_tolerance_, step.heading_error)) {
    step.kind = Step::Kind::arrive;
  } else {
    step.kind = Step::Kind::turn;
  }
  return step;
}

geometry_msgs::msg::Twist LateralMoveController::turnCommand(const Step & step)
{
  geometry_msgs::msg::Twist command;
  command.angular.z = heading_law_.cal_output(-step.heading_error);
  return command;
}

geometry_msgs::msg::Twist LateralMoveController::approachCommand(
  const Step & step, double robot_yaw)
{
  // Straight at the target, expressed in the robot's frame; the heading stays as it is.
  const double speed = distance_law_.cal_output(std::hypot(step.dx, step.dy));
  const double bearing = std::atan2(step.dy, step.dx);
  geometry_msgs::msg::Twist command;
  command.linear.x = speed * std::cos(bearing - robot_yaw);
  command.linear.y = speed * std::sin(bearing - robot_yaw);
  return command;
}

void LateralMoveController::arrive(const geometry_msgs::msg::PoseStamped & pose)
{
  goal_reached_ = true;
  base_robot_.printPose(pose, kArrivalPrefix);
  cmd_vel_ = geometry_msgs::msg::Twist();
}

void LateralMoveController::judgeLowSpeed(
  const geometry_msgs::msg::Twist & command, const Step & step)
{
  if (!vel_judge_ || !within(min_vel_tolerance_, command.linear.x) ||
    !within(min_vel_tolerance_, command.linear.y))
  {
    return;
  }
  // The approach has slowed to a crawl: the position counts as reached. The goal is over only
  // when the heading is right too; otherwise the next cycles turn in place.
  position_settled_ = true;
  if (within(theta_tolerance_, step.heading_error)) {
    goal_reached_ = true;
  }
}

bool LateralMoveController::isGoalReached()
{
  if (!goal_reached_) {
    return false;
  }
  VLOG_INFO("LateralMoveController isGoalReached");
  return true;
}

bool LateralMoveController::isCollisionFree()
{
  if (base_mode_) {
    return true;
  }
  // Standing still cannot collide; refusing a stop would only turn an arrival next to an
  // obstacle into a failed goal.
  const geometry_msgs::msg::Twist stop;
  if (cmd_vel_ == stop) {
    return true;
  }
  if (collision_checker_->isCollisionFreeDt(robot_pose_.pose, cmd_vel_, kCycleLookAhead)) {
    return true;
  }
  VLOG_INFO("!!!!! LateralMoveController isCollisionFree");
  return false;
}

}  // namespace controller
