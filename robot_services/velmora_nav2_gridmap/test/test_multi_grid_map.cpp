#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "velmora_nav2_gridmap/distance_transform.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_gridmap/multi_grid_map.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using velmora_nav2_gridmap::DistanceTransform;
using velmora_nav2_gridmap::MultiGridMap;

namespace
{
constexpr double kResolution = 0.05;

void fill(Costmap2D & map, double x0, double y0, double x1, double y1, unsigned char cost)
{
  for (unsigned int mx = 0; mx < map.getSizeInCellsX(); ++mx) {
    for (unsigned int my = 0; my < map.getSizeInCellsY(); ++my) {
      double wx, wy;
      map.mapToWorld(mx, my, wx, wy);
      if (wx > x0 && wx < x1 && wy > y0 && wy < y1) {
        map.setCost(mx, my, cost);
      }
    }
  }
}

// 8 m x 4 m at (-1, -1), walled round. A 1 m thick wall at x 2-3 parts two rooms; it has a
// 0.6 m corridor (y 0.2-0.8) and a 1.5 m gap (y 1.2-2.7).
Costmap2D twoRooms()
{
  Costmap2D map(160, 80, kResolution, -1.0, -1.0, nav2_costmap_2d::FREE_SPACE);
  fill(map, -2, -2, 8, -0.8, LETHAL_OBSTACLE);
  fill(map, -2, 2.8, 8, 4, LETHAL_OBSTACLE);
  fill(map, -2, -2, -0.8, 4, LETHAL_OBSTACLE);
  fill(map, 6.8, -2, 8, 4, LETHAL_OBSTACLE);
  fill(map, 2.0, -2, 3.0, 0.2, LETHAL_OBSTACLE);
  fill(map, 2.0, 0.8, 3.0, 1.2, LETHAL_OBSTACLE);
  fill(map, 2.0, 2.7, 3.0, 4, LETHAL_OBSTACLE);
  return map;
}

bool narrowAt(const MultiGridMap & layers, double wx, double wy)
{
  unsigned int mx = 0;
  unsigned int my = 0;
  EXPECT_TRUE(layers.getCostmap()->worldToMap(wx, wy, mx, my)) << wx << "," << wy;
  return layers.inNarrowPassage(mx, my, MultiGridMap::kNarrowPassageLayer);
}
}  // namespace

TEST(DistanceTransformTest, MatchesBruteForceOnARandomGrid)
{
  const unsigned int size_x = 23, size_y = 17;
  std::mt19937 rng(7);
  std::bernoulli_distribution source(0.04);
  std::vector<bool> sources(size_x * size_y);
  for (size_t i = 0; i < sources.size(); ++i) {
    sources[i] = source(rng);
  }
  const auto d2 = DistanceTransform::squaredDistances(size_x, size_y, sources);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      double best = DistanceTransform::kNoSource;
      for (unsigned int sy = 0; sy < size_y; ++sy) {
        for (unsigned int sx = 0; sx < size_x; ++sx) {
          if (sources[sy * size_x + sx]) {
            const double dx = double(x) - sx, dy = double(y) - sy;
            best = std::min(best, dx * dx + dy * dy);
          }
        }
      }
      ASSERT_EQ(d2[y * size_x + x], best) << x << "," << y;
    }
  }
}

TEST(DistanceTransformTest, GridWithoutSourcesIsUniformlyUnreached)
{
  const auto d2 = DistanceTransform::squaredDistances(5, 4, std::vector<bool>(20, false));
  for (double value : d2) {
    EXPECT_EQ(value, DistanceTransform::kNoSource);
  }
  const auto single = DistanceTransform::squaredDistances(1, 1, {true});
  EXPECT_EQ(single[0], 0.0);
}

TEST(MultiGridMapTest, CorridorNarrowerThanTheWidthIsANarrowPassage)
{
  const MultiGridMap layers(twoRooms(), 1.0);
  EXPECT_TRUE(narrowAt(layers, 2.5, 0.5));     // corridor centre
  EXPECT_TRUE(narrowAt(layers, 2.5, 0.25));    // corridor, next to its wall
  EXPECT_TRUE(narrowAt(layers, 2.1, 0.5));     // corridor, near its mouth
}

TEST(MultiGridMapTest, OpenAreasAndWideGapsAreNot)
{
  const MultiGridMap layers(twoRooms(), 1.0);
  EXPECT_FALSE(narrowAt(layers, 0.5, 1.0));    // room centre
  EXPECT_FALSE(narrowAt(layers, 0.5, -0.75));  // beside the outer wall, mid-room
  EXPECT_FALSE(narrowAt(layers, 1.95, 1.0));   // beside the partition, mid-room
  EXPECT_FALSE(narrowAt(layers, 2.5, 1.95));   // the 1.5 m gap
  EXPECT_FALSE(narrowAt(layers, 4.5, 1.0));    // the other room
  EXPECT_FALSE(narrowAt(layers, 2.5, -0.5));   // wall cell
}

