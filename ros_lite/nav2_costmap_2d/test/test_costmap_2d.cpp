#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <limits>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

using nav2_costmap_2d::Costmap2D;

namespace
{
geometry_msgs::msg::Point point(double x, double y)
{
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

// 10 x 5 cells of 0.1 m whose lower-left corner sits at (-1.5, 2.0).
Costmap2D offsetMap()
{
  return Costmap2D(10, 5, 0.1, -1.5, 2.0, 7);
}
}  // namespace

TEST(Costmap2DTest, WorldToMapHonoursOriginOffsetAndNegativeCoordinates)
{
  const Costmap2D map = offsetMap();
  unsigned int mx = 99, my = 99;
  ASSERT_TRUE(map.worldToMap(-1.5, 2.0, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  ASSERT_TRUE(map.worldToMap(-1.26, 2.31, mx, my));
  EXPECT_EQ(mx, 2u);
  EXPECT_EQ(my, 3u);
  // Just left of / below the origin is off the map, not cell 0 by truncation towards zero.
  EXPECT_FALSE(map.worldToMap(-1.5001, 2.05, mx, my));
  EXPECT_FALSE(map.worldToMap(-1.45, 1.9999, mx, my));
}

TEST(Costmap2DTest, WorldToMapRejectsTheUpperEdgeAndInvalidNumbers)
{
  const Costmap2D map = offsetMap();
  unsigned int mx = 0, my = 0;
  ASSERT_TRUE(map.worldToMap(-0.5001, 2.4999, mx, my));
  EXPECT_EQ(mx, 9u);
  EXPECT_EQ(my, 4u);
  EXPECT_FALSE(map.worldToMap(-0.5, 2.2, mx, my));   // exactly origin + size * resolution
  EXPECT_FALSE(map.worldToMap(-1.0, 2.5, mx, my));
  EXPECT_FALSE(map.worldToMap(std::nan(""), 2.2, mx, my));
  EXPECT_FALSE(map.worldToMap(-1.0, std::numeric_limits<double>::infinity(), mx, my));
  EXPECT_FALSE(map.worldToMap(1e300, 2.2, mx, my));
}

TEST(Costmap2DTest, MapToWorldGivesCellCentresThatMapBack)
{
  const Costmap2D map = offsetMap();
  double wx = 0.0, wy = 0.0;
  map.mapToWorld(0, 0, wx, wy);
  EXPECT_NEAR(wx, -1.45, 1e-12);
  EXPECT_NEAR(wy, 2.05, 1e-12);
  for (unsigned int x = 0; x < 10; ++x) {
    for (unsigned int y = 0; y < 5; ++y) {
      unsigned int mx = 0, my = 0;
      map.mapToWorld(x, y, wx, wy);
      ASSERT_TRUE(map.worldToMap(wx, wy, mx, my));
      EXPECT_EQ(mx, x);
      EXPECT_EQ(my, y);
    }
  }
}

TEST(Costmap2DTest, EnforceBoundsClampsAndNoBoundsDoesNot)
{
  const Costmap2D map = offsetMap();
  int mx = 0, my = 0;
  map.worldToMapEnforceBounds(-3.0, 1.0, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  map.worldToMapEnforceBounds(-0.5, 2.5, mx, my);   // exactly on the far edges
  EXPECT_EQ(mx, 9);
  EXPECT_EQ(my, 4);
  map.worldToMapEnforceBounds(4.0, 9.0, mx, my);
  EXPECT_EQ(mx, 9);
  EXPECT_EQ(my, 4);
  map.worldToMapEnforceBounds(-1.26, 2.31, mx, my);
  EXPECT_EQ(mx, 2);
  EXPECT_EQ(my, 3);
  map.worldToMapNoBounds(-0.05, 3.05, mx, my);
  EXPECT_EQ(mx, 14);
  EXPECT_EQ(my, 10);
}

TEST(Costmap2DTest, CostsAreStoredRowMajorWithTheDefaultValue)
{
  Costmap2D map = offsetMap();
  EXPECT_EQ(map.getCost(3, 2), 7);
  map.setCost(3, 2, nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(map.getIndex(3, 2), 23u);
  EXPECT_EQ(map.getCharMap()[23], nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(map.getCost(23u), nav2_costmap_2d::LETHAL_OBSTACLE);
  unsigned int mx = 0, my = 0;
  map.indexToCells(23, mx, my);
  EXPECT_EQ(mx, 3u);
  EXPECT_EQ(my, 2u);

  map.resetMapToValue(0, 0, 2, 5, 9);
  EXPECT_EQ(map.getCost(1, 4), 9);
  EXPECT_EQ(map.getCost(2, 4), 7);
  map.resetMap(0, 0, 10, 5);
  EXPECT_EQ(map.getCost(1, 4), 7);
  EXPECT_EQ(map.getCost(3, 2), 7);
}

TEST(Costmap2DTest, GeometryAccessorsAndCellDistance)
{
  Costmap2D map = offsetMap();
  EXPECT_EQ(map.getSizeInCellsX(), 10u);
  EXPECT_EQ(map.getSizeInCellsY(), 5u);
  EXPECT_DOUBLE_EQ(map.getResolution(), 0.1);
  EXPECT_DOUBLE_EQ(map.getOriginX(), -1.5);
  EXPECT_DOUBLE_EQ(map.getOriginY(), 2.0);
  // Measured to the middle of the last cell.
  EXPECT_NEAR(map.getSizeInMetersX(), 0.95, 1e-12);
  EXPECT_NEAR(map.getSizeInMetersY(), 0.45, 1e-12);
  EXPECT_EQ(map.cellDistance(0.25), 3u);
  EXPECT_EQ(map.cellDistance(0.3), 3u);
  EXPECT_EQ(map.cellDistance(-1.0), 0u);
}

TEST(Costmap2DTest, CopiesAreDeepAndResizeResets)
{
  Costmap2D original = offsetMap();
  original.setCost(1, 1, 100);
  Costmap2D copy(original);
  copy.setCost(1, 1, 200);
  EXPECT_EQ(original.getCost(1, 1), 100);
  EXPECT_NE(copy.getMutex(), original.getMutex());

  Costmap2D assigned;
  assigned = original;
  EXPECT_EQ(assigned.getSizeInCellsX(), 10u);
  EXPECT_EQ(assigned.getCost(1, 1), 100);

  assigned.resizeMap(4, 3, 0.5, 1.0, 1.0);
  EXPECT_EQ(assigned.getSizeInCellsX(), 4u);
  EXPECT_EQ(assigned.getCost(1, 1), 7);
  unsigned int mx = 0, my = 0;
  ASSERT_TRUE(assigned.worldToMap(2.9, 2.4, mx, my));
  EXPECT_EQ(mx, 3u);
  EXPECT_EQ(my, 2u);
}

TEST(Costmap2DTest, WindowCopyAndSavedImage)
{
  Costmap2D map(20, 20, 0.5, -5.0, -5.0, 0);
  map.setCost(12, 11, 99);
  Costmap2D window;
  ASSERT_TRUE(window.copyCostmapWindow(map, 0.0, 0.0, 3.0, 2.0));
  EXPECT_EQ(window.getSizeInCellsX(), 6u);
  EXPECT_EQ(window.getSizeInCellsY(), 4u);
  EXPECT_DOUBLE_EQ(window.getOriginX(), 0.0);
  EXPECT_EQ(window.getCost(2, 1), 99);
  EXPECT_FALSE(window.copyCostmapWindow(map, 0.0, 0.0, 30.0, 2.0));

  const std::string path = ::testing::TempDir() + "costmap_2d_test.pgm";
  ASSERT_TRUE(window.saveMap(path));
  std::ifstream saved(path);
  std::string magic;
  unsigned int width = 0, height = 0, max_value = 0;
  saved >> magic >> width >> height >> max_value;
  EXPECT_EQ(magic, "P2");
  EXPECT_EQ(width, 6u);
  EXPECT_EQ(height, 4u);
  std::vector<int> values(24);
  for (auto & value : values) {
    saved >> value;
  }
  EXPECT_EQ(values[1 * 6 + 2], 99);
  std::remove(path.c_str());
}

TEST(Costmap2DTest, MutexIsRecursive)
{
  Costmap2D map = offsetMap();
  std::unique_lock<Costmap2D::mutex_t> outer(*map.getMutex());
  std::unique_lock<Costmap2D::mutex_t> inner(*map.getMutex(), std::try_to_lock);
  EXPECT_TRUE(inner.owns_lock());
}

TEST(Costmap2DTest, UpdateOriginKeepsTheOverlapAndClearsTheRest)
{
  Costmap2D map(10, 10, 1.0, 0.0, 0.0, 0);
  map.setCost(5, 6, 50);
  map.setCost(1, 1, 60);
  map.updateOrigin(3.0, 2.0);
  EXPECT_DOUBLE_EQ(map.getOriginX(), 3.0);
  EXPECT_DOUBLE_EQ(map.getOriginY(), 2.0);
  EXPECT_EQ(map.getCost(2, 4), 50);   // same world cell, new index
  for (unsigned int x = 0; x < 10; ++x) {
    for (unsigned int y = 0; y < 10; ++y) {
      if (x != 2 || y != 4) {
        EXPECT_EQ(map.getCost(x, y), 0) << x << "," << y;
      }
    }
  }
}

TEST(Costmap2DTest, ConvexPolygonCostFillsTheInteriorAndRefusesOffMapVertices)
{
  Costmap2D map(20, 20, 0.1, 0.0, 0.0, 0);
  const std::vector<geometry_msgs::msg::Point> square =
  {point(0.55, 0.55), point(1.05, 0.55), point(1.05, 1.05), point(0.55, 1.05)};
  ASSERT_TRUE(map.setConvexPolygonCost(square, 90));
  int marked = 0;
  for (unsigned int x = 0; x < 20; ++x) {
    for (unsigned int y = 0; y < 20; ++y) {
      const bool inside = x >= 5 && x <= 10 && y >= 5 && y <= 10;
      EXPECT_EQ(map.getCost(x, y), inside ? 90 : 0) << x << "," << y;
      marked += inside;
    }
  }
  EXPECT_EQ(marked, 36);

  Costmap2D untouched(20, 20, 0.1, 0.0, 0.0, 0);
  EXPECT_FALSE(untouched.setConvexPolygonCost({point(0.5, 0.5), point(2.5, 0.5), point(0.5, 1.0)}, 90));
  EXPECT_EQ(untouched.getCost(5, 5), 0);
}

TEST(Costmap2DTest, PolygonOutlineIsClosedAndConnected)
{
  Costmap2D map(20, 20, 0.1, 0.0, 0.0, 0);
  std::vector<nav2_costmap_2d::MapLocation> outline;
  map.polygonOutlineCells({{2, 2}, {12, 5}, {4, 15}}, outline);
  ASSERT_FALSE(outline.empty());
  for (size_t i = 0; i + 1 < outline.size(); ++i) {
    const int dx = std::abs(static_cast<int>(outline[i + 1].x) - static_cast<int>(outline[i].x));
    const int dy = std::abs(static_cast<int>(outline[i + 1].y) - static_cast<int>(outline[i].y));
    EXPECT_LE(std::max(dx, dy), 1) << "gap after cell " << i;
  }
  EXPECT_EQ(outline.back().x, 2u);
  EXPECT_EQ(outline.back().y, 2u);
}

TEST(Costmap2DTest, OccupancyGridScalesOccupancyToCosts)
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 2;
  grid.info.height = 2;
  grid.info.resolution = 0.5f;
  grid.info.origin.position.x = -1.0;
  grid.info.origin.position.y = 3.0;
  grid.data = {0, 100, -1, 50};
  const Costmap2D map(grid);
  EXPECT_EQ(map.getSizeInCellsX(), 2u);
  EXPECT_DOUBLE_EQ(map.getOriginX(), -1.0);
  EXPECT_DOUBLE_EQ(map.getOriginY(), 3.0);
  EXPECT_EQ(map.getCost(0, 0), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(map.getCost(1, 0), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(map.getCost(0, 1), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(map.getCost(1, 1), 127);
}
