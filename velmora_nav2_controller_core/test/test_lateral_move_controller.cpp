// The lateral move controller on a real node and grid-map service (the controller-base suites'
// room, walled at x 3.0 m outside its corridor): arrival, turn and approach in map and base mode,
// the low-speed rule, the collision look-ahead, the transform check, refused goals, parameters,
// and closed-loop moves of the simulated robot. Commands are read where the robot receives them.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controller/lateral_move_controller.hpp"
#include "controller_base_fixture.hpp"
#include "velmora/testing/log_capture.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace
{

using controller_base_test::CallKind;
using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using Goal = velmora_nav2_protocol::action::Controller::Goal;

constexpr double kPi = 3.14159265358979323846;
constexpr double kEps = 1e-9;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

PoseStamped pose(double x, double y, double yaw)
{
  PoseStamped result;
  result.pose.position.x = x;
  result.pose.position.y = y;
  tf2::Quaternion rotation;
  rotation.setRPY(0.0, 0.0, yaw);
  result.pose.orientation.z = rotation.z();
  result.pose.orientation.w = rotation.w();
  return result;
}

std::shared_ptr<Goal> goal(
  const PoseStamped & first, const PoseStamped & last, bool relative = false)
{
  auto result = std::make_shared<Goal>();
  result->nav_path.header.frame_id = "map";
  result->nav_path.poses = {first, last};
  result->relative_to_base = relative;
  return result;
}

void expectTwist(const Twist & actual, double vx, double vy, double wz)
{
  EXPECT_NEAR(actual.linear.x, vx, kEps);
  EXPECT_NEAR(actual.linear.y, vy, kEps);
  EXPECT_NEAR(actual.angular.z, wz, kEps);
}

// Reaches the cycle's robot pose and command, for checks below the base's cycle.
class LateralProbe : public controller::LateralMoveController
{
public:
  using LateralMoveController::LateralMoveController;
  void setRobotPose(const PoseStamped & robot_pose) {robot_pose_ = robot_pose;}
  const Twist & command() const {return cmd_vel_;}
};

class LateralMoveControllerTest : public controller_base_test::ControllerBaseTest
{
protected:
  // Each controller on a node of its own, so that each sees its own parameter overrides.
  std::shared_ptr<LateralProbe> makeLateral(const std::vector<rclcpp::Parameter> & overrides = {})
  {
    nodes_.push_back(std::make_shared<rclcpp_lifecycle::LifecycleNode>(
        "velmora_nav2_controller", rclcpp::NodeOptions().parameter_overrides(overrides)));
    return std::make_shared<LateralProbe>(nodes_.back(), grid_map_);
  }

  void setOdometryPose(double x, double y, double yaw) {link_->setOdomPose(pose(x, y, yaw));}

  // One velocity cycle of the base: the command the robot received, or NaN when none was sent.
  Twist cycle(controller::LateralMoveController & controller)
  {
    link_->clear();
    controller.computeAndPublishVelocity();
    const auto sent = link_->velocities();
    return sent.empty() ? controller_base_test::twist(kNaN, kNaN, kNaN) : sent.back();
  }

  std::vector<std::shared_ptr<rclcpp_lifecycle::LifecycleNode>> nodes_;
};

TEST_F(LateralMoveControllerTest, MapModeArrivesTurnsInPlaceOrApproachesWithoutTurning)
{
  const auto controller = makeLateral();
  velmora::testing::LogCapture log;
  placeRobot(1.995, 1.995, 0.04);  // all three strict tests pass
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(2.0, 2.0, 0.0))));
  EXPECT_FALSE(controller->isGoalReached());
  EXPECT_TRUE(log.linesContaining("LateralMoveController isGoalReached").empty());
  EXPECT_EQ(cycle(*controller), Twist());
  EXPECT_TRUE(controller->isGoalReached());
  EXPECT_EQ(log.linesContaining("LateralMoveController reach pose is ").size(), 1u);
  EXPECT_EQ(log.linesContaining("LateralMoveController isGoalReached").size(), 1u);

  // In position with a heading error: a pure turn, limited to 0.3 rad/s.
  placeRobot(2.0, 2.0, 0.2);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(2.0, 2.0, 0.0))));
  expectTwist(cycle(*controller), 0.0, 0.0, -0.2);
  placeRobot(2.0, 2.0, 0.5);
  EXPECT_NEAR(cycle(*controller).angular.z, -0.3, kEps);
  placeRobot(2.0, 2.0, -2.0);
  EXPECT_NEAR(cycle(*controller).angular.z, 0.3, kEps);
  EXPECT_FALSE(controller->isGoalReached());

  // 1 m short along the map's x axis while facing +90 degrees: a move to the robot's right.
  placeRobot(1.0, 2.0, kPi / 2.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 2.0, 0.0), pose(2.0, 2.0, kPi / 2.0))));
  expectTwist(cycle(*controller), 0.0, -0.3, 0.0);

  // A diagonal target is approached along the diagonal, the heading error left for later.
  placeRobot(1.0, 1.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(1.3, 1.4, 1.0))));
  expectTwist(cycle(*controller), 0.255 * 0.6, 0.255 * 0.8, 0.0);

  // An error exactly on the tolerance is outside it.
  const auto strict = makeLateral({rclcpp::Parameter("x_tolerance", 0.25)});
  placeRobot(1.0, 2.0, 0.0);
  ASSERT_TRUE(strict->setPlan(goal(pose(1.0, 2.0, 0.0), pose(1.25, 2.0, 0.0))));
  EXPECT_GT(cycle(*strict).linear.x, 0.0);
  EXPECT_FALSE(strict->isGoalReached());
}

