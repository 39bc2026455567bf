#include "controller/dwb_controller.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "nav2_core/exceptions.hpp"
#include "nav2_util/node_utils.hpp"
#include "rclcpp/parameter_value.hpp"
#include "tf2/time.h"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{

// Longest chosen trajectory that the force-rotate rule still looks at, in metres.
constexpr double kForceRotateMaxTrajectoryLength = 0.5;
// Paths shorter than this many poses never trigger the force-rotate rule.
constexpr std::size_t kForceRotateMinPathPoses = 6;
// Below this magnitude a planned linear x and angular z count as no motion at all.
constexpr double kZeroCommand = 0.001;
// The base's speed scale never slows the planned turn rate below this share.
constexpr double kMinAngularScale = 0.5;
// How far along the path ahead the robot's progress is looked for each cycle, in metres.
constexpr double kProgressSearchLength = 2.0;
// A goal tolerance must exceed this to replace the default reach distance.
constexpr double kMinGoalTolerance = 0.01;

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

double planarDistance(double x0, double y0, double x1, double y1)
{
  return std::hypot(x1 - x0, y1 - y0);
}

double normalizeAngle(double angle)
{
  const double r = std::fmod(angle + M_PI, 2.0 * M_PI);
  return r <= 0.0 ? r + M_PI : r - M_PI;
}

// A working planner setup for a node given no DWB parameters: the library itself requires a
// critic list, samples nothing but standing still with its zero default speeds, and with its
// default max_speed_xy of 0 drops every sample that translates. The motion limits are the
// controller's own defaults for the forward set. Values on the node (from a parameter file or
// -p) take precedence over each of these.
void declarePlannerDefaults(
  const rclcpp_lifecycle::LifecycleNode::SharedPtr & node, const std::string & plugin_name)
{
  const std::vector<std::string> critics{
    "RotateToGoal", "Oscillation", "GoalAlign", "PathAlign", "PathDist", "GoalDist",
    "ObstacleFootprint"};
  const std::vector<std::pair<std::string, rclcpp::ParameterValue>> defaults{
    {"critics", rclcpp::ParameterValue(critics)},
    {"max_vel_x", rclcpp::ParameterValue(1.0)},
    {"max_vel_theta", rclcpp::ParameterValue(0.8)},
    {"vtheta_samples", rclcpp::ParameterValue(30)},
    {"sim_time", rclcpp::ParameterValue(1.5)},
    {"acc_lim_x", rclcpp::ParameterValue(0.3)},
    {"decel_lim_x", rclcpp::ParameterValue(-0.3)},
    {"acc_lim_theta", rclcpp::ParameterValue(0.8)},
    {"decel_lim_theta", rclcpp::ParameterValue(-0.8)},
    {"vy_samples", rclcpp::ParameterValue(1)},
    {"linear_granularity", rclcpp::ParameterValue(0.05)},
    // Below the fine reach distance, so that every reach distance the controller uses is met
    // before the goal critic allows nothing but turning on the spot.
    {"xy_goal_tolerance", rclcpp::ParameterValue(0.04)},
    {"publish_evaluation", rclcpp::ParameterValue(false)},
    {"publish_trajectories", rclcpp::ParameterValue(false)},
    {"ObstacleFootprint.scale", rclcpp::ParameterValue(0.02)},
    {"PathAlign.scale", rclcpp::ParameterValue(32.0)},
    {"PathAlign.forward_point_distance", rclcpp::ParameterValue(0.1)},
    {"GoalAlign.scale", rclcpp::ParameterValue(24.0)},
    {"GoalAlign.forward_point_distance", rclcpp::ParameterValue(0.1)},
    {"PathDist.scale", rclcpp::ParameterValue(32.0)},
    {"GoalDist.scale", rclcpp::ParameterValue(24.0)},
    {"RotateToGoal.scale", rclcpp::ParameterValue(32.0)},
  };
  for (const auto & [name, value] : defaults) {
    nav2_util::declare_parameter_if_not_declared(node, plugin_name + "." + name, value);
  }
  // A goal never raises max_vel_x above the forward set's, so a speed cap at that value leaves
  // every goal's own cap in charge.
  nav2_util::declare_parameter_if_not_declared(
    node, plugin_name + ".max_speed_xy",
    node->get_parameter(plugin_name + ".max_vel_x").get_parameter_value());
}

}  // namespace

