#include "controller/nav_controller_base.hpp"

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "nav2_controller/simple_goal_checker.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "nav_2d_utils/tf_help.hpp"
#include "tf2/exceptions.h"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{

using MovementStatus = velmora_protocol::msg::MoveMentStatus;

// Run modes with their own movement-status rules; the others report nothing but still.
constexpr std::int32_t kRunModeDefault = 0;
constexpr std::int32_t kRunModeAnyMotionTranslates = 405;
constexpr std::int32_t kRunModeStandard = 500;
constexpr std::int32_t kRunModeAnyMotionReported = 502;
constexpr std::int32_t kRunModeSidewaysRotates = 503;
constexpr std::int32_t kRunModeStandardAlternative = 504;

// Below these magnitudes a command component does not move the robot noticeably.
constexpr double kStatusLinearThreshold = 0.03;
constexpr double kStatusAngularThreshold = 0.08;

// Turn classification: travelling above kTurnTravelSpeed, turning above the rotation limit that
// applies (wider while travelling, so that small heading corrections stay "straight").
constexpr double kTurnTravelSpeed = 0.1;
constexpr double kTurnRotationWhileTravelling = 0.12;
constexpr double kTurnRotationInPlace = 0.1;

constexpr char kGoalCheckerName[] = "general_goal_checker";
constexpr char kPreciseGoalReachingParameter[] = "general_goal_checker.precise_goal_reaching";

// Undebounced turn code of a command.
std::int32_t classifyTurn(double vx, double wz)
{
  if (std::abs(vx) > kTurnTravelSpeed) {
    if (std::abs(wz) <= kTurnRotationWhileTravelling) {
      return NavControllerBase::kTurnStraight;
    }
    // Reversing with a clockwise rotation swings the robot's travel direction to the left.
    const bool forward = vx > kTurnTravelSpeed;
    const bool left = (wz > 0.0 && forward) || (wz <= 0.0 && !forward);
    return left ? NavControllerBase::kTurnLeft : NavControllerBase::kTurnRight;
  }
  if (std::abs(wz) > kTurnRotationInPlace) {
    return wz > 0.0 ? NavControllerBase::kTurnLeft : NavControllerBase::kTurnRight;
  }
  return NavControllerBase::kTurnNone;
}

bool isFinite(const geometry_msgs::msg::Twist & twist)
{
  return std::isfinite(twist.linear.x) && std::isfinite(twist.linear.y) &&
         std::isfinite(twist.linear.z) && std::isfinite(twist.angular.x) &&
         std::isfinite(twist.angular.y) && std::isfinite(twist.angular.z);
}

// Declares a double parameter with its default unless the node has it already, then reads it.
void declareAndRead(
  rclcpp_lifecycle::LifecycleNode & node, const std::string & name, double & value)
{
  if (!node.has_parameter(name)) {
    node.declare_parameter(
      name, rclcpp::ParameterValue(value), rcl_interfaces::msg::ParameterDescriptor());
  }
  node.get_parameter(name, value);
}

}  // namespace

