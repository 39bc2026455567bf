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
  const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D & goal, const nav_2d_msgs::msg::Path2D & global_plan)
{
  zero_scale_ = std::hypot(pose.x - goal.x, pose.y - goal.y) <= forward_point_distance_;
  if (zero_scale_) {
    return true;
  }
  reset();
  double goal_x, goal_y;
  if (!getLastPoseOnCostmap(global_plan, goal_x, goal_y)) {
    return false;
  }
  const double dx = goal_x - pose.x;
  const double dy = goal_y - pose.y;
  const double distance = std::hypot(dx, dy);
  if (distance > 0.0) {
    const double beyond_x = goal_x + forward_point_distance_ * dx / distance;
    const double beyond_y = goal_y + forward_point_distance_ * dy / distance;
    unsigned int cell_x, cell_y;
    // Beyond the edge of the map the goal itself is the best target there is.
    if (costmap_->worldToMap(beyond_x, beyond_y, cell_x, cell_y)) {
      return prepareFrom(beyond_x, beyond_y);
    }
  }
  return prepareFrom(goal_x, goal_y);
}

double GoalAlignCritic::getScale() const
{
  return zero_scale_ ? 0.0 : GoalDistCritic::getScale();
}

double GoalAlignCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  return GoalDistCritic::scorePose(getForwardPose(pose, forward_point_distance_));
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::GoalAlignCritic, dwb_core::TrajectoryCritic)
