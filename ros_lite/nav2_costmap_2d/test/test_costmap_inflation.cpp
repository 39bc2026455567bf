#include <gtest/gtest.h>

#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_costmap_2d/inflation_layer.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::FREE_SPACE;
using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using nav2_costmap_2d::NO_INFORMATION;

namespace
{
// 0.1 m cells, inscribed radius 0.32 m, inflation radius 1.0 m, cost scaling 3.0.
class InflationLayerTest : public ::testing::Test
{
protected:
  InflationLayerTest()
  : map_(41, 41, 0.1, 0.0, 0.0, FREE_SPACE)
  {
    layer_.setInflationParameters(1.0, 3.0);
    layer_.setInscribedRadius(0.32);
  }

  void inflateAll() {layer_.updateCosts(map_, 0, 0, 41, 41);}

  Costmap2D map_;
  nav2_costmap_2d::InflationLayer layer_;
};

std::vector<geometry_msgs::msg::Point> square(double half)
{
  std::vector<geometry_msgs::msg::Point> points(4);
  const double xs[] = {half, -half, -half, half};
  const double ys[] = {half, half, -half, -half};
  for (int i = 0; i < 4; ++i) {
    points[i].x = xs[i];
    points[i].y = ys[i];
  }
  return points;
}

// 30 x 20 cells of 0.05 m at (1, 2): a lethal cell at (10, 10), unknown cells at (25, 5) and
// (11, 10).
Costmap2D staticMap()
{
  Costmap2D map(30, 20, 0.05, 1.0, 2.0, FREE_SPACE);
  map.setCost(10, 10, LETHAL_OBSTACLE);
  map.setCost(25, 5, NO_INFORMATION);
  map.setCost(11, 10, NO_INFORMATION);
  return map;
}
}  // namespace