NavControllerBase::NavControllerBase(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: node_(node), grid_map_ros_(std::move(grid_map))
{
  if (!grid_map_ros_) {
    throw std::invalid_argument("NavControllerBase needs a grid-map service");
  }
  tf_ = grid_map_ros_->getCostmapROS()->getTfBuffer();
  VLOG_INFO("NavControllerBase");

  const auto strong_node = node_.lock();
  if (!strong_node) {
    throw std::invalid_argument("NavControllerBase needs a live lifecycle node");
  }
  odom_sub_ = std::make_unique<OdomTwistSubscriber>(strong_node, "odom");

  strong_node->get_parameter("min_x_velocity_threshold", min_x_velocity_threshold_);
  strong_node->get_parameter("min_y_velocity_threshold", min_y_velocity_threshold_);
  strong_node->get_parameter("min_theta_velocity_threshold", min_theta_velocity_threshold_);
  strong_node->get_parameter(
    "controller_calculate_time_threshold", controller_calculate_time_threshold_);

  declareAndRead(
    *strong_node, "movement_status_rotation_intent_threshold_rad",
    movement_status_rotation_intent_threshold_rad_);
  declareAndRead(
    *strong_node, "movement_status_rotation_intent_prediction_time",
    movement_status_rotation_intent_prediction_time_);

  communicator_ = velmora_communicator::CommunicatorEngine::GetInstance();

  // Held as the plain publisher: the status is reported whether or not the node is active.
  movement_status_pub_ =
    strong_node->create_publisher<MovementStatus>("/movement_status", rclcpp::QoS(1));

  auto goal_checker = std::make_shared<nav2_controller::SimpleGoalChecker>();
  goal_checker->initialize(node_, kGoalCheckerName, grid_map_ros_->getCostmapROS());
  goal_checker_ = goal_checker;

  collision_checker_ = std::make_shared<Collision::CollisionCheck>(grid_map_ros_);
}

bool NavControllerBase::isCollisionFree()
{
  return true;
}

double NavControllerBase::computeSpeedRate()
{
  return 1.0;
}

bool NavControllerBase::setPlan(std::shared_ptr<const Goal> /*goal*/)
{
  return true;
}

bool NavControllerBase::isGoalReached()
{
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  const geometry_msgs::msg::Twist velocity =
    nav_2d_utils::twist2Dto3D(getThresholdedTwist(odom_sub_->latestTwist()));

  geometry_msgs::msg::PoseStamped goal_pose;
  if (!goalPoseInGlobalFrame(goal_pose)) {
    return false;
  }
  if (!goal_checker_->isGoalReached(robot_pose.pose, goal_pose.pose, velocity)) {
    return false;
  }
  VLOG_INFO("NavControllerBase::isGoalReached");
  return true;
}

void NavControllerBase::setGoalCheckOptions(GoalCheckOptions options)
{
  goal_check_options_ = options;
  const auto node = node_.lock();
  if (!node) {
    return;
  }
  // The goal checker takes the switch through its parameter callback.
  node->set_parameters(
    {rclcpp::Parameter(kPreciseGoalReachingParameter, options.precise_goal_reaching != 0)});
}

bool NavControllerBase::getRobotPose(geometry_msgs::msg::PoseStamped & pose)
{
  return grid_map_ros_->getCostmapROS()->getRobotPose(pose);
}

nav_2d_msgs::msg::Twist2D NavControllerBase::getThresholdedTwist(
  const nav_2d_msgs::msg::Twist2D & twist) const
{
  nav_2d_msgs::msg::Twist2D thresholded;
  thresholded.x = std::abs(twist.x) > min_x_velocity_threshold_ ? twist.x : 0.0;
  thresholded.y = std::abs(twist.y) > min_y_velocity_threshold_ ? twist.y : 0.0;
  thresholded.theta =
    std::abs(twist.theta) > min_theta_velocity_threshold_ ? twist.theta : 0.0;
  return thresholded;
}

void NavControllerBase::stopVelocity()
{
  cmd_vel_.linear.x = 0.0;
  cmd_vel_.linear.y = 0.0;
  cmd_vel_.angular.z = 0.0;
}

void NavControllerBase::setRunMode(std::int32_t run_mode)
{
  run_mode_ = run_mode;
}

void NavControllerBase::setMovementStatusRotationIntent(bool intent)
{
  movement_status_rotation_intent_ = intent;
}

bool NavControllerBase::computeAndPublishVelocity()
{
  // A steady clock, so that setting the wall clock cannot fake a slow or a fast cycle.
  const auto start = std::chrono::steady_clock::now();

  stopVelocity();
  setMovementStatusRotationIntent(false);

  if (!getRobotPose(robot_pose_)) {
    VLOG_ERROR("Failed to obtain robot pose, error code is {}", kErrorRobotPoseUnavailable);
    return false;
  }
  if (!computeVelocity()) {
    return false;
  }
  if (!isCollisionFree()) {
    stopRobot();
    return false;
  }

  const double speed_rate = computeSpeedRate();
  cmd_vel_.linear.x *= speed_rate;
  cmd_vel_.linear.y *= speed_rate;
  cmd_vel_.angular.z *= speed_rate;

  // The motion unit would act on whatever it receives; a NaN or infinite speed is never sent.
  if (!isFinite(cmd_vel_)) {
    VLOG_ERROR(
      "Velocity command is not finite (linear {}, {}, {}, angular {}, {}, {}), nothing sent",
      cmd_vel_.linear.x, cmd_vel_.linear.y, cmd_vel_.linear.z, cmd_vel_.angular.x,
      cmd_vel_.angular.y, cmd_vel_.angular.z);
    return false;
  }

  publishTurnSignal();
  publishStableMovementStatus(calculateMovementStatus(cmd_vel_));
  communicator_->cmdVelUnit()->publishVelocity(cmd_vel_);

  const std::int64_t elapsed_ms =
    std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::steady_clock::now() - start).count() / 1000000;
  reportCycleTime(elapsed_ms);
  return true;
}

