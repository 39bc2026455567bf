#ifndef VELMORA_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
#define VELMORA_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_

#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace velmora_nav2_gridmap
{

// Layers of map knowledge derived from the static map, on the static map's own grid.
//
// Layer 0 (kNarrowPassageLayer) marks narrow passages: free cells that no free disk as wide as
// the configured passage width can cover, i.e. cells of corridors and gaps narrower than that
// width. Open areas do not count, not even right next to a wall. (Tight corners of rooms do,
// the disk cannot reach into them either.) Lethal and unknown cells are obstacles. There are no
// other layers: any other layer number answers false.
class MultiGridMap
{
public:
  static constexpr int kNarrowPassageLayer = 0;

  MultiGridMap() = default;
  // Builds the layers from a static map (LETHAL_OBSTACLE, FREE_SPACE, NO_INFORMATION costs);
  // throws std::invalid_argument when the width is not a positive finite number.
  MultiGridMap(const nav2_costmap_2d::Costmap2D & static_map, double narrow_passage_width);

  // False for cells outside the map and for layers that do not exist.
  bool inNarrowPassage(unsigned int mx, unsigned int my, int layer) const;

  // Distance in metres from the cell to the nearest obstacle cell's edge; infinite on a map
  // without obstacles, 0 on obstacle cells and outside the map.
  double getClearance(unsigned int mx, unsigned int my) const;

  // The map the layers were built on, for turning world coordinates into cells.
  nav2_costmap_2d::Costmap2D * getCostmap() {return &costmap_;}
  const nav2_costmap_2d::Costmap2D * getCostmap() const {return &costmap_;}

  double getNarrowPassageWidth() const {return narrow_passage_width_;}

private:
  bool contains(unsigned int mx, unsigned int my) const;

  nav2_costmap_2d::Costmap2D costmap_;
  double narrow_passage_width_{0.0};
  std::vector<double> clearance_;
  std::vector<bool> narrow_passage_;
};

}  // namespace velmora_nav2_gridmap

#endif  // VELMORA_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