TEST(MultiGridMapTest, WiderThresholdTurnsTheGapIntoANarrowPassage)
{
  const MultiGridMap layers(twoRooms(), 1.8);
  EXPECT_TRUE(narrowAt(layers, 2.5, 1.95));
  EXPECT_FALSE(narrowAt(layers, 0.5, 1.0));
  EXPECT_DOUBLE_EQ(layers.getNarrowPassageWidth(), 1.8);
}

TEST(MultiGridMapTest, OtherLayersAndCellsOffTheMapAnswerFalse)
{
  const MultiGridMap layers(twoRooms(), 1.0);
  unsigned int mx = 0;
  unsigned int my = 0;
  ASSERT_TRUE(layers.getCostmap()->worldToMap(2.5, 0.5, mx, my));
  EXPECT_TRUE(layers.inNarrowPassage(mx, my, 0));
  EXPECT_FALSE(layers.inNarrowPassage(mx, my, 1));
  EXPECT_FALSE(layers.inNarrowPassage(mx, my, -1));
  EXPECT_FALSE(layers.inNarrowPassage(160, 10, 0));
  EXPECT_FALSE(layers.inNarrowPassage(10, 80, 0));
  EXPECT_FALSE(MultiGridMap().inNarrowPassage(0, 0, 0));
}

TEST(MultiGridMapTest, ClearanceIsTheDistanceToTheNearestObstacleEdge)
{
  const MultiGridMap layers(twoRooms(), 1.0);
  unsigned int mx = 0;
  unsigned int my = 0;
  // The corridor runs y 0.2-0.8: its centre cells are 0.3 m from either wall.
  ASSERT_TRUE(layers.getCostmap()->worldToMap(2.5, 0.525, mx, my));
  EXPECT_NEAR(layers.getClearance(mx, my), 0.275, 1e-9);
  ASSERT_TRUE(layers.getCostmap()->worldToMap(2.5, -0.5, mx, my));
  EXPECT_EQ(layers.getClearance(mx, my), 0.0);

  const MultiGridMap open(Costmap2D(10, 10, kResolution, 0.0, 0.0, 0), 1.0);
  EXPECT_TRUE(std::isinf(open.getClearance(5, 5)));
  EXPECT_FALSE(open.inNarrowPassage(5, 5, 0));
}

TEST(MultiGridMapTest, UnknownCellsBoundPassagesLikeWalls)
{
  Costmap2D map(60, 60, kResolution, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  fill(map, 0.0, 0.0, 3.0, 1.2, nav2_costmap_2d::NO_INFORMATION);
  fill(map, 0.0, 1.8, 3.0, 3.0, LETHAL_OBSTACLE);
  const MultiGridMap layers(map, 1.0);
  EXPECT_TRUE(narrowAt(layers, 1.5, 1.5));
  EXPECT_FALSE(narrowAt(layers, 1.5, 0.5));   // the unknown cells themselves
}

TEST(MultiGridMapTest, RejectsAnUnusableWidth)
{
  EXPECT_THROW(MultiGridMap(twoRooms(), 0.0), std::invalid_argument);
  EXPECT_THROW(MultiGridMap(twoRooms(), -1.0), std::invalid_argument);
  EXPECT_THROW(MultiGridMap(twoRooms(), std::nan("")), std::invalid_argument);
}

TEST(MultiGridMapTest, WarehouseCorridorIsTheNarrowPassageOfTheDefaultWorld)
{
  const auto map = velmora_nav2_gridmap::OccupancyMapLoader::load(
    velmora_nav2_gridmap::GridMapROS::defaultMapFile());
  const MultiGridMap layers(map.toCostmap(), 1.6);
  EXPECT_TRUE(narrowAt(layers, 14.5, 10.0));
  EXPECT_TRUE(narrowAt(layers, 13.7, 9.6));
  EXPECT_FALSE(narrowAt(layers, 14.5, 3.25));   // the wide door
  EXPECT_FALSE(narrowAt(layers, 6.5, 4.4));     // an aisle
  EXPECT_FALSE(narrowAt(layers, 1.0, 7.0));     // the west cross aisle
  EXPECT_FALSE(narrowAt(layers, 6.5, 13.3));    // the north aisle
  EXPECT_FALSE(narrowAt(layers, 17.5, 10.0));   // the loading room
}