void NavControllerBase::reportCycleTime(std::int64_t elapsed_ms)
{
  const double elapsed = static_cast<double>(elapsed_ms);
  if (elapsed > kCycleTimeInfoMs) {
    VLOG_INFO("computeAndPublishVelocity use time: {}ms", elapsed_ms);
  }
  if (elapsed > controller_calculate_time_threshold_) {
    communicator_->errCodeUnit()->publishExceptionHandle(kErrorCycleTooSlow);
    VLOG_ERROR("ErrorCode: {},[NavController] control frequency is too low", kErrorCycleTooSlow);
  }
}

void NavControllerBase::stopRobot()
{
  communicator_->cmdVelUnit()->publishZeroVelocity();
  publishMovementStatusIdle();
}

int NavControllerBase::isLeftORRightTrun(geometry_msgs::msg::Twist twist)
{
  const std::int32_t code = classifyTurn(twist.linear.x, twist.angular.z);
  if (code == turn_candidate_) {
    // Counting stops at the confirmation limit: a turn held for years must not overflow it.
    if (turn_candidate_count_ < turn_debounce_cycles_) {
      ++turn_candidate_count_;
    }
  } else {
    turn_candidate_ = code;
    turn_candidate_count_ = 1;
  }
  if (turn_candidate_count_ >= turn_debounce_cycles_) {
    turn_state_ = code;
  }
  return turn_state_;
}

void NavControllerBase::publishTurnSignal()
{
  const std::int32_t code = isLeftORRightTrun(cmd_vel_);
  if (code == last_turn_event_) {
    return;
  }
  velmora_protocol::msg::RobotEvent event;
  event.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  event.event_type = kTurnSignalEventType;
  event.event_code = code;
  communicator_->robotEventUnit()->publishRobotEvent(event);
  last_turn_event_ = code;
}

bool NavControllerBase::hasMovementStatusRotationIntent(
  const geometry_msgs::msg::Twist & twist) const
{
  const double wz = std::abs(twist.angular.z);
  if (wz <= kStatusAngularThreshold) {
    return false;
  }
  if (movement_status_rotation_intent_) {
    return true;
  }
  // The angle turned within the prediction time reaches the threshold.
  return wz * movement_status_rotation_intent_prediction_time_ >=
         movement_status_rotation_intent_threshold_rad_;
}

std::int8_t NavControllerBase::calculateMovementStatus(
  const geometry_msgs::msg::Twist & twist) const
{
  const bool forward = twist.linear.x > kStatusLinearThreshold;
  const bool backward = twist.linear.x < -kStatusLinearThreshold;
  const bool sideways = std::abs(twist.linear.y) > kStatusLinearThreshold;
  const bool turning = std::abs(twist.angular.z) > kStatusAngularThreshold;
  if (!forward && !backward && !sideways && !turning) {
    return MovementStatus::STILL;
  }
  const bool intent = hasMovementStatusRotationIntent(twist);
  // A turn that is neither announced nor predicted keeps what was reported last.
  const std::int8_t held =
    last_movement_status_ >= 0 ? last_movement_status_ : std::int8_t{MovementStatus::STILL};

  switch (run_mode_) {
    case kRunModeAnyMotionReported:
      return MovementStatus::MOVING_IN_RUN_MODE_502;
    case kRunModeAnyMotionTranslates:
      return MovementStatus::TRANSLATING;
    case kRunModeSidewaysRotates:
      if (sideways || intent) {
        return MovementStatus::ROTATING;
      }
      if (forward) {
        return MovementStatus::TRANSLATING;
      }
      return turning ? held : std::int8_t{MovementStatus::STILL};
    case kRunModeDefault:
    case kRunModeStandard:
    case kRunModeStandardAlternative:
      if (intent) {
        return MovementStatus::ROTATING;
      }
      // Backward travel alone is reported as still outside run modes 405 and 502, which is
      // what the robot's supervision reading this topic expects.
      if (forward || sideways) {
        return MovementStatus::TRANSLATING;
      }
      return turning ? held : std::int8_t{MovementStatus::STILL};
    default:
      return MovementStatus::STILL;
  }
}

