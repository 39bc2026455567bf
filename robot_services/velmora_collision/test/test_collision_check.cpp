#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "collision/collision_check.hpp"
#include "footprints.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

using Collision::CollisionCheck;

namespace
{
using footprints::rectangle;

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

geometry_msgs::msg::Pose pose(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose p;
  p.position.x = x;
  p.position.y = y;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  p.orientation = tf2::toMsg(q);
  return p;
}

geometry_msgs::msg::Twist twist(double vx, double vy, double wz)
{
  geometry_msgs::msg::Twist t;
  t.linear.x = vx;
  t.linear.y = vy;
  t.angular.z = wz;
  return t;
}

// The default warehouse with a 0.5 m x 0.4 m robot (padded to 0.52 x 0.42, inscribed radius
// 0.21 m). Aisle 1 runs between the shelf rows ending at y 3.4 and starting at y 5.4; inscribed
// cells reach down to y 5.2 under the upper row. Only the shelves are obstacles.
class CollisionCheckTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>(
      "collision_costmap",
      std::vector<rclcpp::Parameter>{
        rclcpp::Parameter("footprint", "[[0.25, 0.2], [-0.25, 0.2], [-0.25, -0.2], [0.25, -0.2]]"),
        rclcpp::Parameter("inflation_layer.inflation_radius", 0.55),
        rclcpp::Parameter("inflation_layer.cost_scaling_factor", 10.0)});
  }

  static void TearDownTestSuite() {grid_map_.reset();}

  static std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  CollisionCheck check_{grid_map_};
};

std::shared_ptr<velmora_nav2_gridmap::GridMapROS> CollisionCheckTest::grid_map_;
}  // namespace

TEST_F(CollisionCheckTest, DrivingIntoAShelfWithinDtCollidesStoppingShortDoesNot)
{
  const auto facing_shelf = pose(6.5, 4.4, M_PI / 2);
  EXPECT_TRUE(check_.isCollisionFreeDt(facing_shelf, twist(0.4, 0.0, 0.0), 0.5));
  EXPECT_FALSE(check_.isCollisionFreeDt(facing_shelf, twist(2.0, 0.0, 0.0), 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(facing_shelf, twist(2.0, 0.0, 0.0), 0.1));
  EXPECT_TRUE(check_.isCollisionFreeDt(facing_shelf, twist(-0.8, 0.0, 0.0), 0.5));
}

TEST_F(CollisionCheckTest, TurningNextToAShelfSweepsTheFront)
{
  // Heading +x the robot's side lies in the inscribed cells, 0.04 m short of the shelf; turned to
  // +y its front reaches into the shelf.
  const auto beside_shelf = pose(6.5, 5.15, 0.0);
  EXPECT_TRUE(check_.isCollisionFreeDt(beside_shelf, twist(0.0, 0.0, 0.0), 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(beside_shelf, twist(0.5, 0.0, 0.0), 1.0));
  EXPECT_FALSE(check_.isCollisionFreeDt(beside_shelf, twist(0.0, 0.0, M_PI / 2), 1.0));
  EXPECT_TRUE(check_.isCollisionFreeDt(pose(6.5, 4.4, 0.0), twist(0.0, 0.0, M_PI), 1.0));
}

TEST_F(CollisionCheckTest, SidewaysCommandsMoveAlongTheRobotsYAxis)
{
  const auto along_aisle = pose(6.5, 4.4, 0.0);
  EXPECT_FALSE(check_.isCollisionFreeDt(along_aisle, twist(0.0, 2.0, 0.0), 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(along_aisle, twist(0.0, 0.5, 0.0), 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(along_aisle, twist(1.0, 0.0, 0.0), 0.5));
  EXPECT_FALSE(check_.isCollisionFreeDt(pose(6.5, 4.4, M_PI), twist(0.0, -2.0, 0.0), 0.5));
}

TEST_F(CollisionCheckTest, GivenFootprintReplacesTheRobots)
{
  const auto facing_shelf = pose(6.5, 4.4, M_PI / 2);
  const auto cmd = twist(0.4, 0.0, 0.0);
  ASSERT_TRUE(check_.isCollisionFreeDt(facing_shelf, cmd, 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(facing_shelf, cmd, 0.5, rectangle(0.25, 0.2)));
  EXPECT_TRUE(check_.isCollisionFreeDt(facing_shelf, cmd, 0.5, rectangle(0.7, 0.3)))
    << "its front at y 5.3, in the inflation only";
  EXPECT_FALSE(check_.isCollisionFreeDt(facing_shelf, cmd, 0.5, rectangle(0.85, 0.3)));
  EXPECT_FALSE(check_.isCollisionFreeDt(facing_shelf, cmd, 0.5, {}));
}

TEST_F(CollisionCheckTest, ARobotFoundInsideAShelfMayBackOutButNotDriveOn)
{
  // After a pose jump the front is at y 5.46, in the shelf row.
  const auto in_the_shelf = pose(6.5, 5.2, M_PI / 2);
  EXPECT_TRUE(check_.isCollisionFreeDt(in_the_shelf, twist(0.0, 0.0, 0.0), 0.5));
  EXPECT_TRUE(check_.isCollisionFreeDt(in_the_shelf, twist(-0.3, 0.0, 0.0), 0.5));
  EXPECT_FALSE(check_.isCollisionFreeDt(in_the_shelf, twist(0.3, 0.0, 0.0), 0.5));
}

TEST_F(CollisionCheckTest, InvalidInputIsNotFree)
{
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  const auto start = pose(6.5, 4.4, 0.0);
  const auto cmd = twist(0.3, 0.0, 0.0);
  ASSERT_TRUE(check_.isCollisionFreeDt(start, cmd, 0.5));
  auto bad_pose = start;
  bad_pose.position.y = nan;
  EXPECT_FALSE(check_.isCollisionFreeDt(bad_pose, cmd, 0.5));
  bad_pose = start;
  bad_pose.orientation.w = inf;
  EXPECT_FALSE(check_.isCollisionFreeDt(bad_pose, cmd, 0.5));
  auto bad_cmd = cmd;
  bad_cmd.angular.z = nan;
  EXPECT_FALSE(check_.isCollisionFreeDt(start, bad_cmd, 0.5));
  bad_cmd = cmd;
  bad_cmd.linear.z = -inf;
  EXPECT_FALSE(check_.isCollisionFreeDt(start, bad_cmd, 0.5));
  EXPECT_FALSE(check_.isCollisionFreeDt(start, cmd, nan));
  EXPECT_FALSE(check_.isCollisionFreeDt(start, cmd, -0.5));
}

TEST_F(CollisionCheckTest, OffTheMapIsNotFree)
{
  EXPECT_FALSE(check_.isCollisionFreeDt(pose(25.0, 7.0, 0.0), twist(0.0, 0.0, 0.0), 0.5));
  EXPECT_FALSE(check_.isCollisionFreeDt(pose(-0.5, -0.5, 0.0), twist(0.0, 0.0, 0.0), 0.0));
}

TEST(CollisionCheckConstructionTest, NeedsAGridMapService)
{
  EXPECT_THROW(CollisionCheck(nullptr), std::invalid_argument);
}
