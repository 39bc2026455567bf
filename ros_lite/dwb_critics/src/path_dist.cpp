#include "dwb_critics/path_dist.hpp"

#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

bool PathDistCritic::prepare(
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D & global_plan)
{
  reset();
  if (costmap_ == nullptr) {
    return false;
  }
  bool seeded = false;
  walkPlanOnMap(
    global_plan, [this, &seeded](unsigned int x, unsigned int y) {
      if (!isObstacle(costmap_->getCost(x, y))) {
        addSeed(x, y);
        seeded = true;
      }
    });
  if (!seeded) {
    RCLCPP_ERROR(
      rclcpp::get_logger("PathDistCritic"),
      "None of the %zu points of the global plan were in the local costmap and free",
      global_plan.poses.size());
    return false;
  }
  propagateManhattanDistances();
  return true;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::PathDistCritic, dwb_core::TrajectoryCritic)