void NavControllerBase::publishStableMovementStatus(std::int8_t status)
{
  if (status == last_movement_status_) {
    resetMovementStatusDebounce(status);
    return;
  }
  // A rotation is reported at once: whoever watches the robot must know before it swings.
  if (status == MovementStatus::ROTATING) {
    publishMovementStatusIfChanged(status);
    resetMovementStatusDebounce(status);
    return;
  }
  if (status == movement_status_candidate_) {
    ++movement_status_debounce_count_;
  } else {
    movement_status_candidate_ = status;
    movement_status_debounce_count_ = 1;
  }
  if (movement_status_debounce_count_ >= movement_status_debounce_cycles_) {
    publishMovementStatusIfChanged(status);
    resetMovementStatusDebounce(status);
  }
}

void NavControllerBase::publishMovementStatusIfChanged(std::int8_t status)
{
  if (status == last_movement_status_) {
    return;
  }
  MovementStatus message;
  if (const auto node = node_.lock()) {
    message.header.stamp = node->now();
  }
  message.status = status;
  movement_status_pub_->publish(message);
  // Only once published: a publishing error leaves the old status, so the next cycle retries.
  last_movement_status_ = status;
}

void NavControllerBase::resetMovementStatusDebounce(std::int8_t status)
{
  movement_status_candidate_ = status;
  movement_status_debounce_count_ = 0;
}

void NavControllerBase::publishMovementStatusIdle()
{
  publishMovementStatusIfChanged(MovementStatus::STILL);
  resetMovementStatusDebounce(MovementStatus::STILL);
}

void NavControllerBase::logNarrowPassageEntry(const std::shared_ptr<const Goal> & goal)
{
  if (!goal || !pathCrossesNarrowPassage(goal->nav_path)) {
    in_narrow_passage_ = false;
    return;
  }
  if (in_narrow_passage_) {
    return;
  }
  VLOG_INFO(
    "[Controller] Enter narrow passage slow zone, controller_id: {}, speed_limit_percent: {}",
    goal->controller_id, goal->speed_limit_percent);
  in_narrow_passage_ = true;
}

bool NavControllerBase::goalPoseInGlobalFrame(geometry_msgs::msg::PoseStamped & goal_pose)
{
  const auto costmap_ros = grid_map_ros_->getCostmapROS();
  rclcpp::Duration tolerance = rclcpp::Duration::from_seconds(
    costmap_ros->getTransformTolerance());
  try {
    return nav_2d_utils::transformPose(
      tf_, costmap_ros->getGlobalFrameID(), end_pose_, goal_pose, tolerance);
  } catch (const tf2::TransformException & error) {
    VLOG_WARN("Goal pose cannot be transformed: {}", error.what());
    return false;
  }
}

bool NavControllerBase::pathCrossesNarrowPassage(const nav_msgs::msg::Path & path) const
{
  const std::shared_ptr<const velmora_nav2_gridmap::MultiGridMap> multi_grid_map =
    grid_map_ros_->getMultiGridMap();
  const nav2_costmap_2d::Costmap2D * costmap = multi_grid_map->getCostmap();
  for (const geometry_msgs::msg::PoseStamped & pose : path.poses) {
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
      continue;
    }
    if (multi_grid_map->inNarrowPassage(mx, my, 0)) {
      return true;
    }
  }
  return false;
}

}  // namespace controller
