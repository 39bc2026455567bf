#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "collision/footprint_sweep.hpp"
#include "footprints.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/inflation_layer.hpp"

using Collision::FootprintSweep;
using Collision::Pose2;
using Collision::Velocity2;
using geometry_msgs::msg::Point;

namespace
{
using footprints::rectangle;

constexpr double kHalfTurn = 1.5707963267948966;

// 10 m x 5 m of 0.05 m cells with a wall x 6.0-6.2 across it, inflated for a robot of inscribed
// radius 0.16 m: inscribed cells reach 0.15 m in front of the wall (from x 5.85), lower inflated
// cost 0.5 m (from x 5.5). Only the wall itself is an obstacle.
class FootprintSweepTest : public ::testing::Test
{
protected:
  FootprintSweepTest()
  : costmap_(200, 100, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE), sweep_(costmap_)
  {
    for (unsigned int x = 120; x < 124; ++x) {
      for (unsigned int y = 0; y < 100; ++y) {
        costmap_.setCost(x, y, nav2_costmap_2d::LETHAL_OBSTACLE);
      }
    }
    nav2_costmap_2d::InflationLayer inflation;
    inflation.setInflationParameters(0.5, 3.0);
    inflation.setInscribedRadius(0.16);
    inflation.updateCosts(costmap_, 0, 0, 200, 100);
  }

  bool free(const Pose2 & start, const Velocity2 & velocity, double dt)
  {
    return sweep_.isFree(start, velocity, dt, robot_);
  }

  unsigned char costAt(double x, double y) const
  {
    unsigned int mx = 0;
    unsigned int my = 0;
    EXPECT_TRUE(costmap_.worldToMap(x, y, mx, my));
    return costmap_.getCost(mx, my);
  }

  nav2_costmap_2d::Costmap2D costmap_;
  FootprintSweep sweep_;
  const std::vector<Point> robot_ = rectangle(0.2, 0.15);
};
}  // namespace

TEST_F(FootprintSweepTest, StraightIntoTheWallWithinDtIsACollision)
{
  EXPECT_FALSE(free({5.0, 2.5, 0.0}, {1.0, 0.0, 0.0}, 1.0));    // front would reach 6.2
  EXPECT_FALSE(free({5.0, 2.5, 0.0}, {0.81, 0.0, 0.0}, 1.0));   // 6.01: the wall's first cells
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {0.78, 0.0, 0.0}, 1.0));    // 5.98: inscribed cells only
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0));     // stops short at 5.7
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {1.0, 0.0, 0.0}, 0.5));     // same command, shorter look-ahead
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {-1.0, 0.0, 0.0}, 1.0));    // reversing away from it
  EXPECT_FALSE(free({7.0, 2.5, M_PI}, {1.2, 0.0, 0.0}, 1.0));   // from the far side
}

