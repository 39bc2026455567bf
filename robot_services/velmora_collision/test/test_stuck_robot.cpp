// A robot whose footprint already covers obstacle cells (the map changed under it, its pose
// jumped) is never held where it stands: it may leave them or keep the depth it is in, never
// press deeper. Hand-made 5 m x 5 m maps of 0.05 m cells and a 0.4 m x 0.3 m robot.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "collision/footprint_outline.hpp"
#include "collision/footprint_sweep.hpp"
#include "footprints.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

using Collision::FootprintOutline;
using Collision::FootprintSweep;
using Collision::Pose2;
using Collision::Velocity2;
using footprints::point;
using footprints::rectangle;
using geometry_msgs::msg::Point;

namespace
{
class StuckRobotTest : public ::testing::Test
{
protected:
  StuckRobotTest()
  : costmap_(100, 100, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE), sweep_(costmap_) {}

  // Gives `cost` to every cell whose centre lies in [x0, x1] x [y0, y1].
  void block(double x0, double x1, double y0, double y1, unsigned char cost)
  {
    for (unsigned int mx = 0; mx < costmap_.getSizeInCellsX(); ++mx) {
      for (unsigned int my = 0; my < costmap_.getSizeInCellsY(); ++my) {
        double x = 0.0;
        double y = 0.0;
        costmap_.mapToWorld(mx, my, x, y);
        if (x >= x0 && x <= x1 && y >= y0 && y <= y1) {
          costmap_.setCost(mx, my, cost);
        }
      }
    }
  }

  bool free(const Pose2 & start, const Velocity2 & velocity, double dt)
  {
    return sweep_.isFree(start, velocity, dt, robot_);
  }

  nav2_costmap_2d::Costmap2D costmap_;
  FootprintSweep sweep_;
  const std::vector<Point> robot_ = rectangle(0.2, 0.15);
};
}  // namespace

TEST_F(StuckRobotTest, AtAWallItCanBackOutOrSlideAlongButNotPushIn)
{
  for (unsigned char cost : {nav2_costmap_2d::LETHAL_OBSTACLE, nav2_costmap_2d::NO_INFORMATION}) {
    SCOPED_TRACE(static_cast<int>(cost));
    block(3.0, 3.2, 0.0, 5.0, cost);
    // The front, at x 3.03, is 0.03 m into the wall.
    const Pose2 in_the_wall{2.83, 2.5, 0.0};
    EXPECT_TRUE(free(in_the_wall, {0.0, 0.0, 0.0}, 1.0)) << "standing still";
    EXPECT_TRUE(free(in_the_wall, {-0.3, 0.0, 0.0}, 1.0)) << "backing out";
    EXPECT_TRUE(free(in_the_wall, {-0.3, 0.0, 0.3}, 1.0)) << "backing out while turning";
    EXPECT_FALSE(free(in_the_wall, {0.01, 0.0, 0.0}, 1.0)) << "1 cm deeper, in the same cells";
    EXPECT_FALSE(free(in_the_wall, {0.3, 0.0, 0.0}, 1.0)) << "pushing on";
    EXPECT_TRUE(free(in_the_wall, {0.0, 0.3, 0.0}, 1.0)) << "along it, as deep as it is";
    EXPECT_FALSE(free(in_the_wall, {0.0, 0.0, 0.5}, 1.0)) << "a corner swings further in";
  }
}

