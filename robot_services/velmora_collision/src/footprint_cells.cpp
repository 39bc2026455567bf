#include "collision/footprint_cells.hpp"

namespace Collision
{

FootprintCells::FootprintCells(nav2_costmap_2d::Costmap2D & costmap)
: costmap_(costmap)
{
}

bool FootprintCells::cover(const FootprintOutline & outline, Extent extent)
{
  vertices_.clear();
  cells_.clear();
  for (const auto & vertex : outline.vertices()) {
    nav2_costmap_2d::MapLocation cell;
    if (!costmap_.worldToMap(vertex.x, vertex.y, cell.x, cell.y)) {
      return false;
    }
    vertices_.push_back(cell);
  }
  if (extent == Extent::area && vertices_.size() >= 3) {
    costmap_.convexFillCells(vertices_, cells_);
  } else {
    costmap_.polygonOutlineCells(vertices_, cells_);
  }
  return true;
}

}  // namespace Collision