TEST_F(FootprintSweepTest, InflatedCostUnderTheFootprintIsNoObstacle)
{
  // Front at 5.98, sides and back over lower inflated cost: the whole footprint is inflated.
  const Pose2 against_the_wall{5.78, 2.5, 0.0};
  ASSERT_EQ(costAt(5.97, 2.5), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  ASSERT_GT(costAt(5.59, 2.5), nav2_costmap_2d::FREE_SPACE);
  EXPECT_TRUE(free({5.3, 2.5, 0.0}, {0.48, 0.0, 0.0}, 1.0)) << "from clear space up to there";
  EXPECT_TRUE(free(against_the_wall, {0.0, 0.0, 0.0}, 1.0));
  EXPECT_TRUE(free(against_the_wall, {0.0, 1.0, 0.0}, 1.0)) << "along the wall, in its inflation";
  EXPECT_TRUE(free(against_the_wall, {-0.5, 0.0, 0.0}, 1.0));
  EXPECT_FALSE(free(against_the_wall, {0.05, 0.0, 0.0}, 1.0)) << "0.05 m on is the wall";
}

TEST(FootprintSweepObstacleTest, UnknownCellsAndTheMapEdgeCollideLikeLethalOnes)
{
  // 5 m x 5 m, unknown beyond x 3.0, one lethal cell at (1.0, 1.0).
  nav2_costmap_2d::Costmap2D costmap(100, 100, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  for (unsigned int x = 60; x < 100; ++x) {
    for (unsigned int y = 0; y < 100; ++y) {
      costmap.setCost(x, y, nav2_costmap_2d::NO_INFORMATION);
    }
  }
  costmap.setCost(20, 20, nav2_costmap_2d::LETHAL_OBSTACLE);
  FootprintSweep sweep(costmap);
  const auto robot = rectangle(0.2, 0.15);
  EXPECT_FALSE(sweep.isFree({2.5, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, robot)) << "into the unknown";
  EXPECT_TRUE(sweep.isFree({2.5, 2.5, 0.0}, {0.25, 0.0, 0.0}, 1.0, robot)) << "front at 2.95";
  EXPECT_FALSE(sweep.isFree({1.5, 1.0, M_PI}, {0.5, 0.0, 0.0}, 1.0, robot)) << "onto the cell";
  EXPECT_TRUE(sweep.isFree({1.5, 1.25, M_PI}, {0.5, 0.0, 0.0}, 1.0, robot)) << "past beside it";
  EXPECT_TRUE(sweep.isFree({1.5, 2.5, M_PI}, {1.2, 0.0, 0.0}, 1.0, robot)) << "front at 0.1";
  EXPECT_FALSE(sweep.isFree({1.5, 2.5, M_PI}, {1.5, 0.0, 0.0}, 1.0, robot)) << "off the map";
}

TEST_F(FootprintSweepTest, FastMotionCannotJumpAThinObstacle)
{
  nav2_costmap_2d::Costmap2D thin(200, 100, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  for (unsigned int y = 0; y < 100; ++y) {
    thin.setCost(120, y, nav2_costmap_2d::LETHAL_OBSTACLE);
  }
  FootprintSweep sweep(thin);
  // Whole-metre steps would place the robot at 5.5 and 6.5, either side of the wall.
  EXPECT_FALSE(sweep.isFree({4.5, 2.5, 0.0}, {3.0, 0.0, 0.0}, 1.0, robot_));
  EXPECT_TRUE(sweep.isFree({4.5, 2.5, 0.0}, {3.0, 0.0, 0.0}, 0.4, robot_));
  // A lone edge has no sides to catch the wall with: only fine enough samples land on it.
  const std::vector<Point> front_edge{robot_[0], robot_[3]};
  EXPECT_FALSE(sweep.isFree({4.5, 2.5, 0.0}, {3.0, 0.0, 0.0}, 1.0, front_edge));
  EXPECT_FALSE(sweep.isFree({4.5, 2.5, 0.0}, {2.9, 0.0, 0.0}, 1.0, front_edge));
}

TEST_F(FootprintSweepTest, TurningSweepsTheCornersEvenWhenBothEndsAreFree)
{
  // Facing +y the robot spans x 5.63-5.93, facing +x 5.58-5.98; half-way its corner reaches 6.03.
  const Pose2 start{5.78, 2.5, M_PI / 2};
  EXPECT_TRUE(free(start, {0.0, 0.0, 0.0}, 1.0));
  EXPECT_TRUE(free({5.78, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.0));
  EXPECT_FALSE(free(start, {0.0, 0.0, -M_PI / 2}, 1.0));
  EXPECT_TRUE(free({4.5, 2.5, M_PI / 2}, {0.0, 0.0, -M_PI / 2}, 1.0));
}

TEST_F(FootprintSweepTest, SidewaysMotionIsInTheRobotFrame)
{
  // Facing +y, the robot's right (negative vy) is world +x, towards the wall.
  EXPECT_FALSE(free({5.0, 2.5, M_PI / 2}, {0.0, -1.0, 0.0}, 1.0));
  EXPECT_TRUE(free({5.0, 2.5, M_PI / 2}, {0.0, 1.0, 0.0}, 1.0));
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {0.0, 1.0, 0.0}, 1.0));     // along the wall
}

TEST_F(FootprintSweepTest, BiggerFootprintCollidesWhereTheRobotDoesNot)
{
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, robot_));
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, rectangle(0.55, 0.15)));
}