TEST_F(StuckRobotTest, ACellUnderTheRobotMayBeLeftButNotApproached)
{
  // A post of one cell (centre 2.525, 2.525) appears 0.125 m ahead of the robot's centre, 0.075 m
  // inside its front edge; a thin wall runs behind the robot at x 2.0-2.05.
  block(2.5, 2.55, 2.5, 2.55, nav2_costmap_2d::LETHAL_OBSTACLE);
  block(2.0, 2.05, 0.0, 5.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  const Pose2 over_the_post{2.4, 2.525, 0.0};
  EXPECT_TRUE(free(over_the_post, {0.0, 0.0, 0.0}, 1.0));
  EXPECT_FALSE(free(over_the_post, {0.1, 0.0, 0.0}, 1.0)) << "the post gets deeper inside";
  EXPECT_TRUE(free(over_the_post, {-0.1, 0.0, 0.0}, 1.0)) << "it leaves through the front";
  EXPECT_TRUE(free(over_the_post, {0.0, 0.2, 0.0}, 1.0)) << "it leaves through the side";
  // Being in the post gives no licence to cross another obstacle, however fast.
  EXPECT_FALSE(free(over_the_post, {-1.0, 0.0, 0.0}, 1.0)) << "the rear crosses the thin wall";
}

TEST_F(StuckRobotTest, ScrapingADoorPostItMaySlideAlongButNotPressIn)
{
  // The robot's left side, at y 2.73, lies 0.03 m inside a post at x 2.4-2.6, y 2.7-3.0 along
  // its whole depth: driving on neither covers more of the post nor takes the robot deeper.
  block(2.4, 2.6, 2.7, 3.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  const Pose2 scraping{2.5, 2.58, 0.0};
  EXPECT_TRUE(free(scraping, {0.3, 0.0, 0.0}, 1.0));
  EXPECT_TRUE(free(scraping, {-0.3, 0.0, 0.0}, 1.0));
  EXPECT_TRUE(free(scraping, {0.0, -0.1, 0.0}, 1.0)) << "away from the post";
  EXPECT_FALSE(free(scraping, {0.0, 0.1, 0.0}, 1.0)) << "into the post";
}

TEST_F(StuckRobotTest, PosesAheadAreJudgedFromWhereTheRobotStands)
{
  block(3.0, 3.2, 0.0, 5.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  const Pose2 in_the_wall{2.83, 2.5, 0.0};
  const std::vector<Pose2> backing_out{in_the_wall, {2.7, 2.5, 0.0}, {2.5, 2.5, 0.0}};
  EXPECT_EQ(sweep_.firstBlocked(in_the_wall, backing_out, robot_), 3u) << "none is blocked";
  const std::vector<Pose2> pushing_in{in_the_wall, {2.84, 2.5, 0.0}, {2.9, 2.5, 0.0}};
  EXPECT_EQ(sweep_.firstBlocked(in_the_wall, pushing_in, robot_), 1u);

  const Pose2 clear{2.5, 2.5, 0.0};
  const std::vector<Pose2> towards_the_wall{clear, {2.7, 2.5, 0.0}, {2.9, 2.5, 0.0}};
  EXPECT_EQ(sweep_.firstBlocked(clear, towards_the_wall, robot_), 2u) << "the front at 3.1";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(sweep_.firstBlocked(clear, {clear, {2.6, nan, 0.0}}, robot_), 1u);
  EXPECT_EQ(sweep_.firstBlocked({nan, 2.5, 0.0}, {clear}, robot_), 0u);
  EXPECT_EQ(sweep_.firstBlocked({0.1, 2.5, 0.0}, {clear}, robot_), 0u) << "start off the map";
  EXPECT_EQ(sweep_.firstBlocked(clear, {clear}, {}), 0u) << "no footprint";
}

TEST(FootprintOutlineTest, DepthIsTheDistanceToTheNearestEdgeNegativeOutside)
{
  FootprintOutline outline;
  outline.place({1.0, 1.0, M_PI / 2}, rectangle(0.2, 0.15));  // x 0.85-1.15, y 0.8-1.2
  EXPECT_NEAR(outline.depthOf(1.0, 1.0), 0.15, 1e-12);
  EXPECT_NEAR(outline.depthOf(1.0, 1.15), 0.05, 1e-12);
  EXPECT_NEAR(outline.depthOf(1.3, 1.0), -0.15, 1e-12);
  EXPECT_NEAR(outline.depthOf(1.18, 1.24), -0.05, 1e-12) << "nearest the corner";

  // An L: its notch, x 0.5-1, y 0.5-1, is outside.
  outline.place(
    {0.0, 0.0, 0.0},
    {point(0.0, 0.0), point(1.0, 0.0), point(1.0, 0.5), point(0.5, 0.5), point(0.5, 1.0),
      point(0.0, 1.0)});
  EXPECT_NEAR(outline.depthOf(0.25, 0.75), 0.25, 1e-12);
  EXPECT_NEAR(outline.depthOf(0.8, 0.8), -0.3, 1e-12);

  // A segment or a point has no inside.
  outline.place({0.0, 0.0, 0.0}, {point(0.2, 0.15), point(0.2, -0.15)});
  EXPECT_NEAR(outline.depthOf(0.1, 0.0), -0.1, 1e-12);
  EXPECT_NEAR(outline.depthOf(0.3, 0.0), -0.1, 1e-12);
  outline.place({0.0, 0.0, 0.0}, {point(0.2, 0.0)});
  EXPECT_NEAR(outline.depthOf(0.2, 0.3), -0.3, 1e-12);
}
