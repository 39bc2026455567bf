#include "collision/footprint_sweep.hpp"

#include <algorithm>
#include <cmath>

namespace Collision
{

namespace
{
// Below this turn the path is taken as straight; the arc formula would divide by ~0.
constexpr double kStraightTurn = 1e-6;
// What the pose arithmetic may round a depth by: far below a cell, so that a footprint moving
// parallel to an obstacle it is in is not taken as moving into it.
constexpr double kDepthRounding = 1e-9;

bool isFinite(const Pose2 & pose)
{
  return std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.yaw);
}

bool isFinite(const Velocity2 & velocity)
{
  return std::isfinite(velocity.vx) && std::isfinite(velocity.vy) && std::isfinite(velocity.wz);
}

bool isUsable(const std::vector<geometry_msgs::msg::Point> & footprint)
{
  return !footprint.empty() && std::all_of(
    footprint.begin(), footprint.end(), [](const geometry_msgs::msg::Point & point) {
      return std::isfinite(point.x) && std::isfinite(point.y);
    });
}

// The farthest any footprint point lies from the robot's centre.
double reachOf(const std::vector<geometry_msgs::msg::Point> & footprint)
{
  double reach = 0.0;
  for (const auto & point : footprint) {
    reach = std::max(reach, std::hypot(point.x, point.y));
  }
  return reach;
}
}  // namespace

FootprintSweep::FootprintSweep(nav2_costmap_2d::Costmap2D & costmap)
: costmap_(costmap), cells_(costmap), depth_(costmap)
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

bool FootprintSweep::place(
  const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint,
  FootprintCells::Extent extent)
{
  outline_.place(pose, footprint);
  return cells_.cover(outline_, extent);
}

bool FootprintSweep::isPlacedFree(
  const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint,
  FootprintCells::Extent extent, double allowed_depth)
{
  return place(pose, footprint, extent) &&
         !depth_.anyDeeperThan(cells_.cells(), outline_, allowed_depth + kDepthRounding);
}

bool FootprintSweep::isFree(
  const Pose2 & start, const Velocity2 & velocity, double dt,
  const std::vector<geometry_msgs::msg::Point> & footprint)
{
  if (!isFinite(start) || !isFinite(velocity) || !std::isfinite(dt) || dt < 0.0 ||
    !isUsable(footprint))
  {
    return false;
  }
  // Farthest any footprint point travels: translation plus the turn at the outermost vertex.
  const double travel =
    (std::hypot(velocity.vx, velocity.vy) + std::abs(velocity.wz) * reachOf(footprint)) * dt;
  const double samples = std::ceil(travel / (costmap_.getResolution() / 2.0));
  if (!(samples <= kMaxSamples)) {
    return false;
  }
  if (!place(start, footprint, FootprintCells::Extent::area)) {
    return false;
  }
  const double start_depth = depth_.deepest(cells_.cells(), outline_);
  const auto extent = std::isinf(start_depth) ?
    FootprintCells::Extent::outline : FootprintCells::Extent::area;
  const unsigned int steps = static_cast<unsigned int>(samples);
  for (unsigned int k = 1; k <= steps; ++k) {
    if (!isPlacedFree(poseAt(start, velocity, dt * k / steps), footprint, extent, start_depth)) {
      return false;
    }
  }
  return true;
}

std::size_t FootprintSweep::firstBlocked(
  const Pose2 & start, const std::vector<Pose2> & poses,
  const std::vector<geometry_msgs::msg::Point> & footprint)
{
  if (!isFinite(start) || !isUsable(footprint) ||
    !place(start, footprint, FootprintCells::Extent::area))
  {
    return 0;
  }
  const double start_depth = depth_.deepest(cells_.cells(), outline_);
  for (std::size_t i = 0; i < poses.size(); ++i) {
    // The poses need not be near each other, so each is looked up whole.
    if (!isFinite(poses[i]) ||
      !isPlacedFree(poses[i], footprint, FootprintCells::Extent::area, start_depth))
    {
      return i;
    }
  }
  return poses.size();
}

}  // namespace Collision