DwbController::DwbController(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: NavControllerBase(node, grid_map),
  planner_(std::make_shared<LocalPlanner>())
{
  declarePlannerDefaults(node_.lock(), plugin_name_);
  const auto costmap_ros = grid_map_ros_->getCostmapROS();
  planner_->configure(node_, plugin_name_, costmap_ros->getTfBuffer(), costmap_ros);
  planner_->activate();

  struct PlainParameter
  {
    const char * name;
    double default_value;
    double DwbController::* member;
  };
  const std::array<PlainParameter, 12> parameters{{
    {"oscillation_coefficient", 0.4, &DwbController::oscillation_coefficient_},
    {"min_average_x_vel", 0.05, &DwbController::min_average_x_vel_},
    {"min_average_angle_vel", 0.05, &DwbController::min_average_angle_vel_},
    {"goal_distance", 0.1, &DwbController::goal_distance_},
    {"dwb_goal_reach_distance", 0.3, &DwbController::dwb_goal_reach_distance_},
    {"marlo_dwb_goal_reach_distance", 0.05, &DwbController::marlo_dwb_goal_reach_distance_},
    {"last_last_vel_multi_scale", 0.3, &DwbController::last_last_vel_multi_scale_},
    {"last_vel_multi_scale", 0.3, &DwbController::last_vel_multi_scale_},
    {"last_vel_ratio", 0.6, &DwbController::last_vel_ratio_},
    {"max_angular_scale", 1.0, &DwbController::max_angular_scale_},
    {"theta_threshold", 0.8, &DwbController::theta_threshold_},
    {"forward_path_remain_dis", 0.5, &DwbController::forward_path_remain_dis_},
  }};
  for (const auto & parameter : parameters) {
    parameterNode()->declare_parameter(
      parameter.name, rclcpp::ParameterValue(parameter.default_value));
  }
  for (const auto & parameter : parameters) {
    parameterNode()->get_parameter(parameter.name, this->*parameter.member);
  }

  getParametersForGoingBackwards();

  VLOG_INFO("!!!!!!!!!!!!!!!!!!oscillation_coefficient={}", oscillation_coefficient_);
  VLOG_INFO("!!!!!!!!!!!!!!!!!!min_average_x_vel={}", min_average_x_vel_);
  VLOG_INFO("!!!!!!!!!!!!!!!!!!min_average_angle_vel={}", min_average_angle_vel_);
  VLOG_INFO("!!!!!!!!!!!!!!!!!!goal_distance={}", goal_distance_);
  VLOG_INFO("!!!!!!!!!!!!!!!!!!dwb_goal_reach_distance={}", dwb_goal_reach_distance_);

  fine_goal_reach_ = false;
}

bool DwbController::setPlan(std::shared_ptr<const Goal> goal)
{
  goal_ = goal;
  if (!goal || goal->nav_path.poses.empty()) {
    return false;
  }
  const std::string reason = unusableGoalReason(*goal);
  if (!reason.empty()) {
    VLOG_WARN("DwbController refuses the goal: {}", reason);
    return false;
  }

  logNarrowPassageEntry(goal);
  goal_checker_->reset();
  setParametersForMoving(goal);
  planner_->setPlan(goal->nav_path);

  end_pose_ = goal->nav_path.poses.back();
  end_pose_.header.frame_id = goal->nav_path.header.frame_id;

  path_progress_ = 0;
  finished_ = goal->finished;
  stop_in_place_ = goal->stop_in_place;
  fine_goal_reach_ = goal->fine_goal_reach;
  return true;
}

std::string DwbController::unusableGoalReason(const Goal & goal) const
{
  const auto & poses = goal.nav_path.poses;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    if (!isFinite(poses[i].pose)) {
      return fmt::format("path pose {} is not finite", i);
    }
  }
  if (!std::isfinite(goal.speed_limit_percent) || goal.speed_limit_percent < 0.0F) {
    return fmt::format("speed_limit_percent {} is not a usable speed", goal.speed_limit_percent);
  }
  if (!std::isfinite(goal.tolerance)) {
    return fmt::format("tolerance {} is not a usable distance", goal.tolerance);
  }
  // Within this distance of its goal the planner's goal critic only lets the robot turn on the
  // spot, so a goal asking to come closer would turn there for ever.
  const std::string turn_window = plugin_name_ + ".xy_goal_tolerance";
  double turn_window_radius = 0.0;
  const double reach_distance = reachDistance(goal.fine_goal_reach, goal.tolerance);
  if (parameterNode()->get_parameter(turn_window, turn_window_radius) &&
    reach_distance < turn_window_radius)
  {
    return fmt::format(
      "reach distance {} m is below \"{}\" ({} m), within which the robot only turns",
      reach_distance, turn_window, turn_window_radius);
  }
  // The planner would fail on every cycle to bring the robot into a frame tf does not know.
  const std::string global_frame = grid_map_ros_->getCostmapROS()->getGlobalFrameID();
  const std::string & frame = goal.nav_path.header.frame_id;
  if (frame != global_frame && !tf_->canTransform(global_frame, frame, tf2::TimePointZero)) {
    return fmt::format("path frame \"{}\" cannot be related to \"{}\"", frame, global_frame);
  }
  return {};
}