TEST_F(FootprintSweepTest, AFootprintOfTwoPointsIsItsEdgeAndOfOnePointThatPoint)
{
  // The front edge of the robot, x 0.2, y -0.15 to 0.15: the front half of a rectangle.
  const std::vector<Point> front_edge{robot_[0], robot_[3]};
  EXPECT_TRUE(sweep_.isFree({3.0, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.1, front_edge));
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, front_edge));
  // The edge is in the inscribed cells at 5.9 and reaches the wall once the centre is at 5.8.
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.4, front_edge));
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.7, front_edge));
  // Facing +y the edge runs x 5.75-6.05 at y 2.7: it ends in the wall, so sliding it along the
  // wall covers new wall cells, while backing the edge's end out of the wall does not.
  const Pose2 across{5.9, 2.5, kHalfTurn};
  EXPECT_FALSE(sweep_.isFree(across, {0.3, 0.0, 0.0}, 1.0, front_edge));
  EXPECT_TRUE(sweep_.isFree(across, {0.0, 0.3, 0.0}, 1.0, front_edge));

  const std::vector<Point> nose{robot_[0]};
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.4, nose));
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.7, nose));

  EXPECT_FALSE(sweep_.isFree({3.0, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.1, {})) << "nothing to check";
}

TEST_F(FootprintSweepTest, InvalidNumbersAreNeverFree)
{
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  const Pose2 start{3.0, 2.5, 0.0};
  ASSERT_TRUE(free(start, {0.1, 0.0, 0.0}, 0.5));
  EXPECT_FALSE(free({nan, 2.5, 0.0}, {0.1, 0.0, 0.0}, 0.5));
  EXPECT_FALSE(free({3.0, 2.5, inf}, {0.1, 0.0, 0.0}, 0.5));
  EXPECT_FALSE(free(start, {0.1, nan, 0.0}, 0.5));
  EXPECT_FALSE(free(start, {0.1, 0.0, -inf}, 0.5));
  EXPECT_FALSE(free(start, {0.1, 0.0, 0.0}, nan));
  EXPECT_FALSE(free(start, {0.1, 0.0, 0.0}, inf));
  EXPECT_FALSE(free(start, {0.1, 0.0, 0.0}, -0.5));
  std::vector<Point> broken = robot_;
  broken[2].y = nan;
  EXPECT_FALSE(sweep_.isFree(start, {0.1, 0.0, 0.0}, 0.5, broken));
  // So long a sweep is refused rather than sampled.
  EXPECT_FALSE(free(start, {1e6, 0.0, 0.0}, 1.0));
}

TEST_F(FootprintSweepTest, LeavingTheMapIsACollision)
{
  EXPECT_FALSE(free({9.5, 2.5, 0.0}, {1.0, 0.0, 0.0}, 1.0));
  EXPECT_FALSE(free({0.1, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.0));    // rear already off the map
  EXPECT_FALSE(free({3.0, 4.8, 0.0}, {0.0, 0.5, 0.0}, 1.0));
  EXPECT_TRUE(free({3.0, 4.5, 0.0}, {0.0, 0.5, 0.0}, 0.5));     // up to y 4.9
}

TEST(FootprintSweepPoseTest, ConstantTwistFollowsTheExactArc)
{
  Pose2 pose = FootprintSweep::poseAt({0.0, 0.0, 0.0}, {1.0, 0.0, 1.0}, M_PI / 2);
  EXPECT_NEAR(pose.x, 1.0, 1e-12);
  EXPECT_NEAR(pose.y, 1.0, 1e-12);
  EXPECT_NEAR(pose.yaw, M_PI / 2, 1e-12);

  pose = FootprintSweep::poseAt({0.0, 0.0, 0.0}, {0.0, 1.0, 1.0}, M_PI);
  EXPECT_NEAR(pose.x, -2.0, 1e-12);
  EXPECT_NEAR(pose.y, 0.0, 1e-12);

  pose = FootprintSweep::poseAt({1.0, 2.0, M_PI / 2}, {0.5, -0.2, 0.0}, 2.0);
  EXPECT_NEAR(pose.x, 1.4, 1e-12);
  EXPECT_NEAR(pose.y, 3.0, 1e-12);
  EXPECT_NEAR(pose.yaw, M_PI / 2, 1e-12);

  // A turn too small for the arc formula still moves like the straight line.
  pose = FootprintSweep::poseAt({0.0, 0.0, 0.0}, {1.0, 0.0, 1e-9}, 1.0);
  EXPECT_NEAR(pose.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.y, 0.0, 1e-9);
}
