#include "collision/obstacle_depth.hpp"

#include <algorithm>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

namespace Collision
{

namespace
{
constexpr double kNoObstacle = -std::numeric_limits<double>::infinity();
}  // namespace

ObstacleDepth::ObstacleDepth(const nav2_costmap_2d::Costmap2D & costmap)
: costmap_(costmap)
{
}

bool ObstacleDepth::isObstacle(const nav2_costmap_2d::MapLocation & cell) const
{
  const unsigned char cost = costmap_.getCost(cell.x, cell.y);
  return cost == nav2_costmap_2d::LETHAL_OBSTACLE || cost == nav2_costmap_2d::NO_INFORMATION;
}

double ObstacleDepth::depthOf(
  const nav2_costmap_2d::MapLocation & cell, const FootprintOutline & outline) const
{
  double x = 0.0;
  double y = 0.0;
  costmap_.mapToWorld(cell.x, cell.y, x, y);
  return outline.depthOf(x, y);
}

double ObstacleDepth::deepest(
  const std::vector<nav2_costmap_2d::MapLocation> & cells,
  const FootprintOutline & outline) const
{
  double deepest = kNoObstacle;
  for (const auto & cell : cells) {
    if (isObstacle(cell)) {
      deepest = std::max(deepest, depthOf(cell, outline));
    }
  }
  return deepest;
}

bool ObstacleDepth::anyDeeperThan(
  const std::vector<nav2_costmap_2d::MapLocation> & cells, const FootprintOutline & outline,
  double depth) const
{
  return std::any_of(
    cells.begin(), cells.end(), [&](const nav2_costmap_2d::MapLocation & cell) {
      return isObstacle(cell) && (depth == kNoObstacle || depthOf(cell, outline) > depth);
    });
}

}  // namespace Collision
