#include "controller/teb_controller.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "nav2_util/node_utils.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/parameter_value.hpp"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{

// The smaller of the request and the configured limit; a request that is not a number asks for
// nothing and leaves the configured limit.
double cappedBy(double requested, double configured)
{
  return std::isnan(requested) ? configured : std::min(requested, configured);
}

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

}  // namespace

TebController::TebController(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: NavControllerBase(node, grid_map)
{
  planner_ = std::make_shared<teb_local_planner::TebLocalPlannerROS>();
  planner_name_ = "TebPlanning";
  const auto costmap_ros = grid_map_ros_->getCostmapROS();
  planner_->configure(node_, planner_name_, costmap_ros->getTfBuffer(), costmap_ros);
  planner_->activate();

  // Held only while constructing: the node owns this controller, and a lasting strong handle
  // would keep the node, its topics and its action alive for ever.
  const auto node_shared = node_.lock();
  if (!node_shared) {
    throw std::runtime_error("TebController needs a live lifecycle node");
  }
  const struct
  {
    const char * suffix;
    double * value;
  } limits[] = {
    {".max_vel_x", &max_vel_x_}, {".max_vel_y", &max_vel_y_},
    {".max_vel_x_backwards", &max_vel_x_backwards_}, {".max_vel_theta", &max_vel_theta_},
    {".acc_lim_x", &acc_lim_x_}, {".acc_lim_y", &acc_lim_y_},
  };
  for (const auto & limit : limits) {
    const std::string name = planner_name_ + limit.suffix;
    nav2_util::declare_parameter_if_not_declared(
      node_shared, name, rclcpp::ParameterValue(*limit.value));
    node_shared->get_parameter(name, *limit.value);
  }
}

void TebController::setParametersForMoving(
  const geometry_msgs::msg::Twist & max_velocity, const Goal & goal)
{
  double vx = cappedBy(max_velocity.linear.x, max_vel_x_);
  double vb = cappedBy(max_velocity.linear.x, max_vel_x_backwards_);
  double vy = cappedBy(max_velocity.linear.y, max_vel_y_);
  const double w = cappedBy(max_velocity.angular.z, max_vel_theta_);
  if (goal.speed_limit_percent > 0.0F) {
    const double limit = static_cast<double>(goal.speed_limit_percent);
    vx = std::min(vx, limit);
    vb = std::min(vb, limit);
    vy = std::min(vy, limit);
  }
  const double ratio = max_vel_x_ > 0.0 ? vx / max_vel_x_ : 1.0;
  const auto node_shared = node_.lock();
  if (!node_shared) {
    throw std::runtime_error("TebController: its node no longer exists");
  }
  node_shared->set_parameters({
      rclcpp::Parameter(planner_name_ + ".max_vel_x", vx),
      rclcpp::Parameter(planner_name_ + ".max_vel_x_backwards", vb),
      rclcpp::Parameter(planner_name_ + ".max_vel_y", vy),
      rclcpp::Parameter(planner_name_ + ".max_vel_theta", w),
      rclcpp::Parameter(planner_name_ + ".acc_lim_x", ratio * acc_lim_x_),
      rclcpp::Parameter(planner_name_ + ".acc_lim_y", ratio * acc_lim_y_)});
}

std::string TebController::unusableGoalReason(const Goal & goal)
{
  const auto & v = goal.max_velocity;
  for (double component : {v.linear.x, v.linear.y, v.angular.z}) {
    if (component < 0.0) {
      return "max_velocity has a negative component (" + std::to_string(v.linear.x) + ", " +
             std::to_string(v.linear.y) + ", " + std::to_string(v.angular.z) + ")";
    }
  }
  if (!(goal.speed_limit_percent >= 0.0F)) {
    return "speed_limit_percent " + std::to_string(goal.speed_limit_percent) +
           " is negative or not a number";
  }
  for (const auto & extra : goal.extra_goals) {
    if (!isFinite(extra.pose)) {
      return "an extra goal holds a pose that is not finite";
    }
  }
  for (const auto & pose : goal.nav_path.poses) {
    if (!isFinite(pose.pose)) {
      return "the path holds a pose that is not finite";
    }
  }
  return {};
}

bool TebController::setPlan(std::shared_ptr<const Goal> goal)
{
  const nav_msgs::msg::Path nav_path = goal->nav_path;
  goal_checker_->reset();

  if (goal->near_destination) {
    VLOG_INFO(
      "[TebController]::setPlan reach to destination in advance because near destination, "
      "nav_path.poses.size: {}", nav_path.poses.size());
    plan_.poses.clear();
    goal_reached_ = true;
    return true;
  }
  if (nav_path.poses.empty()) {
    plan_.poses.clear();
    if (goal->finished) {
      VLOG_INFO(
        "[TebController]::setPlan reach to destination in advance, nav_path.poses.size: {}, "
        "finished: {}", nav_path.poses.size(), goal->finished);
      goal_reached_ = true;
      return true;
    }
    return false;
  }

  const std::string reason = unusableGoalReason(*goal);
  if (!reason.empty()) {
    VLOG_WARN("[TebController]::setPlan refuses the goal: {}", reason);
    plan_.poses.clear();
    return false;
  }

  logNarrowPassageEntry(goal);
  plan_ = goal->nav_path;
  setParametersForMoving(goal->max_velocity, *goal);
  if (nav_path.poses.size() < 4) {
    VLOG_INFO("[TebController]::setPlan nav_path poses size is {}", nav_path.poses.size());
  }
  planner_->setPlan(nav_path);
  finished_ = goal->finished;
  VLOG_INFO("[TebController]::setPlan finished: {}", finished_);

  // A goal is reached or not by what it asks now, not by what the previous goal left.
  goal_reached_ = false;
  if (plan_.poses.size() == 1) {
    goal_reached_ = robotAt(plan_.poses.front());
  }
  extra_goals_ = goal->extra_goals;
  if (finished_ && !goal_reached_ && reachedExtraGoal()) {
    plan_.poses.clear();
    VLOG_INFO("[TebController]: teb is goal reached by extra goals in setPlan");
  }
  VLOG_INFO("[TebController]::setPlan get extra goals size: {}", extra_goals_.size());
  return true;
}

bool TebController::computeVelocity()
{
  if (goal_reached_) {
    stopVelocity();
    return true;
  }
  const geometry_msgs::msg::Twist velocity = communicator_->odomUnit()->getOdom().twist;
  const auto command = planner_->computeVelocityCommands(robot_pose_, velocity, goal_checker_.get());
  cmd_vel_ = command.twist;
  return true;
}

bool TebController::isCollisionFree()
{
  return true;
}

bool TebController::isGoalReached()
{
  if (plan_.poses.empty()) {
    goal_reached_ = true;
    return true;
  }
  goal_reached_ = robotAt(plan_.poses.back());
  if (goal_reached_) {
    VLOG_INFO("[TebController]: teb is goalreached");
    if (finished_) {
      VLOG_INFO("[TebController]: teb finished");
      return true;
    }
    return false;
  }
  if (finished_ && reachedExtraGoal()) {
    VLOG_INFO("[TebController]: teb is goal reached by extra goals in isGoalReached");
    VLOG_INFO("[TebController]: teb finished");
    return true;
  }
  return false;
}

bool TebController::robotAt(const geometry_msgs::msg::PoseStamped & target)
{
  return goal_checker_->isGoalReached(robot_pose_.pose, target.pose, geometry_msgs::msg::Twist());
}

bool TebController::reachedExtraGoal()
{
  for (const auto & extra : extra_goals_) {
    goal_reached_ = robotAt(extra);
    if (goal_reached_) {
      return true;
    }
  }
  return false;
}

}  // namespace controller
