#include "dwb_critics/goal_align.hpp"

#include <cmath>

#include "dwb_critics/alignment_util.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

void GoalAlignCritic::onInit()
{
  GoalDistCritic::onInit();
  stop_on_failure_ = false;
  forward_point_distance_ = nav_2d_utils::searchAndGetParam(
    node_.lock(), dwb_plugin_name_ + "." + name_ + ".forward_point_distance", 0.325);
}

bool GoalAlignCritic::prepare(
  const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
  const geometry_msgs::msg::Pose2D & goal, const nav_2d_msgs::msg::Path2D & global_plan)
{
  if (global_plan.poses.empty()) {
    // Nothing to move: the goal-distance critic reports the plan as off the map.
    return GoalDistCritic::prepare(pose, vel, goal, global_plan);
  }
  // The nose should end where it is when the robot reaches the goal still facing it from
  // where it comes, not where the goal's own heading would put it: turning to that heading at
  // the end (half a turn at worst) would pull the nose away and back.
  const double angle_to_goal = std::atan2(goal.y - pose.y, goal.x - pose.x);
  nav_2d_msgs::msg::Path2D target_poses = global_plan;
  target_poses.poses.back().x += forward_point_distance_ * std::cos(angle_to_goal);
  target_poses.poses.back().y += forward_point_distance_ * std::sin(angle_to_goal);
  return GoalDistCritic::prepare(pose, vel, goal, target_poses);
}

double GoalAlignCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  return GoalDistCritic::scorePose(getForwardPose(pose, forward_point_distance_));
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::GoalAlignCritic, dwb_core::TrajectoryCritic)
