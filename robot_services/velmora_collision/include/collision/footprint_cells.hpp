#ifndef COLLISION__FOOTPRINT_CELLS_HPP_
#define COLLISION__FOOTPRINT_CELLS_HPP_

#include <vector>

#include "collision/footprint_outline.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace Collision
{

// The costmap cells under a placed footprint.
class FootprintCells
{
public:
  enum class Extent
  {
    outline,  // the cells the edges pass through
    area,     // those and every cell inside them
  };

  // The costmap must outlive this object.
  explicit FootprintCells(nav2_costmap_2d::Costmap2D & costmap);

  // Gathers the cells under `outline`. The area of a concave footprint is its column-wise hull,
  // which errs on the safe side; a footprint of fewer than three points has no inside, so its
  // area is its outline. False, with no cells, when a vertex lies off the map.
  bool cover(const FootprintOutline & outline, Extent extent);

  // What the last cover() gathered; a cell may appear more than once.
  const std::vector<nav2_costmap_2d::MapLocation> & cells() const {return cells_;}

private:
  nav2_costmap_2d::Costmap2D & costmap_;
  std::vector<nav2_costmap_2d::MapLocation> vertices_;
  std::vector<nav2_costmap_2d::MapLocation> cells_;
};

}  // namespace Collision

#endif  // COLLISION__FOOTPRINT_CELLS_HPP_
