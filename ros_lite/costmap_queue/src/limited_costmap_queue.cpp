#include "costmap_queue/limited_costmap_queue.hpp"

namespace costmap_queue
{

LimitedCostmapQueue::LimitedCostmapQueue(
  nav2_costmap_2d::Costmap2D & costmap, const int cell_distance)
: CostmapQueue(costmap), cell_distance_(cell_distance)
{
  // The base constructor could only apply its own limit; the queue is usable at once.
  reset();
}

int LimitedCostmapQueue::getMaxDistance()
{
  return cell_distance_;
}

}  // namespace costmap_queue