TEST_F(InflationLayerTest, CostsFallOffWithDistanceFromTheObstacle)
{
  map_.setCost(20, 20, LETHAL_OBSTACLE);
  inflateAll();
  EXPECT_EQ(map_.getCost(20, 20), LETHAL_OBSTACLE);
  EXPECT_EQ(map_.getCost(21, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(map_.getCost(20, 17), INSCRIBED_INFLATED_OBSTACLE);   // 0.3 m, inside 0.32 m
  EXPECT_EQ(map_.getCost(22, 22), INSCRIBED_INFLATED_OBSTACLE);   // 0.28 m diagonally
  EXPECT_EQ(map_.getCost(24, 20), 198);   // 252 * exp(-3 * (0.4 - 0.32))
  EXPECT_EQ(map_.getCost(25, 20), 146);
  EXPECT_EQ(map_.getCost(23, 24), 146);   // 3-4-5: also 0.5 m away
  EXPECT_EQ(map_.getCost(20, 10), 32);    // at the inflation radius
  EXPECT_EQ(map_.getCost(20, 9), FREE_SPACE);
  EXPECT_EQ(map_.getCost(28, 28), FREE_SPACE);   // 1.13 m
  for (unsigned int x = 21; x < 31; ++x) {
    EXPECT_LE(map_.getCost(x, 20), map_.getCost(x - 1, 20)) << x;
  }
}

TEST_F(InflationLayerTest, TheNearestObstacleAndHigherExistingCostsWin)
{
  map_.setCost(10, 20, LETHAL_OBSTACLE);
  map_.setCost(16, 20, LETHAL_OBSTACLE);
  map_.setCost(30, 30, 200);
  map_.setCost(33, 30, 5);
  map_.setCost(35, 30, LETHAL_OBSTACLE);
  inflateAll();
  EXPECT_EQ(map_.getCost(12, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(map_.getCost(14, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(map_.getCost(20, 20), 198);   // 0.4 m from (16, 20), 1.0 m from (10, 20)
  EXPECT_EQ(map_.getCost(30, 30), 200);   // keeps its higher cost (computed: 146)
  EXPECT_EQ(map_.getCost(33, 30), INSCRIBED_INFLATED_OBSTACLE);
}

TEST_F(InflationLayerTest, UnknownCellsOnlyTakeInscribedCosts)
{
  map_.setCost(20, 20, LETHAL_OBSTACLE);
  map_.setCost(22, 20, NO_INFORMATION);
  map_.setCost(26, 20, NO_INFORMATION);
  inflateAll();
  EXPECT_EQ(map_.getCost(22, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(map_.getCost(26, 20), NO_INFORMATION);
  EXPECT_EQ(map_.getCost(27, 20), 80);   // inflation passes through unknown cells
}

TEST_F(InflationLayerTest, WindowUpdatesOnlyTheWindowButSeesObstaclesAroundIt)
{
  map_.setCost(12, 20, LETHAL_OBSTACLE);
  layer_.updateCosts(map_, 0, 0, 10, 41);
  EXPECT_EQ(map_.getCost(9, 20), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(map_.getCost(6, 20), 108);
  EXPECT_EQ(map_.getCost(11, 20), FREE_SPACE);
  EXPECT_EQ(map_.getCost(15, 20), FREE_SPACE);
}

TEST_F(InflationLayerTest, ZeroRadiusLeavesOnlyTheObstacles)
{
  layer_.setInflationParameters(0.0, 3.0);
  map_.setCost(20, 20, LETHAL_OBSTACLE);
  inflateAll();
  EXPECT_EQ(map_.getCost(20, 20), LETHAL_OBSTACLE);
  EXPECT_EQ(map_.getCost(21, 20), FREE_SPACE);
}

TEST(LayeredCostmapTest, StaticMapSetsGeometryAndIsInflated)
{
  nav2_costmap_2d::LayeredCostmap layered("map", false, false);
  layered.resizeMap(10, 10, 0.1, 0.0, 0.0);
  layered.setInflationParameters(0.3, 3.0);
  layered.setFootprint(square(0.12));
  EXPECT_FALSE(layered.isCurrent());
  EXPECT_EQ(layered.getCostmap()->getCost(5, 5), FREE_SPACE);

  layered.setStaticMap(staticMap());
  ASSERT_TRUE(layered.isCurrent());
  EXPECT_FALSE(layered.isInitialized());   // no update has run yet
  const Costmap2D & master = *layered.getCostmap();
  EXPECT_EQ(master.getSizeInCellsX(), 30u);
  EXPECT_DOUBLE_EQ(master.getResolution(), 0.05);
  EXPECT_DOUBLE_EQ(master.getOriginY(), 2.0);
  EXPECT_EQ(master.getCost(10, 10), LETHAL_OBSTACLE);
  EXPECT_EQ(master.getCost(12, 10), INSCRIBED_INFLATED_OBSTACLE);   // 0.1 m
  EXPECT_EQ(master.getCost(13, 10), 230);   // 0.15 m
  EXPECT_EQ(master.getCost(17, 10), FREE_SPACE);   // beyond 0.3 m
  // Without unknown tracking the unknown cells are free space before inflation.
  EXPECT_EQ(master.getCost(25, 5), FREE_SPACE);
  EXPECT_EQ(master.getCost(11, 10), INSCRIBED_INFLATED_OBSTACLE);

  layered.clearStaticMap();
  EXPECT_FALSE(layered.isCurrent());
  EXPECT_EQ(layered.getCostmap()->getCost(10, 10), FREE_SPACE);
}

TEST(LayeredCostmapTest, TrackingUnknownKeepsUnknownCells)
{
  nav2_costmap_2d::LayeredCostmap layered("map", false, true);
  layered.setFootprint(square(0.1));
  layered.setStaticMap(staticMap());
  EXPECT_EQ(layered.getCostmap()->getCost(25, 5), NO_INFORMATION);
  EXPECT_EQ(layered.getCostmap()->getCost(11, 10), INSCRIBED_INFLATED_OBSTACLE);
}

TEST(LayeredCostmapTest, FootprintSetsTheInscribedBand)
{
  nav2_costmap_2d::LayeredCostmap layered("map", false, false);
  layered.setInflationParameters(0.5, 3.0);
  layered.setFootprint(square(0.1));
  layered.setStaticMap(staticMap());
  EXPECT_NEAR(layered.getInscribedRadius(), 0.1, 1e-12);
  EXPECT_NEAR(layered.getCircumscribedRadius(), 0.1414, 1e-4);
  EXPECT_LT(layered.getCostmap()->getCost(15, 10), INSCRIBED_INFLATED_OBSTACLE);   // 0.25 m

  layered.setFootprint(square(0.3));
  EXPECT_EQ(layered.getCostmap()->getCost(15, 10), INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(layered.getFootprint().size(), 4u);
}

TEST(LayeredCostmapTest, UpdatesLeaveAFixedCostmapsCellsAsTheyAre)
{
  nav2_costmap_2d::LayeredCostmap layered("map", false, false);
  layered.setInflationParameters(0.3, 3.0);
  layered.setFootprint(square(0.12));
  layered.setStaticMap(staticMap());
  layered.getCostmap()->setCost(3, 3, 77);
  layered.updateMap(0.5, 2.5, 0.0);
  EXPECT_TRUE(layered.isInitialized());
  EXPECT_DOUBLE_EQ(layered.getCostmap()->getOriginY(), 2.0);
  EXPECT_EQ(layered.getCostmap()->getCost(3, 3), 77);
  EXPECT_EQ(layered.getCostmap()->getCost(10, 10), LETHAL_OBSTACLE);
}

TEST(LayeredCostmapTest, RollingWindowFollowsTheRobotOverTheStaticMap)
{
  Costmap2D world(100, 100, 0.1, 0.0, 0.0, FREE_SPACE);
  world.setCost(50, 50, LETHAL_OBSTACLE);
  nav2_costmap_2d::LayeredCostmap layered("odom", true, false);
  layered.setInflationParameters(0.3, 3.0);
  layered.setFootprint(square(0.15));
  layered.resizeMap(10, 10, 0.1, 4.5, 4.5);
  layered.setStaticMap(world);
  EXPECT_EQ(layered.getCostmap()->getSizeInCellsX(), 10u);
  // Until an update places it on the robot the window holds only the default value.
  EXPECT_EQ(layered.getCostmap()->getCost(5, 5), FREE_SPACE);

  layered.updateMap(5.0, 5.0, 0.0);
  EXPECT_NEAR(layered.getCostmap()->getOriginX(), 4.5, 1e-9);
  EXPECT_EQ(layered.getCostmap()->getCost(5, 5), LETHAL_OBSTACLE);
  EXPECT_EQ(layered.getCostmap()->getCost(6, 5), INSCRIBED_INFLATED_OBSTACLE);

  // Off by less than a cell, the origin stays on its grid.
  layered.updateMap(7.04, 7.0, 0.0);
  EXPECT_NEAR(layered.getCostmap()->getOriginX(), 6.5, 1e-9);
  for (unsigned int i = 0; i < 100; ++i) {
    EXPECT_EQ(layered.getCostmap()->getCost(i), FREE_SPACE);
  }
  // Moved back over it, the obstacle is read from the static map again.
  layered.updateMap(5.45, 5.02, 0.0);
  EXPECT_NEAR(layered.getCostmap()->getOriginX(), 5.0, 1e-9);
  EXPECT_NEAR(layered.getCostmap()->getOriginY(), 4.6, 1e-9);
  EXPECT_EQ(layered.getCostmap()->getCost(0, 4), LETHAL_OBSTACLE);
}

TEST(LayeredCostmapTest, RollingWindowOffTheMapIsUnknownOnlyWhenTrackingIt)
{
  Costmap2D world(20, 20, 0.1, 0.0, 0.0, FREE_SPACE);
  world.setCost(0, 10, LETHAL_OBSTACLE);
  for (const bool track_unknown : {false, true}) {
    SCOPED_TRACE(track_unknown ? "tracking unknown space" : "not tracking unknown space");
    nav2_costmap_2d::LayeredCostmap layered("map", true, track_unknown);
    layered.setInflationParameters(0.3, 3.0);
    layered.setFootprint(square(0.15));
    layered.resizeMap(10, 10, 0.1, -0.5, 0.5);
    layered.setStaticMap(world);
    // Half the window hangs off the map's left edge.
    layered.updateMap(0.02, 1.02, 0.0);
    const Costmap2D & window = *layered.getCostmap();
    ASSERT_NEAR(window.getOriginX(), -0.5, 1e-9);
    EXPECT_EQ(window.getCost(5, 5), LETHAL_OBSTACLE);
    EXPECT_EQ(window.getCost(6, 5), INSCRIBED_INFLATED_OBSTACLE);
    EXPECT_EQ(window.getCost(9, 5), FREE_SPACE);
    EXPECT_EQ(window.getCost(4, 5), INSCRIBED_INFLATED_OBSTACLE);   // inflated off the map too
    EXPECT_EQ(window.getCost(0, 5), track_unknown ? NO_INFORMATION : FREE_SPACE);
  }
}

TEST(LayeredCostmapTest, LockedSizeKeepsTheMasterGrid)
{
  nav2_costmap_2d::LayeredCostmap layered("map", false, false);
  layered.setInflationParameters(0.0, 3.0);
  layered.resizeMap(4, 4, 0.05, 1.4, 2.4, true);
  layered.setStaticMap(staticMap());
  ASSERT_TRUE(layered.isSizeLocked());
  EXPECT_EQ(layered.getCostmap()->getSizeInCellsX(), 4u);
  EXPECT_EQ(layered.getCostmap()->getCost(2, 2), LETHAL_OBSTACLE);   // world (1.525, 2.525)
}
