// The priority queue and the spread over a costmap built on it: the order items and cells come
// out in, the distances they carry, and what limits the spread.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "costmap_queue/costmap_queue.hpp"
#include "costmap_queue/limited_costmap_queue.hpp"
#include "costmap_queue/map_based_queue.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace
{

std::vector<int> drain(costmap_queue::MapBasedQueue<int> & queue)
{
  std::vector<int> items;
  while (!queue.isEmpty()) {
    items.push_back(queue.front());
    queue.pop();
  }
  return items;
}

// Every cell the queue gives out, in order.
std::vector<costmap_queue::CellData> drain(costmap_queue::CostmapQueue & queue)
{
  std::vector<costmap_queue::CellData> cells;
  while (!queue.isEmpty()) {
    cells.push_back(queue.getNextCell());
  }
  return cells;
}

std::vector<unsigned int> indices(const std::vector<costmap_queue::CellData> & cells)
{
  std::vector<unsigned int> result;
  for (const auto & cell : cells) {
    result.push_back(cell.index_);
  }
  return result;
}

TEST(MapBasedQueue, LowestPriorityFirstAndLastInFirstOutWithinOne)
{
  for (const bool reset_bins : {true, false}) {
    costmap_queue::MapBasedQueue<int> queue(reset_bins);
    EXPECT_TRUE(queue.isEmpty());
    queue.enqueue(2.0, 20);
    queue.enqueue(1.0, 10);
    queue.enqueue(2.0, 21);
    queue.enqueue(1.0, 11);
    queue.enqueue(3.5, 35);
    EXPECT_EQ(queue.front(), 11);
    queue.pop();
    // Lower than anything left, queued while draining; and more of a priority being drained.
    queue.enqueue(0.5, 5);
    queue.enqueue(1.0, 12);
    EXPECT_EQ(drain(queue), (std::vector<int>{5, 12, 10, 21, 20, 35})) << reset_bins;

    // Emptied bins take items again, also after a reset.
    queue.enqueue(2.0, 22);
    queue.enqueue(1.0, 13);
    EXPECT_EQ(drain(queue), (std::vector<int>{13, 22})) << reset_bins;
    queue.enqueue(4.0, 40);
    queue.enqueue(2.0, 23);
    queue.reset();
    EXPECT_TRUE(queue.isEmpty());
    queue.enqueue(2.0, 24);
    queue.enqueue(2.0, 25);
    EXPECT_EQ(drain(queue), (std::vector<int>{25, 24})) << reset_bins;
  }
}

TEST(MapBasedQueue, AnEmptyQueueThrowsOnFrontAndPop)
{
  costmap_queue::MapBasedQueue<int> queue;
  EXPECT_THROW(queue.front(), std::out_of_range);
  EXPECT_THROW(queue.pop(), std::out_of_range);
  queue.enqueue(1.0, 1);
  queue.pop();
  EXPECT_THROW(queue.front(), std::out_of_range);
}

TEST(CostmapQueue, GivesOutCellsNearestFirstTheLatestReachedFirstAmongEquals)
{
  nav2_costmap_2d::Costmap2D costmap(3, 3, 0.1, 0.0, 0.0);
  costmap_queue::CostmapQueue queue(costmap);
  queue.enqueueCell(1, 1);
  const auto cells = drain(queue);
  // The centre; its neighbours, queued left, below, right, above, come out the other way round;
  // then the corners, again the latest reached first.
  EXPECT_EQ(indices(cells), (std::vector<unsigned int>{4, 7, 5, 1, 3, 0, 2, 8, 6}));
  EXPECT_DOUBLE_EQ(cells[0].distance_, 0.0);
  EXPECT_DOUBLE_EQ(cells[4].distance_, 1.0);
  EXPECT_DOUBLE_EQ(cells[8].distance_, std::sqrt(2.0));
  EXPECT_EQ(cells[8].x_, 0u);
  EXPECT_EQ(cells[8].y_, 2u);
  for (const auto & cell : cells) {
    EXPECT_EQ(cell.src_x_, 1u);
    EXPECT_EQ(cell.src_y_, 1u);
  }
  EXPECT_THROW(queue.getNextCell(), std::out_of_range);
}

TEST(CostmapQueue, EachCellComesOnceCarryingTheSeedThatReachedItFirst)
{
  nav2_costmap_2d::Costmap2D costmap(9, 1, 0.1, 0.0, 0.0);
  costmap_queue::CostmapQueue queue(costmap);
  queue.enqueueCell(0, 0);
  queue.enqueueCell(8, 0);
  queue.enqueueCell(8, 0);
  const auto cells = drain(queue);
  ASSERT_EQ(cells.size(), 9u);
  std::set<unsigned int> distinct;
  for (const auto & cell : cells) {
    distinct.insert(cell.index_);
    EXPECT_EQ(cell.src_x_, cell.x_ <= 4 ? 0u : 8u) << cell.x_;
    EXPECT_DOUBLE_EQ(cell.distance_, cell.x_ <= 4 ? cell.x_ : 8.0 - cell.x_);
  }
  EXPECT_EQ(distinct.size(), 9u);
  // The middle cell is as far from either seed; the first seed's spread reached it first.
  EXPECT_EQ(cells.back().index_, 4u);
}

TEST(CostmapQueue, ManhattanOrEuclideanDistanceAndTheCostmapsSideAsLimit)
{
  // 10 x 4: by default nothing farther than 10 cells from its seed is queued.
  nav2_costmap_2d::Costmap2D costmap(10, 4, 0.1, 0.0, 0.0);
  costmap_queue::CostmapQueue euclidean(costmap);
  costmap_queue::CostmapQueue manhattan(costmap, true);
  EXPECT_EQ(euclidean.getMaxDistance(), 10);
  euclidean.enqueueCell(0, 0);
  manhattan.enqueueCell(0, 0);

  // Even the far corner is only hypot(9, 3) = 9.5 away.
  const auto round = drain(euclidean);
  EXPECT_EQ(round.size(), 40u);
  for (const auto & cell : round) {
    EXPECT_DOUBLE_EQ(cell.distance_, std::hypot(cell.x_, cell.y_));
  }
  // Cells with x + y <= 10: every one but (8, 3), (9, 2) and (9, 3).
  const auto square = drain(manhattan);
  EXPECT_EQ(square.size(), 37u);
  for (const auto & cell : square) {
    EXPECT_DOUBLE_EQ(cell.distance_, cell.x_ + cell.y_);
  }
}

// Refuses the lethal cells of its costmap: the spread goes round them.
class ObstacleAvoidingQueue : public costmap_queue::CostmapQueue
{
public:
  explicit ObstacleAvoidingQueue(nav2_costmap_2d::Costmap2D & costmap)
  : CostmapQueue(costmap) {}

  bool validCellToQueue(const costmap_queue::CellData & cell) override
  {
    return costmap_.getCost(cell.index_) != nav2_costmap_2d::LETHAL_OBSTACLE;
  }
};

TEST(CostmapQueue, ASubclassRefusesCellsAndSetsItsOwnLimit)
{
  // A wall along x = 2 with a gap at the top; the seed at the bottom left. The limit is 5 cells.
  nav2_costmap_2d::Costmap2D costmap(5, 5, 0.1, 0.0, 0.0);
  for (unsigned int y = 0; y < 4; ++y) {
    costmap.setCost(2, y, nav2_costmap_2d::LETHAL_OBSTACLE);
  }
  ObstacleAvoidingQueue queue(costmap);
  queue.enqueueCell(0, 0);
  const auto cells = drain(queue);
  // All 25 cells but the 4 of the wall and (4, 4), hypot(4, 4) = 5.7 from the seed.
  EXPECT_EQ(cells.size(), 20u);
  for (const auto & cell : cells) {
    EXPECT_FALSE(cell.x_ == 2 && cell.y_ < 4) << cell.x_ << "," << cell.y_;
    EXPECT_FALSE(cell.x_ == 4 && cell.y_ == 4);
    // Cells behind the wall are reached through the gap, but measured straight from the seed.
    EXPECT_DOUBLE_EQ(cell.distance_, std::hypot(cell.x_, cell.y_));
  }

  // A limit of 2 cells keeps the 13 cells within that radius.
  nav2_costmap_2d::Costmap2D open(11, 11, 0.1, 0.0, 0.0);
  costmap_queue::LimitedCostmapQueue limited(open, 2);
  EXPECT_EQ(limited.getMaxDistance(), 2);
  limited.enqueueCell(5, 5);
  const auto near = drain(limited);
  EXPECT_EQ(near.size(), 13u);
  for (const auto & cell : near) {
    EXPECT_LE(cell.distance_, 2.0);
  }
}

TEST(CostmapQueue, ResetFollowsAResizedCostmap)
{
  nav2_costmap_2d::Costmap2D costmap(4, 4, 0.1, 0.0, 0.0);
  costmap_queue::CostmapQueue queue(costmap);
  queue.enqueueCell(0, 0);
  queue.getNextCell();
  costmap.resizeMap(8, 6, 0.1, 0.0, 0.0);
  queue.reset();
  EXPECT_TRUE(queue.isEmpty());
  EXPECT_EQ(queue.getMaxDistance(), 8);
  queue.enqueueCell(4, 3);
  const auto cells = drain(queue);
  // Every cell of the larger map once; (0, 0) lies beyond the old limit of 4 cells.
  ASSERT_EQ(cells.size(), 48u);
  const auto order = indices(cells);
  EXPECT_EQ(std::set<unsigned int>(order.begin(), order.end()).size(), 48u);
  EXPECT_EQ(cells.front().index_, 3u * 8u + 4u);
  EXPECT_EQ(cells.back().index_, 0u);
  EXPECT_DOUBLE_EQ(cells.back().distance_, 5.0);
}

}  // namespace
