#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "collision/footprint_sweep.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/inflation_layer.hpp"

using Collision::FootprintSweep;
using Collision::Pose2;
using Collision::Velocity2;
using geometry_msgs::msg::Point;

namespace
{
constexpr double kHalfTurn = 1.5707963267948966;

std::vector<Point> rectangle(double half_length, double half_width)
{
  std::vector<Point> points(4);
  const double xs[] = {half_length, -half_length, -half_length, half_length};
  const double ys[] = {half_width, half_width, -half_width, -half_width};
  for (int i = 0; i < 4; ++i) {
    points[i].x = xs[i];
    points[i].y = ys[i];
  }
  return points;
}

// 10 m x 5 m of 0.05 m cells with a wall x 6.0-6.2 across it, inflated for a robot of inscribed
// radius 0.16 m: inscribed cells reach 0.15 m in front of the wall (from x 5.85).
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

  nav2_costmap_2d::Costmap2D costmap_;
  FootprintSweep sweep_;
  const std::vector<Point> robot_ = rectangle(0.2, 0.15);
};
}  // namespace

TEST_F(FootprintSweepTest, StraightIntoTheWallWithinDtIsACollision)
{
  EXPECT_FALSE(free({5.0, 2.5, 0.0}, {1.0, 0.0, 0.0}, 1.0));    // front would reach 6.2
  EXPECT_FALSE(free({5.0, 2.5, 0.0}, {0.7, 0.0, 0.0}, 1.0));    // 5.9: inscribed cells only
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0));     // stops short at 5.7
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {1.0, 0.0, 0.0}, 0.5));     // same command, shorter look-ahead
  EXPECT_TRUE(free({5.0, 2.5, 0.0}, {-1.0, 0.0, 0.0}, 1.0));    // reversing away from it
  EXPECT_FALSE(free({7.0, 2.5, M_PI}, {1.2, 0.0, 0.0}, 1.0));   // from the far side
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
}

TEST_F(FootprintSweepTest, TurningSweepsTheCornersEvenWhenBothEndsAreFree)
{
  // Facing +y the robot spans x 5.47-5.77, facing +x 5.42-5.82; half-way its corner reaches 5.87.
  const Pose2 start{5.62, 2.5, M_PI / 2};
  EXPECT_TRUE(free(start, {0.0, 0.0, 0.0}, 1.0));
  EXPECT_TRUE(free({5.62, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.0));
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
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, rectangle(0.4, 0.15)));
}

TEST_F(FootprintSweepTest, AFootprintOfTwoPointsIsItsEdgeAndOfOnePointThatPoint)
{
  // The front edge of the robot, x 0.2, y -0.15 to 0.15: the front half of a rectangle.
  const std::vector<Point> front_edge{robot_[0], robot_[3]};
  EXPECT_TRUE(sweep_.isFree({3.0, 2.5, 0.0}, {0.0, 0.0, 0.0}, 0.1, front_edge));
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, front_edge));
  // The edge reaches the inscribed cells from x 5.85 once the centre is at 5.65.
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.4, front_edge));
  // Turned to face along the wall, the edge lies across it.
  EXPECT_FALSE(sweep_.isFree({5.9, 2.5, kHalfTurn}, {0.0, 0.0, 0.0}, 0.0, front_edge));

  const std::vector<Point> nose{robot_[0]};
  EXPECT_TRUE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.0, nose));
  EXPECT_FALSE(sweep_.isFree({5.0, 2.5, 0.0}, {0.5, 0.0, 0.0}, 1.4, nose));

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