bool DwbController::computeVelocity()
{
  if (stop_in_place_) {
    stopVelocity();
    return true;
  }
  try {
    return planVelocity();
  } catch (const nav2_core::PlannerException & failure) {
    // Near the end of the path a failed search (typically no legal trajectory left between the
    // robot and its goal) is as good as arriving.
    if (base_robot_.calDistance(robot_pose_, end_pose_) <= dwb_goal_reach_distance_) {
      return true;
    }
    VLOG_WARN("DwbController planning failed: {}", failure.what());
    throw nav2_core::PlannerException("dwb_controller failed,can not find valid path");
  }
}

bool DwbController::planVelocity()
{
  geometry_msgs::msg::TwistStamped odom = communicator_->odomUnit()->getOdom();
  last_odom_vel_x_ = odom.twist.linear.x;

  geometry_msgs::msg::TwistStamped cmd;
  if (!backward_) {
    cmd = planner_->computeVelocityCommands(robot_pose_, odom.twist, nullptr);
    advancePathProgress();
    if (shouldForceRotate(goal_->nav_path)) {
      return false;
    }
  } else {
    geometry_msgs::msg::PoseStamped inverted_pose;
    if (!grid_map_ros_->getInvertedRobotPose(inverted_pose)) {
      stopVelocity();
      return false;
    }
    // Facing backwards, the robot's forward motion is the planner's backward motion.
    odom.twist.linear.x = -odom.twist.linear.x;
    odom.twist.linear.y = -odom.twist.linear.y;
    cmd = planner_->computeVelocityCommands(inverted_pose, odom.twist, nullptr);
    cmd.twist.linear.x = -cmd.twist.linear.x;
    cmd.twist.linear.y = -cmd.twist.linear.y;
  }

  reportRotationIntent();
  applySpeedScale(cmd.twist);

  if (std::fabs(cmd_vel_.linear.x) < kZeroCommand && std::fabs(cmd_vel_.angular.z) < kZeroCommand) {
    throw nav2_core::PlannerException("dwb_controller cmd_vel is 0.0");
  }
  return true;
}

void DwbController::reportRotationIntent()
{
  const auto & poses = planner_->lastTrajectoryPoses();
  if (poses.size() < 2) {
    return;
  }
  const double turn = normalizeAngle(poses.back().theta - poses.front().theta);
  setMovementStatusRotationIntent(
    std::fabs(turn) >= movement_status_rotation_intent_threshold_rad_);
}

void DwbController::applySpeedScale(const geometry_msgs::msg::Twist & planned)
{
  cmd_vel_ = planned;
  // A backward command keeps its speed: the scale is meant to slow forward driving.
  if (cmd_vel_.linear.x >= 0.0) {
    cmd_vel_.linear.x *= speed_scale_;
  }
  cmd_vel_.linear.y *= speed_scale_;
  speed_scale_ = std::max(kMinAngularScale, speed_scale_);
  cmd_vel_.angular.z *= speed_scale_;
}

