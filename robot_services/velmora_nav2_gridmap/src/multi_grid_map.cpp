#include "velmora_nav2_gridmap/multi_grid_map.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "nav2_costmap_2d/cost_values.hpp"
#include "velmora_nav2_gridmap/distance_transform.hpp"

namespace velmora_nav2_gridmap
{

namespace
{
bool isObstacle(unsigned char cost)
{
  return cost == nav2_costmap_2d::LETHAL_OBSTACLE || cost == nav2_costmap_2d::NO_INFORMATION;
}
}  // namespace

MultiGridMap::MultiGridMap(
  const nav2_costmap_2d::Costmap2D & static_map, double narrow_passage_width)
: costmap_(static_map), narrow_passage_width_(narrow_passage_width)
{
  if (!std::isfinite(narrow_passage_width) || narrow_passage_width <= 0.0) {
    throw std::invalid_argument(
            "narrow_passage_width must be a positive number, got " +
            std::to_string(narrow_passage_width));
  }
  const unsigned int size_x = costmap_.getSizeInCellsX();
  const unsigned int size_y = costmap_.getSizeInCellsY();
  const size_t cells = static_cast<size_t>(size_x) * size_y;
  const double resolution = costmap_.getResolution();
  const unsigned char * costs = costmap_.getCharMap();

  std::vector<bool> obstacles(cells);
  for (size_t i = 0; i < cells; ++i) {
    obstacles[i] = isObstacle(costs[i]);
  }
  const std::vector<double> obstacle_d2 =
    DistanceTransform::squaredDistances(size_x, size_y, obstacles);
  clearance_.resize(cells);
  for (size_t i = 0; i < cells; ++i) {
    clearance_[i] = obstacles[i] ? 0.0 :
      obstacle_d2[i] >= DistanceTransform::kNoSource ?
      std::numeric_limits<double>::infinity() :
      // Cell centre to the obstacle cell's centre, less the half cell up to that cell's edge.
      (std::sqrt(obstacle_d2[i]) - 0.5) * resolution;
  }

  // A passage is wide where a disk of the passage width fits: the centres of such disks are the
  // cells with at least half the width of clearance. Every cell within half the width (plus half
  // a cell for the grid) of such a centre lies in a wide area; the free cells left over are
  // narrow.
  const double half_width = narrow_passage_width / 2.0;
  std::vector<bool> disk_centres(cells);
  for (size_t i = 0; i < cells; ++i) {
    disk_centres[i] = clearance_[i] >= half_width;
  }
  const std::vector<double> centre_d2 =
    DistanceTransform::squaredDistances(size_x, size_y, disk_centres);
  const double reach_cells = half_width / resolution + 0.5;
  narrow_passage_.resize(cells);
  for (size_t i = 0; i < cells; ++i) {
    narrow_passage_[i] = !obstacles[i] && centre_d2[i] > reach_cells * reach_cells;
  }
}

bool MultiGridMap::contains(unsigned int mx, unsigned int my) const
{
  return mx < costmap_.getSizeInCellsX() && my < costmap_.getSizeInCellsY();
}

bool MultiGridMap::inNarrowPassage(unsigned int mx, unsigned int my, int layer) const
{
  if (layer != kNarrowPassageLayer || !contains(mx, my)) {
    return false;
  }
  return narrow_passage_[costmap_.getIndex(mx, my)];
}

double MultiGridMap::getClearance(unsigned int mx, unsigned int my) const
{
  if (!contains(mx, my)) {
    return 0.0;
  }
  return clearance_[costmap_.getIndex(mx, my)];
}

}  // namespace velmora_nav2_gridmap