TEST_F(LateralMoveControllerTest, MapModeTakesTheTargetInThePathsFrame)
{
  const auto controller = makeLateral();
  setTransform("map", "odom", 1.0, 0.0, 0.0);
  placeRobot(2.0, 2.0, 0.0);
  auto in_odom = goal(pose(0.0, 0.0, 0.0), pose(1.0, 2.0, 0.0));
  in_odom->nav_path.header.frame_id = "odom";
  ASSERT_TRUE(controller->setPlan(in_odom));
  cycle(*controller);
  EXPECT_TRUE(controller->isGoalReached());

  in_odom->nav_path.header.frame_id = "nowhere";
  EXPECT_FALSE(controller->setPlan(in_odom));
}

TEST_F(LateralMoveControllerTest, BaseModeMovesByTheDisplacementFromTheStartOdometry)
{
  const auto controller = makeLateral();
  placeRobot(2.5, 1.0, 0.0);  // the map pose plays no part in a relative move
  setOdometryPose(1.0, 1.0, kPi / 2.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.5, 0.3), pose(7.0, 7.0, 0.0), true)));

  // Odometry target (0.5, 1.0): 0.5 m to the left of a robot facing +y.
  expectTwist(cycle(*controller), 0.0, 0.255, 0.0);

  // There, it turns by the displacement's heading, then ends the goal.
  placeRobot(0.5, 0.5, 2.0);
  setOdometryPose(0.5, 1.0, kPi / 2.0);
  expectTwist(cycle(*controller), 0.0, 0.0, 0.3);
  EXPECT_FALSE(controller->isGoalReached());
  setOdometryPose(0.5, 1.0, kPi / 2.0 + 0.3);
  EXPECT_EQ(cycle(*controller), Twist());
  EXPECT_TRUE(controller->isGoalReached());

  // A zero displacement is reached at once.
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.0, 0.0), pose(1.0, 0.0, 0.0), true)));
  EXPECT_FALSE(controller->isGoalReached());
  cycle(*controller);
  EXPECT_TRUE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, LowSpeedRuleSettlesThePositionButNotTheHeading)
{
  const auto controller = makeLateral({rclcpp::Parameter("vel_judge", true)});

  // 0.015 m off, outside the 0.01 m tolerances: the command 0.51 * 0.015 is below 0.01 m/s.
  placeRobot(1.985, 2.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 2.0, 0.0), pose(2.0, 2.0, 0.0))));
  EXPECT_NEAR(cycle(*controller).linear.x, 0.00765, kEps);
  EXPECT_TRUE(controller->isGoalReached());

  // With a heading error the position stays settled and the robot turns before arriving.
  placeRobot(1.985, 2.0, 0.2);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 2.0, 0.0), pose(2.0, 2.0, 0.0))));
  EXPECT_NEAR(cycle(*controller).linear.x, 0.00765 * std::cos(0.2), kEps);
  EXPECT_FALSE(controller->isGoalReached());
  expectTwist(cycle(*controller), 0.0, 0.0, -0.2);
  placeRobot(1.985, 2.0, 0.0);
  cycle(*controller);
  EXPECT_TRUE(controller->isGoalReached());

  // A turn in place is no crawl: in base mode it does not end the goal either.
  setOdometryPose(0.0, 0.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.0, 0.4), pose(0.0, 0.0, 0.0), true)));
  EXPECT_NEAR(cycle(*controller).angular.z, 0.3, kEps);
  EXPECT_FALSE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, CollisionLookAheadRefusesMovesIntoTheWall)
{
  // 2 m/s, so that 0.1 s and 0.5 s of travel differ by 0.8 m. The round robot (0.11 m) collides
  // once it reaches the wall at x 3.0; the inflated cells before it are no obstacle.
  const auto controller =
    makeLateral({rclcpp::Parameter("x_kp", 2.0), rclcpp::Parameter("max_vel", 2.0)});
  placeRobot(2.75, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(4.5, 3.0, 0.0))));
  EXPECT_FALSE(controller->computeAndPublishVelocity());
  EXPECT_EQ(link_->count(CallKind::velocity) + link_->count(CallKind::zero_velocity), 0u);

  // Clear for 0.1 s but not for the cycle's 0.5 s: the robot is stopped instead.
  velmora::testing::LogCapture log;
  placeRobot(2.2, 3.0, 0.0);
  EXPECT_TRUE(std::isnan(cycle(*controller).linear.x));
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 1u);
  EXPECT_EQ(log.linesContaining("!!!!! LateralMoveController isCollisionFree").size(), 1u);

  placeRobot(1.0, 1.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(2.0, 1.0, 0.0))));
  EXPECT_NEAR(cycle(*controller).linear.x, 2.0, kEps);

  // Standing still cannot collide: arriving where the robot already touches the inscribed
  // cells ends the goal instead of failing it.
  placeRobot(2.85, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(2.85, 3.0, 0.0))));
  EXPECT_EQ(cycle(*controller), Twist());
  EXPECT_TRUE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, MissingMapToBaseTransformFailsTheApproachWithItsCode)
{
  // The transform lasts until the goal is set, as a sample that a clear of the buffer removes.
  const auto controller = makeLateral();
  const auto tf = grid_map_->getCostmapROS()->getTfBuffer();
  geometry_msgs::msg::TransformStamped robot;
  robot.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  robot.header.frame_id = "map";
  robot.child_frame_id = "base_footprint";
  robot.transform.translation.x = 1.0;
  ASSERT_TRUE(tf->setTransform(robot, "test"));
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 0.0, 0.0), pose(2.0, 2.0, 0.0))));
  tf->clear();

  controller->setRobotPose(pose(1.0, 0.0, 0.0));
  velmora::testing::LogCapture log;
  EXPECT_FALSE(controller->computeVelocity());
  EXPECT_EQ(controller->command(), Twist());
  const auto statements = log.statements();
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].level, spdlog::level::err);
  EXPECT_EQ(statements[0].function, "computeVelocityFromMap");
  EXPECT_NE(
    statements[0].text.find(
      "Align controller cannot redefine goal since no transform is available"),
    std::string::npos);
  EXPECT_NE(statements[0].text.find("error code is 101100016"), std::string::npos);
  EXPECT_EQ(link_->count(CallKind::error_code), 0u);  // logged, never sent

  // Turning in place needs no transform.
  controller->setRobotPose(pose(2.0, 2.0, 0.2));
  EXPECT_TRUE(controller->computeVelocity());
  EXPECT_NEAR(controller->command().angular.z, -0.2, kEps);
}

