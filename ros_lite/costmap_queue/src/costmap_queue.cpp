#include "costmap_queue/costmap_queue.hpp"

#include <algorithm>
#include <cmath>

namespace costmap_queue
{

CostmapQueue::CostmapQueue(nav2_costmap_2d::Costmap2D & costmap, bool manhattan)
: MapBasedQueue(false), costmap_(costmap), max_distance_(-1), manhattan_(manhattan)
{
  // A virtual call from a constructor reaches this class's versions only: a subclass's
  // getMaxDistance() takes effect from its first own reset().
  CostmapQueue::reset();
}

void CostmapQueue::reset()
{
  size_x_ = costmap_.getSizeInCellsX();
  size_y_ = costmap_.getSizeInCellsY();
  seen_.resize(size_t{size_x_} * size_y_);
  std::fill(seen_.begin(), seen_.end(), false);
  const int new_max_distance = getMaxDistance();
  if (new_max_distance != max_distance_) {
    max_distance_ = new_max_distance;
    computeCache();
  }
  MapBasedQueue::reset();
}

void CostmapQueue::computeCache()
{
  cache_width_ = static_cast<unsigned int>(std::max(max_distance_, -1) + 2);
  cached_distances_.resize(size_t{cache_width_} * cache_width_);
  for (unsigned int dx = 0; dx < cache_width_; ++dx) {
    for (unsigned int dy = 0; dy < cache_width_; ++dy) {
      cached_distances_[dx * cache_width_ + dy] =
        manhattan_ ? static_cast<double>(dx + dy) : std::hypot(dx, dy);
    }
  }
}

void CostmapQueue::enqueueCell(unsigned int x, unsigned int y)
{
  enqueueCell(costmap_.getIndex(x, y), x, y, x, y);
}

CellData CostmapQueue::getNextCell()
{
  const CellData current_cell = front();
  pop();

  const unsigned int mx = current_cell.x_;
  const unsigned int my = current_cell.y_;
  const unsigned int sx = current_cell.src_x_;
  const unsigned int sy = current_cell.src_y_;
  const unsigned int index = current_cell.index_;
  if (mx > 0) {
    enqueueCell(index - 1, mx - 1, my, sx, sy);
  }
  if (my > 0) {
    enqueueCell(index - size_x_, mx, my - 1, sx, sy);
  }
  if (mx + 1 < size_x_) {
    enqueueCell(index + 1, mx + 1, my, sx, sy);
  }
  if (my + 1 < size_y_) {
    enqueueCell(index + size_x_, mx, my + 1, sx, sy);
  }
  return current_cell;
}

int CostmapQueue::getMaxDistance()
{
  return static_cast<int>(std::max(costmap_.getSizeInCellsX(), costmap_.getSizeInCellsY()));
}

void CostmapQueue::enqueueCell(
  unsigned int index, unsigned int cur_x, unsigned int cur_y,
  unsigned int src_x, unsigned int src_y)
{
  if (seen_[index]) {
    return;
  }
  const double distance = distanceLookup(cur_x, cur_y, src_x, src_y);
  if (distance > max_distance_ ||
    !validCellToQueue(CellData(distance, index, cur_x, cur_y, src_x, src_y)))
  {
    return;
  }
  seen_[index] = true;
  // Built afresh from the values at hand rather than copied from the one just checked: a copy
  // of a struct the processor is still writing stalls the store queue.
  enqueue(distance, CellData(distance, index, cur_x, cur_y, src_x, src_y));
}

}  // namespace costmap_queue
