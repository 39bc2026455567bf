#include "dwb_critics/goal_dist.hpp"

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav_2d_utils/path_ops.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

bool GoalDistCritic::prepare(
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D & global_plan)
{
  reset();

  unsigned int local_goal_x, local_goal_y;
  if (!getLastPoseOnCostmap(global_plan, local_goal_x, local_goal_y)) {
    return false;
  }

  cell_values_[costmap_->getIndex(local_goal_x, local_goal_y)] = 0.0;
  queue_->enqueueCell(local_goal_x, local_goal_y);
  propogateManhattanDistances();
  return true;
}

bool GoalDistCritic::getLastPoseOnCostmap(
  const nav_2d_msgs::msg::Path2D & global_plan, unsigned int & x, unsigned int & y)
{
  const nav_2d_msgs::msg::Path2D adjusted_global_plan =
    nav_2d_utils::adjustPlanResolution(global_plan, costmap_->getResolution());
  bool started_path = false;

  for (const auto & plan_pose : adjusted_global_plan.poses) {
    unsigned int map_x, map_y;
    if (costmap_->worldToMap(plan_pose.x, plan_pose.y, map_x, map_y) &&
      costmap_->getCost(map_x, map_y) != nav2_costmap_2d::NO_INFORMATION)
    {
      x = map_x;
      y = map_y;
      started_path = true;
    } else if (started_path) {
      // Off the known map after having been on it: the previous point is the local goal.
      return true;
    }
  }
  if (!started_path) {
    RCLCPP_ERROR(
      rclcpp::get_logger("GoalDistCritic"),
      "None of the points of the global plan were in the local costmap.");
  }
  return started_path;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::GoalDistCritic, dwb_core::TrajectoryCritic)
