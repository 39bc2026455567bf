#include "dwb_critics/obstacle_footprint.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dwb_core/exceptions.hpp"
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
  // The grid may have changed since the last cycle.
  scored_vertex_cells_.clear();
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
  // Every cell of a line lies within the box of its ends, so checking the vertices keeps the
  // whole outline on the grid.
  const int size_x = static_cast<int>(costmap_->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap_->getSizeInCellsY());
  vertex_cells_.resize(oriented_footprint.size());
  for (size_t i = 0; i < oriented_footprint.size(); ++i) {
    auto & [x, y] = vertex_cells_[i];
    worldToCell(oriented_footprint[i], x, y);
    if (x < 0 || y < 0 || x >= size_x || y >= size_y) {
      throw dwb_core::IllegalTrajectoryException(name_, "Footprint Goes Off Grid.");
    }
  }
  // Poses a fraction of a cell apart, and the first pose every trajectory shares, put the
  // vertices in the same cells: the outline, and so its cost, is the same.
  if (vertex_cells_ == scored_vertex_cells_) {
    return scored_cost_;
  }
  unsigned char footprint_cost = 0;
  auto [previous_x, previous_y] = vertex_cells_.back();
  for (const auto & [x, y] : vertex_cells_) {
    footprint_cost = std::max(footprint_cost, lineCost(previous_x, x, previous_y, y));
    previous_x = x;
    previous_y = y;
  }
  scored_vertex_cells_.swap(vertex_cells_);
  scored_cost_ = footprint_cost;
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

unsigned char ObstacleFootprintCritic::lineCost(int x0, int x1, int y0, int y1) const
{
  // The innermost loop of a planning cycle: a Bresenham walk over the grid's own array, one
  // step along the major axis per cell, a minor step whenever the error overflows.
  const unsigned char * costs = costmap_->getCharMap();
  const int size_x = static_cast<int>(costmap_->getSizeInCellsX());
  const int dx = std::abs(x1 - x0);
  const int dy = std::abs(y1 - y0);
  const int step_x = x0 < x1 ? 1 : -1;
  const int step_y = y0 < y1 ? size_x : -size_x;
  const bool x_major = dx >= dy;
  const int major = x_major ? dx : dy;
  const int minor = x_major ? dy : dx;
  const int major_step = x_major ? step_x : step_y;
  const int minor_step = x_major ? step_y : step_x;

  int index = y0 * size_x + x0;
  int error = major / 2;
  unsigned char line_cost = 0;
  for (int i = 0; i <= major; ++i) {
    const unsigned char cost = costs[index];
    if (cost >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE) {
      checkCost(cost);
    }
    line_cost = std::max(line_cost, cost);
    index += major_step;
    error += minor;
    if (error >= major) {
      error -= major;
      index += minor_step;
    }
  }
  return line_cost;
}

void ObstacleFootprintCritic::checkCost(unsigned char cost) const
{
  if (cost == nav2_costmap_2d::LETHAL_OBSTACLE) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Obstacle.");
  }
  if (cost == nav2_costmap_2d::NO_INFORMATION) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Unknown Region.");
  }
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::ObstacleFootprintCritic, dwb_core::TrajectoryCritic)