TEST_F(LateralMoveControllerTest, RefusesGoalsItCannotDriveTo)
{
  const auto controller = makeLateral();
  EXPECT_FALSE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(1.0, 1.0, 0.0))));  // no pose

  placeRobot(1.0, 1.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(1.0, 1.0, 0.0))));
  cycle(*controller);
  ASSERT_TRUE(controller->isGoalReached());
  auto short_path = goal(pose(1.0, 1.0, 0.0), pose(1.0, 1.0, 0.0));
  short_path->nav_path.poses.pop_back();
  EXPECT_FALSE(controller->setPlan(short_path));
  EXPECT_FALSE(controller->isGoalReached());  // a refused goal still ends the previous one
  short_path->nav_path.poses.clear();
  EXPECT_FALSE(controller->setPlan(short_path));
  EXPECT_FALSE(controller->setPlan(nullptr));
  EXPECT_FALSE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(kNaN, 1.0, 0.0))));
  EXPECT_FALSE(controller->setPlan(goal(pose(1.0, kNaN, 0.0), pose(1.0, 1.0, 0.0), true)));
  setOdometryPose(kNaN, 0.0, 0.0);
  EXPECT_FALSE(controller->setPlan(goal(pose(0.0, 0.0, 0.0), pose(0.0, 0.0, 0.0), true)));

  // A pose that turns non-finite during a goal yields no command rather than a NaN one.
  setOdometryPose(0.0, 0.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 0.0, 0.0), pose(0.0, 0.0, 0.0), true)));
  setOdometryPose(0.0, kNaN, 0.0);
  EXPECT_TRUE(std::isnan(cycle(*controller).linear.x));
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 0u);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 0.0, 0.0), pose(2.0, 2.0, 0.0))));
  controller->setRobotPose(pose(kNaN, 1.0, 0.0));
  EXPECT_FALSE(controller->computeVelocity());
}

