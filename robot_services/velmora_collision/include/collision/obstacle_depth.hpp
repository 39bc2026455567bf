#ifndef COLLISION__OBSTACLE_DEPTH_HPP_
#define COLLISION__OBSTACLE_DEPTH_HPP_

#include <vector>

#include "collision/footprint_outline.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace Collision
{

// How deep a placed footprint lies in the costmap's obstacles. Only LETHAL_OBSTACLE and
// NO_INFORMATION cells are obstacles: inflated cost, the inscribed value included, only ranks
// how near a pose comes to one. A cell's depth is the distance from its centre to the nearest
// edge of the outline, negative when the centre lies outside (a cell under the outline can).
class ObstacleDepth
{
public:
  // The costmap must outlive this object and keep its costs while it is used.
  explicit ObstacleDepth(const nav2_costmap_2d::Costmap2D & costmap);

  // The depth of the deepest obstacle among `cells` (the cells under `outline`); minus infinity
  // when none is an obstacle.
  double deepest(
    const std::vector<nav2_costmap_2d::MapLocation> & cells,
    const FootprintOutline & outline) const;

  // Whether an obstacle among `cells` lies deeper than `depth`: any obstacle at all when `depth`
  // is minus infinity, which is answered without measuring.
  bool anyDeeperThan(
    const std::vector<nav2_costmap_2d::MapLocation> & cells, const FootprintOutline & outline,
    double depth) const;

private:
  bool isObstacle(const nav2_costmap_2d::MapLocation & cell) const;
  double depthOf(const nav2_costmap_2d::MapLocation & cell, const FootprintOutline & outline) const;

  const nav2_costmap_2d::Costmap2D & costmap_;
};

}  // namespace Collision

#endif  // COLLISION__OBSTACLE_DEPTH_HPP_
