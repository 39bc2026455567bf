#include "dwb_critics/obstacle_footprint.hpp"

#include <algorithm>
#include <cmath>

#include "dwb_core/exceptions.hpp"
#include "dwb_critics/line_iterator.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

bool ObstacleFootprintCritic::prepare(
  const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
  const geometry_msgs::msg::Pose2D & goal, const nav_2d_msgs::msg::Path2D & global_plan)
{
  if (!BaseObstacleCritic::prepare(pose, vel, goal, global_plan)) {
    return false;
  }
  footprint_spec_ = costmap_ros_->getRobotFootprint();
  if (footprint_spec_.empty()) {
    RCLCPP_ERROR(
      rclcpp::get_logger("ObstacleFootprintCritic"),
      "Footprint spec is empty, maybe missing call to setFootprint?");
    return false;
  }
  oriented_footprint_.resize(footprint_spec_.size());
  return true;
}

double ObstacleFootprintCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  unsigned int cell_x, cell_y;
  if (!costmap_->worldToMap(pose.x, pose.y, cell_x, cell_y)) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Goes Off Grid.");
  }
  const double cos_th = std::cos(pose.theta);
  const double sin_th = std::sin(pose.theta);
  for (size_t i = 0; i < footprint_spec_.size(); ++i) {
    const auto & point = footprint_spec_[i];
    oriented_footprint_[i].x = pose.x + point.x * cos_th - point.y * sin_th;
    oriented_footprint_[i].y = pose.y + point.x * sin_th + point.y * cos_th;
  }
  return scorePose(pose, oriented_footprint_);
}

double ObstacleFootprintCritic::scorePose(
  const geometry_msgs::msg::Pose2D &,
  const std::vector<geometry_msgs::msg::Point> & oriented_footprint)
{
  if (oriented_footprint.empty()) {
    return 0.0;
  }
  double footprint_cost = 0.0;
  int previous_x, previous_y;
  worldToCell(oriented_footprint.back(), previous_x, previous_y);
  for (const auto & vertex : oriented_footprint) {
    int x, y;
    worldToCell(vertex, x, y);
    footprint_cost = std::max(footprint_cost, lineCost(previous_x, x, previous_y, y));
    previous_x = x;
    previous_y = y;
  }
  return footprint_cost;
}

void ObstacleFootprintCritic::worldToCell(
  const geometry_msgs::msg::Point & point, int & x, int & y) const
{
  // Rounded down, not towards zero, so that a vertex just below the origin lies off the grid.
  const double resolution = costmap_->getResolution();
  x = static_cast<int>(std::floor((point.x - costmap_->getOriginX()) / resolution));
  y = static_cast<int>(std::floor((point.y - costmap_->getOriginY()) / resolution));
}

double ObstacleFootprintCritic::lineCost(int x0, int x1, int y0, int y1)
{
  double line_cost = 0.0;
  for (LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
    line_cost = std::max(line_cost, pointCost(line.getX(), line.getY()));
  }
  return line_cost;
}

double ObstacleFootprintCritic::pointCost(int x, int y)
{
  // The centre is on the map but a corner need not be: an outline leaving the grid may hit
  // anything out there.
  if (x < 0 || y < 0 || x >= static_cast<int>(costmap_->getSizeInCellsX()) ||
    y >= static_cast<int>(costmap_->getSizeInCellsY()))
  {
    throw dwb_core::IllegalTrajectoryException(name_, "Footprint Goes Off Grid.");
  }
  const unsigned char cost =
    costmap_->getCost(static_cast<unsigned int>(x), static_cast<unsigned int>(y));
  if (cost == nav2_costmap_2d::LETHAL_OBSTACLE) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Obstacle.");
  }
  if (cost == nav2_costmap_2d::NO_INFORMATION) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Unknown Region.");
  }
  return cost;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::ObstacleFootprintCritic, dwb_core::TrajectoryCritic)
