#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "nav2_costmap_2d/array_parser.hpp"
#include "nav2_costmap_2d/footprint.hpp"

using geometry_msgs::msg::Point;

namespace
{
Point point(double x, double y)
{
  Point p;
  p.x = x;
  p.y = y;
  return p;
}

std::vector<Point> rectangle(double half_length, double half_width)
{
  return {point(half_length, half_width), point(-half_length, half_width),
    point(-half_length, -half_width), point(half_length, -half_width)};
}
}  // namespace

TEST(FootprintStringTest, ParsesPointListsWrittenInAnyLayout)
{
  std::vector<Point> footprint;
  ASSERT_TRUE(
    nav2_costmap_2d::makeFootprintFromString(
      "[[0.3, 0.2], [-0.3, 0.2], [-0.3, -0.2], [0.3, -0.2]]", footprint));
  ASSERT_EQ(footprint.size(), 4u);
  EXPECT_DOUBLE_EQ(footprint[1].x, -0.3f);
  EXPECT_DOUBLE_EQ(footprint[2].y, -0.2f);

  ASSERT_TRUE(
    nav2_costmap_2d::makeFootprintFromString(" [ [1,2] ,[ -3e-1 , 4 ],\n[5.5,-6] ] ", footprint));
  ASSERT_EQ(footprint.size(), 3u);
  EXPECT_DOUBLE_EQ(footprint[0].x, 1.0);
  EXPECT_NEAR(footprint[1].x, -0.3, 1e-6);
  EXPECT_DOUBLE_EQ(footprint[2].y, -6.0);
}

TEST(FootprintStringTest, RejectsMalformedStringsAndKeepsThePreviousFootprint)
{
  const std::vector<std::string> bad = {
    "",
    "[]",
    "[[0.1, 0.1], [0.2, 0.2]]",                 // two points
    "[[0.1, 0.1, 0.3], [0.2, 0.2], [0, 1]]",    // a triple
    "[[0.1], [0.2, 0.2], [0, 1]]",              // a single number
    "[[0.1, 0.1], [0.2, 0.2], [0, 1]",          // unclosed
    "[[0.1, 0.1], [0.2, 0.2], [0, 1]]]",        // one ] too many
    "[[a, 0.1], [0.2, 0.2], [0, 1]]",
    "[[nan, 0.1], [0.2, 0.2], [0, 1]]",
    "0.1, 0.1, 0.2, 0.2, 0, 1",
    "[[[0.1, 0.1]], [0.2, 0.2], [0, 1]]",
  };
  for (const auto & text : bad) {
    std::vector<Point> footprint = {point(9, 9)};
    EXPECT_FALSE(nav2_costmap_2d::makeFootprintFromString(text, footprint)) << text;
    ASSERT_EQ(footprint.size(), 1u) << text;
    EXPECT_EQ(footprint[0].x, 9.0) << text;
  }
}

TEST(FootprintStringTest, ArrayParserReportsWhereItFailed)
{
  std::string error;
  const auto rows = nav2_costmap_2d::parseVVF("[[1, 2], [3, 4, 5], []]", error);
  EXPECT_TRUE(error.empty());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].size(), 3u);
  EXPECT_TRUE(rows[2].empty());

  const auto broken = nav2_costmap_2d::parseVVF("[[1, 2], [3 4]]", error);
  EXPECT_TRUE(broken.empty());
  EXPECT_NE(error.find("position 12"), std::string::npos) << error;
}

TEST(FootprintGeometryTest, MinAndMaxDistancesAreInscribedAndCircumscribedRadii)
{
  double min_dist = 0.0, max_dist = 0.0;
  nav2_costmap_2d::calculateMinAndMaxDistances(rectangle(0.3, 0.2), min_dist, max_dist);
  EXPECT_NEAR(min_dist, 0.2, 1e-12);
  EXPECT_NEAR(max_dist, std::hypot(0.3, 0.2), 1e-12);

  // Off-centre: the origin is 0.1 from the rear edge.
  const std::vector<Point> shifted =
  {point(0.5, 0.2), point(-0.1, 0.2), point(-0.1, -0.2), point(0.5, -0.2)};
  nav2_costmap_2d::calculateMinAndMaxDistances(shifted, min_dist, max_dist);
  EXPECT_NEAR(min_dist, 0.1, 1e-12);
  EXPECT_NEAR(max_dist, std::hypot(0.5, 0.2), 1e-12);

  nav2_costmap_2d::calculateMinAndMaxDistances({point(1, 0), point(0, 1)}, min_dist, max_dist);
  EXPECT_EQ(min_dist, std::numeric_limits<double>::max());
  EXPECT_EQ(max_dist, 0.0);
}

TEST(FootprintGeometryTest, TransformRotatesThenTranslates)
{
  std::vector<Point> oriented;
  nav2_costmap_2d::transformFootprint(2.0, -1.0, M_PI / 2, {point(0.3, 0.1)}, oriented);
  ASSERT_EQ(oriented.size(), 1u);
  EXPECT_NEAR(oriented[0].x, 1.9, 1e-12);
  EXPECT_NEAR(oriented[0].y, -0.7, 1e-12);

  geometry_msgs::msg::PolygonStamped stamped;
  stamped.header.frame_id = "map";
  nav2_costmap_2d::transformFootprint(1.0, 1.0, M_PI, rectangle(0.3, 0.2), stamped);
  ASSERT_EQ(stamped.polygon.points.size(), 4u);
  EXPECT_NEAR(stamped.polygon.points[0].x, 0.7, 1e-6);
  EXPECT_NEAR(stamped.polygon.points[0].y, 0.8, 1e-6);
  EXPECT_EQ(stamped.header.frame_id, "map");
}

TEST(FootprintGeometryTest, PaddingGrowsAwayFromTheAxes)
{
  std::vector<Point> footprint = {point(0.3, -0.2), point(0.0, 0.5), point(-0.4, 0.0)};
  nav2_costmap_2d::padFootprint(footprint, 0.05);
  EXPECT_NEAR(footprint[0].x, 0.35, 1e-12);
  EXPECT_NEAR(footprint[0].y, -0.25, 1e-12);
  EXPECT_EQ(footprint[1].x, 0.0);
  EXPECT_NEAR(footprint[1].y, 0.55, 1e-12);
  EXPECT_NEAR(footprint[2].x, -0.45, 1e-12);
  EXPECT_EQ(footprint[2].y, 0.0);
}

TEST(FootprintGeometryTest, RadiusFootprintIsASixteenGonOnTheCircle)
{
  const auto circle = nav2_costmap_2d::makeFootprintFromRadius(0.25);
  ASSERT_EQ(circle.size(), 16u);
  for (const auto & p : circle) {
    EXPECT_NEAR(std::hypot(p.x, p.y), 0.25, 1e-12);
  }
  double min_dist = 0.0, max_dist = 0.0;
  nav2_costmap_2d::calculateMinAndMaxDistances(circle, min_dist, max_dist);
  EXPECT_NEAR(min_dist, 0.25 * std::cos(M_PI / 16), 1e-9);
}

TEST(FootprintGeometryTest, PolygonConversionsRoundTrip)
{
  const auto footprint = rectangle(0.5, 0.25);
  auto polygon = std::make_shared<geometry_msgs::msg::Polygon>(
    nav2_costmap_2d::toPolygon(footprint));
  ASSERT_EQ(polygon->points.size(), 4u);
  EXPECT_FLOAT_EQ(polygon->points[2].x, -0.5f);
  const auto back = nav2_costmap_2d::toPointVector(polygon);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_DOUBLE_EQ(back[3].y, -0.25);
}