bool DwbController::shouldForceRotate(const nav_msgs::msg::Path & path) const
{
  const std::vector<geometry_msgs::msg::Pose2D> & trajectory = planner_->lastTrajectoryPoses();
  if (trajectory.size() < 2) {
    return false;
  }
  double trajectory_length = 0.0;
  for (std::size_t i = 1; i < trajectory.size(); ++i) {
    trajectory_length += planarDistance(
      trajectory[i - 1].x, trajectory[i - 1].y, trajectory[i].x, trajectory[i].y);
  }
  if (!(trajectory_length > 0.0 && trajectory_length <= kForceRotateMaxTrajectoryLength)) {
    return false;
  }
  // The path ahead starts at the pose the robot has come to; the poses behind it say nothing
  // about where the robot has to go now.
  const auto & poses = path.poses;
  const std::size_t start = std::min(path_progress_, poses.size());
  if (poses.size() - start < kForceRotateMinPathPoses) {
    return false;
  }

  double path_length = 0.0;
  std::size_t matching_index = 0;
  for (std::size_t i = start + 1; i < poses.size(); ++i) {
    const auto & previous = poses[i - 1].pose.position;
    const auto & current = poses[i].pose.position;
    path_length += planarDistance(previous.x, previous.y, current.x, current.y);
    if (matching_index == 0 && path_length >= trajectory_length) {
      matching_index = i;
    }
  }
  if (matching_index == 0) {
    return false;
  }

  const double sim_x = trajectory.back().x - trajectory.front().x;
  const double sim_y = trajectory.back().y - trajectory.front().y;
  const double path_x = poses[matching_index].pose.position.x - poses[start].pose.position.x;
  const double path_y = poses[matching_index].pose.position.y - poses[start].pose.position.y;
  const double cosine = (sim_x * path_x + sim_y * path_y) /
    (std::hypot(sim_x, sim_y) * std::hypot(path_x, path_y));
  // Rounding can push the cosine of parallel vectors just past 1; a zero vector leaves it NaN,
  // which no comparison below accepts.
  const double angle = std::acos(std::clamp(cosine, -1.0, 1.0));

  if (angle > theta_threshold_ && path_length > forward_path_remain_dis_) {
    VLOG_WARN("DwbController failed: sim path too short and direction error!!!!!!!!!!!");
    return true;
  }
  return false;
}

void DwbController::advancePathProgress()
{
  // Only a stretch ahead is searched, so that a path passing the robot twice (out and back) is
  // not taken for its later leg.
  const auto & poses = goal_->nav_path.poses;
  const auto & robot = robot_pose_.pose.position;
  double nearest = std::numeric_limits<double>::infinity();
  double searched = 0.0;
  for (std::size_t i = path_progress_; i < poses.size() && searched <= kProgressSearchLength;
    ++i)
  {
    const auto & position = poses[i].pose.position;
    const double distance = planarDistance(robot.x, robot.y, position.x, position.y);
    if (distance < nearest) {
      nearest = distance;
      path_progress_ = i;
    }
    if (i + 1 < poses.size()) {
      const auto & next = poses[i + 1].pose.position;
      searched += planarDistance(position.x, position.y, next.x, next.y);
    }
  }
}

double DwbController::reachDistance(bool fine_goal_reach, float tolerance) const
{
  if (fine_goal_reach) {
    return marlo_dwb_goal_reach_distance_;
  }
  if (static_cast<double>(tolerance) > kMinGoalTolerance) {
    return static_cast<double>(tolerance);
  }
  return dwb_goal_reach_distance_;
}

bool DwbController::isGoalReached()
{
  const double reach_distance = reachDistance(fine_goal_reach_, goal_ ? goal_->tolerance : 0.0F);
  if (planner_->isGoalReached(robot_pose_, reach_distance) && finished_) {
    VLOG_INFO("DwbController::finished");
    return true;
  }
  return false;
}

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> DwbController::parameterNode() const
{
  auto node = node_.lock();
  if (!node) {
    throw std::runtime_error("DwbController: its node no longer exists");
  }
  return node;
}

bool DwbController::isCollisionFree()
{
  return true;
}

double DwbController::computeSpeedRate()
{
  return 1.0;
}

void DwbController::declareAndRead(
  const std::string & name, double default_value, double & value)
{
  nav2_util::declare_parameter_if_not_declared(
    parameterNode(), name, rclcpp::ParameterValue(default_value));
  parameterNode()->get_parameter(name, value);
}

