#ifndef COSTMAP_QUEUE__COSTMAP_QUEUE_HPP_
#define COSTMAP_QUEUE__COSTMAP_QUEUE_HPP_

#include <limits>
#include <memory>
#include <vector>

#include "costmap_queue/map_based_queue.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace costmap_queue
{

// A cell reached by the queue: where it is, which seed cell (its source) it was reached from
// and its distance to that source, in cells.
class CellData
{
public:
  CellData(
    const double d, const unsigned int i, const unsigned int x, const unsigned int y,
    const unsigned int sx, const unsigned int sy)
  : distance_(d), index_(i), x_(x), y_(y), src_x_(sx), src_y_(sy)
  {
  }

  CellData()
  : distance_(std::numeric_limits<double>::max()), index_(0), x_(0), y_(0), src_x_(0), src_y_(0)
  {
  }

  static unsigned absolute_difference(const unsigned x, const unsigned y)
  {
    return (x > y) ? (x - y) : (y - x);
  }

  double distance_;
  unsigned int index_;
  unsigned int x_, y_;
  unsigned int src_x_, src_y_;
};

// Spreads outwards over a costmap from seed cells, nearest cells first: each cell comes out of
// the queue once, carrying the seed whose spread reached it first. A subclass limits the spread
// through getMaxDistance() (distance from the cell's own seed) and validCellToQueue().
//
// Call reset() after the costmap changed size: the queue's bookkeeping follows the size the
// costmap had at the last reset.
class CostmapQueue : public MapBasedQueue<CellData>
{
public:
  // Distances are Euclidean, or the sum of the x and y steps with `manhattan`.
  explicit CostmapQueue(nav2_costmap_2d::Costmap2D & costmap, bool manhattan = false);

  // Empties the queue and forgets which cells it has seen.
  void reset() override;

  // Adds a seed cell: its own source, at distance 0.
  void enqueueCell(unsigned int x, unsigned int y);

  // Takes the nearest cell out of the queue and queues its four neighbours, reached from the
  // same source. Throws std::out_of_range on an empty queue.
  CellData getNextCell();

  // No cell farther than this from its source is queued; the costmap's larger side by default.
  virtual int getMaxDistance();

  // Whether a cell may be queued at all; every cell by default.
  virtual bool validCellToQueue(const CellData & /*cell*/) {return true;}

  typedef std::shared_ptr<CostmapQueue> Ptr;

protected:
  // Queues the cell at `index` = (cur_x, cur_y), reached from (src_x, src_y), unless it was
  // queued before, is too far from its source or is refused by validCellToQueue().
  void enqueueCell(
    unsigned int index, unsigned int cur_x, unsigned int cur_y,
    unsigned int src_x, unsigned int src_y);

  // The table of distances for every x and y offset up to one past the max distance.
  void computeCache();

  nav2_costmap_2d::Costmap2D & costmap_;
  std::vector<bool> seen_;
  int max_distance_;
  bool manhattan_;

private:
  // A neighbour of a queued cell lies at most one step farther than the max distance in x or
  // y, so a table one cell larger than that covers every lookup.
  double distanceLookup(
    const unsigned int cur_x, const unsigned int cur_y,
    const unsigned int src_x, const unsigned int src_y) const
  {
    const unsigned int dx = CellData::absolute_difference(cur_x, src_x);
    const unsigned int dy = CellData::absolute_difference(cur_y, src_y);
    return cached_distances_[dx * cache_width_ + dy];
  }

  // Row-major by x offset, cache_width_ entries per row.
  std::vector<double> cached_distances_;
  unsigned int cache_width_{0};
  // The costmap's width at the last reset, so a step up or down a row needs no call.
  unsigned int size_x_{0}, size_y_{0};
};

}  // namespace costmap_queue

#endif  // COSTMAP_QUEUE__COSTMAP_QUEUE_HPP_
