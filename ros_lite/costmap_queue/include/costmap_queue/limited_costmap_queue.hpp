#ifndef COSTMAP_QUEUE__LIMITED_COSTMAP_QUEUE_HPP_
#define COSTMAP_QUEUE__LIMITED_COSTMAP_QUEUE_HPP_

#include "costmap_queue/costmap_queue.hpp"

namespace costmap_queue
{

// A CostmapQueue that stops spreading `cell_distance` cells (Euclidean) from each seed.
class LimitedCostmapQueue : public CostmapQueue
{
public:
  LimitedCostmapQueue(nav2_costmap_2d::Costmap2D & costmap, const int cell_distance);
  int getMaxDistance() override;

protected:
  int cell_distance_;
};

}  // namespace costmap_queue

#endif  // COSTMAP_QUEUE__LIMITED_COSTMAP_QUEUE_HPP_