void DwbController::getParametersForGoingBackwards()
{
  const std::string prefix = plugin_name_ + ".";
  const std::string backward = prefix + "backward.";

  parameterNode()->declare_parameter(backward + "min_vel_x", rclcpp::ParameterValue(0.08));
  parameterNode()->declare_parameter(backward + "max_vel_x", rclcpp::ParameterValue(0.0));
  parameterNode()->declare_parameter(backward + "vtheta_samples", rclcpp::ParameterValue(40));
  parameterNode()->declare_parameter(backward + "sim_time", rclcpp::ParameterValue(2.5));
  parameterNode()->declare_parameter(backward + "max_vel_theta", rclcpp::ParameterValue(1.0));
  parameterNode()->get_parameter(backward + "min_vel_x", backward_motion_.min_vel_x);
  parameterNode()->get_parameter(backward + "max_vel_x", backward_motion_.max_vel_x);
  parameterNode()->get_parameter(backward + "vtheta_samples", backward_motion_.vtheta_samples);
  parameterNode()->get_parameter(backward + "sim_time", backward_motion_.sim_time);
  parameterNode()->get_parameter(backward + "max_vel_theta", backward_motion_.max_vel_theta);

  declareAndRead(backward + "acc_vel_x", 0.2, backward_motion_.acc_x);
  declareAndRead(backward + "acc_vel_theta", 0.6, backward_motion_.acc_theta);
  declareAndRead(prefix + "acc_lim_x", 0.3, forward_motion_.acc_x);
  declareAndRead(prefix + "acc_lim_theta", 0.8, forward_motion_.acc_theta);

  declareAndRead(prefix + "min_vel_x", 0.0, forward_motion_.min_vel_x);
  declareAndRead(prefix + "max_vel_x", 1.0, forward_motion_.max_vel_x);
  nav2_util::declare_parameter_if_not_declared(
    parameterNode(), prefix + "vtheta_samples", rclcpp::ParameterValue(30));
  parameterNode()->get_parameter(prefix + "vtheta_samples", forward_motion_.vtheta_samples);
  declareAndRead(prefix + "sim_time", 1.5, forward_motion_.sim_time);
  declareAndRead(prefix + "max_vel_theta", 0.8, forward_motion_.max_vel_theta);
}

double DwbController::boundedSpeedLimit(const Goal & goal) const
{
  return std::min(static_cast<double>(goal.speed_limit_percent), forward_motion_.max_vel_x);
}

void DwbController::setParametersForMoving(const std::shared_ptr<const Goal> & goal)
{
  backward_ = goal->backward;
  const DwbMotionSet & motion = backward_ ? backward_motion_ : forward_motion_;

  std::unordered_map<std::string, rclcpp::Parameter> parameters;
  auto put = [this, &parameters](const std::string & short_name, rclcpp::ParameterValue value) {
      parameters.insert_or_assign(
        short_name, rclcpp::Parameter(plugin_name_ + "." + short_name, value));
    };
  put("min_vel_x", rclcpp::ParameterValue(motion.min_vel_x));
  put(
    "max_vel_x",
    rclcpp::ParameterValue(backward_ ? boundedSpeedLimit(*goal) : motion.max_vel_x));
  put("vtheta_samples", rclcpp::ParameterValue(motion.vtheta_samples));
  put("sim_time", rclcpp::ParameterValue(motion.sim_time));
  put("max_vel_theta", rclcpp::ParameterValue(motion.max_vel_theta));
  put("acc_lim_x", rclcpp::ParameterValue(motion.acc_x));
  put("decel_lim_x", rclcpp::ParameterValue(-motion.acc_x));
  put("acc_lim_theta", rclcpp::ParameterValue(motion.acc_theta));
  put("decel_lim_theta", rclcpp::ParameterValue(-motion.acc_theta));

  trapezoidSpeedControl(goal, parameters, backward_);

  if (parameters.empty()) {
    return;
  }
  std::vector<rclcpp::Parameter> list;
  list.reserve(parameters.size());
  for (const auto & entry : parameters) {
    list.push_back(entry.second);
  }
  const auto results = parameterNode()->set_parameters(list);
  for (std::size_t i = 0; i < results.size(); ++i) {
    // The goal still runs, under the limits the planner held before.
    if (!results[i].successful) {
      VLOG_WARN(
        "DwbController: {} was not taken: {}", list[i].get_name(), results[i].reason);
    }
  }
}

void DwbController::trapezoidSpeedControl(
  const std::shared_ptr<const Goal> & goal,
  std::unordered_map<std::string, rclcpp::Parameter> & parameters, bool backward)
{
  const double target = boundedSpeedLimit(*goal);
  if (target == 0.0) {
    return;
  }
  double current = 0.0;
  if (backward) {
    current = last_odom_vel_x_ <= 0.0 ? -last_odom_vel_x_ : 0.0;
  } else {
    current = last_odom_vel_x_ >= 0.0 ? last_odom_vel_x_ : 0.0;
  }
  double cap = target;
  if (last_vel_ratio_ * target > current) {
    cap = last_vel_multi_scale_ * current + (1.0 - last_vel_multi_scale_) * target;
  }
  parameters.insert_or_assign(
    "max_vel_x", rclcpp::Parameter(plugin_name_ + ".max_vel_x", rclcpp::ParameterValue(cap)));
}

}  // namespace controller
