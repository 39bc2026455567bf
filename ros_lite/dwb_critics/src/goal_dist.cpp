#include "dwb_critics/goal_dist.hpp"

#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

bool GoalDistCritic::prepare(
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D & global_plan)
{
  reset();
  double x, y;
  if (!getLastPoseOnCostmap(global_plan, x, y)) {
    return false;
  }
  return prepareFrom(x, y);
}

bool GoalDistCritic::getLastPoseOnCostmap(
  const nav_2d_msgs::msg::Path2D & global_plan, double & x, double & y)
{
  if (costmap_ == nullptr) {
    return false;
  }
  bool found = false;
  unsigned int last_x = 0, last_y = 0;
  walkPlanOnMap(
    global_plan, [&](unsigned int cell_x, unsigned int cell_y) {
      last_x = cell_x;
      last_y = cell_y;
      found = true;
    });
  if (!found) {
    RCLCPP_ERROR(
      rclcpp::get_logger("GoalDistCritic"),
      "None of the points of the global plan were in the local costmap, "
      "global plan points too far from robot");
    return false;
  }
  costmap_->mapToWorld(last_x, last_y, x, y);
  return true;
}

bool GoalDistCritic::prepareFrom(double x, double y)
{
  unsigned int cell_x, cell_y;
  if (!costmap_->worldToMap(x, y, cell_x, cell_y)) {
    return false;
  }
  addSeed(cell_x, cell_y);
  propagateManhattanDistances();
  return true;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::GoalDistCritic, dwb_core::TrajectoryCritic)
