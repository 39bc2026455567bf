#include "dwb_critics/obstacle_footprint.hpp"

#include <algorithm>
#include <cmath>

#include "dwb_core/exceptions.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_util/line_iterator.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

Footprint getOrientedFootprint(
  const geometry_msgs::msg::Pose2D & pose, const Footprint & footprint_spec)
{
  Footprint oriented_footprint(footprint_spec.size());
  const double cos_th = std::cos(pose.theta);
  const double sin_th = std::sin(pose.theta);
  for (size_t i = 0; i < footprint_spec.size(); ++i) {
    oriented_footprint[i].x = pose.x + footprint_spec[i].x * cos_th - footprint_spec[i].y * sin_th;
    oriented_footprint[i].y = pose.y + footprint_spec[i].x * sin_th + footprint_spec[i].y * cos_th;
  }
  return oriented_footprint;
}

bool ObstacleFootprintCritic::prepare(
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D &)
{
  footprint_spec_ = costmap_ros_->getRobotFootprint();
  if (footprint_spec_.empty()) {
    RCLCPP_ERROR(
      rclcpp::get_logger("ObstacleFootprintCritic"),
      "Footprint spec is empty, maybe missing call to setFootprint?");
    return false;
  }
  return true;
}

double ObstacleFootprintCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  unsigned int cell_x, cell_y;
  if (!costmap_->worldToMap(pose.x, pose.y, cell_x, cell_y)) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Goes Off Grid.");
  }
  return scorePose(pose, getOrientedFootprint(pose, footprint_spec_));
}

double ObstacleFootprintCritic::scorePose(
  const geometry_msgs::msg::Pose2D &, const Footprint & footprint)
{
  // Edge by edge round the closed outline, each edge's ends checked before its cells are read,
  // so a refusal names the first problem met along the outline.
  double footprint_cost = 0.0;
  for (size_t i = 0; i < footprint.size(); ++i) {
    const auto & from = footprint[i];
    const auto & to = footprint[(i + 1) % footprint.size()];
    unsigned int x0, y0, x1, y1;
    if (!costmap_->worldToMap(from.x, from.y, x0, y0) ||
      !costmap_->worldToMap(to.x, to.y, x1, y1))
    {
      throw dwb_core::IllegalTrajectoryException(name_, "Footprint Goes Off Grid.");
    }
    footprint_cost = std::max(
      footprint_cost, lineCost(
        static_cast<int>(x0), static_cast<int>(x1), static_cast<int>(y0), static_cast<int>(y1)));
  }
  return footprint_cost;
}

double ObstacleFootprintCritic::lineCost(int x0, int x1, int y0, int y1)
{
  double line_cost = 0.0;
  for (nav2_util::LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
    line_cost = std::max(line_cost, pointCost(line.getX(), line.getY()));
  }
  return line_cost;
}

double ObstacleFootprintCritic::pointCost(int x, int y)
{
  const unsigned char cost = costmap_->getCost(x, y);
  if (cost == nav2_costmap_2d::LETHAL_OBSTACLE) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Obstacle.");
  } else if (cost == nav2_costmap_2d::NO_INFORMATION) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Unknown Region.");
  }
  return cost;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::ObstacleFootprintCritic, dwb_core::TrajectoryCritic)