TEST_F(LateralMoveControllerTest, ParametersAreDeclaredOnceAndUnusableValuesAreRefused)
{
  makeLateral({rclcpp::Parameter("max_vel", 0.2)});
  const auto node = nodes_.back();
  EXPECT_DOUBLE_EQ(node->get_parameter("max_vel").as_double(), 0.2);
  EXPECT_DOUBLE_EQ(node->get_parameter("x_kp").as_double(), 0.5);
  EXPECT_FALSE(node->get_parameter("vel_judge").as_bool());

  // A second controller on the node finds them there and drives with them.
  const auto second = std::make_shared<LateralProbe>(node, grid_map_);
  placeRobot(1.0, 2.0, 0.0);
  ASSERT_TRUE(second->setPlan(goal(pose(1.0, 2.0, 0.0), pose(2.0, 2.0, 0.0))));
  EXPECT_NEAR(cycle(*second).linear.x, 0.2, kEps);

  for (const auto & bad : {rclcpp::Parameter("x_tolerance", 0.0),
      rclcpp::Parameter("max_vel", -0.3), rclcpp::Parameter("z_kp", kNaN),
      rclcpp::Parameter("min_vel_tolerance", -0.01)})
  {
    EXPECT_THROW(makeLateral({bad}), rclcpp::exceptions::InvalidParameterValueException)
      << bad.get_name();
  }
}

// Closed loop on the simulated robot, stepped in simulated time: its odometry answers the
// communicator, its map pose is handed to the transforms after every step.
TEST_F(LateralMoveControllerTest, DrivesTheSimulatedRobotToTheTargetInBothModes)
{
  const auto controller = makeLateral();
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = {1.0, 2.0, 0.3};
  options.frames = {"sim_map", "sim_odom", "sim_base"};  // apart from the test's transforms
  auto robot = std::make_shared<velmora_sim_robot::SimRobot>(
    std::make_shared<rclcpp::Node>("lateral_sim_robot"), options);
  velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(robot);
  const auto drive = [&] {
      for (int cycles = 0; cycles < 2000; ++cycles) {
        const auto where = robot->mapPose();
        placeRobot(where.x, where.y, where.yaw);
        if (!controller->computeAndPublishVelocity()) {
          return false;
        }
        if (controller->isGoalReached()) {
          controller->stopRobot();
          return true;
        }
        robot->step(0.05);
      }
      return false;
    };

  placeRobot(1.0, 2.0, 0.3);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 2.0, 0.3), pose(2.0, 1.4, -0.2))));
  ASSERT_TRUE(drive());
  const auto start = robot->mapPose();
  EXPECT_NEAR(start.x, 2.0, 0.01);
  EXPECT_NEAR(start.y, 1.4, 0.01);
  EXPECT_NEAR(start.yaw, -0.2, 0.05);

  // Half a metre to the robot's left, turning by 0.4 rad. The odometry frame is the map frame
  // turned by 0.3 rad, so the 0.01 m odometry tolerances allow 0.015 m in the map.
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.5, 0.4), pose(0.0, 0.0, 0.0), true)));
  ASSERT_TRUE(drive());
  const auto end = robot->mapPose();
  EXPECT_NEAR(end.x, start.x - 0.5 * std::sin(start.yaw), 0.015);
  EXPECT_NEAR(end.y, start.y + 0.5 * std::cos(start.yaw), 0.015);
  EXPECT_NEAR(end.yaw, start.yaw + 0.4, 0.05);
}

}  // namespace
