#include "collision/footprint_sweep.hpp"

#include <algorithm>
#include <cmath>

#include "nav2_costmap_2d/cost_values.hpp"

namespace Collision
{

namespace
{
// Below this turn the path is taken as straight; the arc formula would divide by ~0.
constexpr double kStraightTurn = 1e-6;

bool isCollisionCost(unsigned char cost)
{
  return cost == nav2_costmap_2d::LETHAL_OBSTACLE ||
         cost == nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE ||
         cost == nav2_costmap_2d::NO_INFORMATION;
}

bool isFinite(const Pose2 & pose)
{
  return std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.yaw);
}

bool isFinite(const Velocity2 & velocity)
{
  return std::isfinite(velocity.vx) && std::isfinite(velocity.vy) && std::isfinite(velocity.wz);
}
}  // namespace

FootprintSweep::FootprintSweep(nav2_costmap_2d::Costmap2D & costmap)
: costmap_(costmap)
{
}

Pose2 FootprintSweep::poseAt(const Pose2 & start, const Velocity2 & velocity, double t)
{
  const double turn = velocity.wz * t;
  const double yaw = start.yaw + turn;
  const double c0 = std::cos(start.yaw);
  const double s0 = std::sin(start.yaw);
  if (std::abs(turn) < kStraightTurn) {
    return {start.x + (velocity.vx * c0 - velocity.vy * s0) * t,
      start.y + (velocity.vx * s0 + velocity.vy * c0) * t, yaw};
  }
  // The robot-frame velocity turns with the heading: integrate it along the arc.
  const double c1 = std::cos(yaw);
  const double s1 = std::sin(yaw);
  return {start.x + (velocity.vx * (s1 - s0) + velocity.vy * (c1 - c0)) / velocity.wz,
    start.y + (-velocity.vx * (c1 - c0) + velocity.vy * (s1 - s0)) / velocity.wz, yaw};
}

bool FootprintSweep::isPoseFree(
  const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint)
{
  return isPlacedFree(pose, footprint, true);
}

bool FootprintSweep::isPlacedFree(
  const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint, bool whole_area)
{
  const double c = std::cos(pose.yaw);
  const double s = std::sin(pose.yaw);
  vertices_.clear();
  for (const auto & point : footprint) {
    nav2_costmap_2d::MapLocation cell;
    if (!costmap_.worldToMap(
        pose.x + point.x * c - point.y * s, pose.y + point.x * s + point.y * c, cell.x, cell.y))
    {
      return false;
    }
    vertices_.push_back(cell);
  }
  cells_.clear();
  if (whole_area && vertices_.size() >= 3) {
    costmap_.convexFillCells(vertices_, cells_);
  } else {
    costmap_.polygonOutlineCells(vertices_, cells_);
  }
  return std::none_of(
    cells_.begin(), cells_.end(), [this](const nav2_costmap_2d::MapLocation & cell) {
      return isCollisionCost(costmap_.getCost(cell.x, cell.y));
    });
}

bool FootprintSweep::isFree(
  const Pose2 & start, const Velocity2 & velocity, double dt,
  const std::vector<geometry_msgs::msg::Point> & footprint)
{
  if (!isFinite(start) || !isFinite(velocity) || !std::isfinite(dt) || dt < 0.0 ||
    footprint.empty())
  {
    return false;
  }
  double radius = 0.0;
  for (const auto & point : footprint) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
      return false;
    }
    radius = std::max(radius, std::hypot(point.x, point.y));
  }
  // Farthest any footprint point travels: translation plus the turn at the outermost vertex.
  const double travel =
    (std::hypot(velocity.vx, velocity.vy) + std::abs(velocity.wz) * radius) * dt;
  const double samples = std::ceil(travel / (costmap_.getResolution() / 2.0));
  if (!(samples <= kMaxSamples)) {
    return false;
  }
  // The whole area at the start; after that its outline, moved at most half a cell a sample,
  // is what an obstacle would have to cross to get inside.
  if (!isPoseFree(start, footprint)) {
    return false;
  }
  const unsigned int steps = static_cast<unsigned int>(samples);
  for (unsigned int k = 1; k <= steps; ++k) {
    if (!isPlacedFree(poseAt(start, velocity, dt * k / steps), footprint, false)) {
      return false;
    }
  }
  return true;
}

}  // namespace Collision
