// The lateral move controller on a real lifecycle node and grid-map service: its arrival, turn
// and approach rules in map and base mode, the low-speed arrival rule, the collision look-ahead,
// the transform check, the goals it refuses, its parameters, and closed-loop moves on the
// simulated robot. Commands are read where the robot receives them, from a recording link.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controller/lateral_move_controller.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "velmora/testing/log_capture.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_communicator/recording_robot_link.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace
{

using Goal = velmora_nav2_protocol::action::Controller::Goal;
using velmora_communicator::CallKind;
using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;

constexpr double kPi = 3.14159265358979323846;
constexpr double kEps = 1e-9;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class RclcppEnvironment : public ::testing::Environment
{
public:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}
};
const auto * const kRclcppEnvironment =
  ::testing::AddGlobalTestEnvironment(new RclcppEnvironment);

// An 8 m x 6 m room at 0.1 m with walls around it and one obstacle block at x 5.0..5.5 m,
// y 2.0..4.0 m, written as a map-server map for the grid-map service.
class TestMap
{
public:
  TestMap()
  : directory_(std::filesystem::temp_directory_path() /
      ("velmora_lateral_move_test_" + std::to_string(::getpid())))
  {
    std::filesystem::create_directories(directory_);
    constexpr int kWidth = 80;
    constexpr int kHeight = 60;
    std::ofstream image(directory_ / "map.pgm");
    image << "P2\n" << kWidth << ' ' << kHeight << "\n255\n";
    for (int row = kHeight - 1; row >= 0; --row) {  // the image starts with the top row
      for (int column = 0; column < kWidth; ++column) {
        const bool wall = column == 0 || row == 0 || column == kWidth - 1 || row == kHeight - 1;
        const bool block = column >= 50 && column < 55 && row >= 20 && row < 40;
        image << (wall || block ? 0 : 254) << ' ';
      }
      image << '\n';
    }
    std::ofstream yaml(yamlPath());
    yaml << "image: map.pgm\nresolution: 0.1\norigin: [0.0, 0.0, 0.0]\n"
         << "occupied_thresh: 0.65\nfree_thresh: 0.196\nnegate: 0\n";
  }

  ~TestMap() {std::filesystem::remove_all(directory_);}

  std::string yamlPath() const {return (directory_ / "map.yaml").string();}

private:
  std::filesystem::path directory_;
};

PoseStamped pose(double x, double y, double yaw, const std::string & frame = "")
{
  PoseStamped result;
  result.header.frame_id = frame;
  result.pose.position.x = x;
  result.pose.position.y = y;
  tf2::Quaternion rotation;
  rotation.setRPY(0.0, 0.0, yaw);
  result.pose.orientation.x = rotation.x();
  result.pose.orientation.y = rotation.y();
  result.pose.orientation.z = rotation.z();
  result.pose.orientation.w = rotation.w();
  return result;
}

// A goal whose path runs from `first` to `last`.
std::shared_ptr<Goal> goal(
  const PoseStamped & first, const PoseStamped & last, bool relative_to_base = false)
{
  auto result = std::make_shared<Goal>();
  result->nav_path.header.frame_id = "map";
  result->nav_path.poses = {first, last};
  result->relative_to_base = relative_to_base;
  result->controller_id = "lateral_move_controller";
  return result;
}

// Reaches the command and robot pose of the cycle, for the checks that bypass the base's cycle.
class LateralProbe : public controller::LateralMoveController
{
public:
  using LateralMoveController::LateralMoveController;
  void setRobotPose(const PoseStamped & robot_pose) {robot_pose_ = robot_pose;}
  const Twist & command() const {return cmd_vel_;}
};

class LateralMoveControllerTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    map_ = std::make_unique<TestMap>();
    // A 0.4 m square robot; the collision sweep treats inscribed cells (within 0.2 m of the
    // block) as collisions.
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>(
      "lateral_test_costmap", std::vector<rclcpp::Parameter>{
        rclcpp::Parameter("yaml_filename", map_->yamlPath()),
        rclcpp::Parameter("footprint", "[[0.2, 0.2], [0.2, -0.2], [-0.2, -0.2], [-0.2, 0.2]]"),
        rclcpp::Parameter("footprint_padding", 0.0)});
  }

  static void TearDownTestSuite()
  {
    grid_map_.reset();
    map_.reset();
  }

  void SetUp() override
  {
    grid_map_->getCostmapROS()->getTfBuffer()->clear();
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(link_);
  }

  void TearDown() override {velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();}

  std::shared_ptr<LateralProbe> makeController(
    const std::vector<rclcpp::Parameter> & overrides = {})
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "velmora_nav2_controller", rclcpp::NodeOptions().parameter_overrides(overrides));
    nodes_.push_back(node_);  // outlive every controller made on them
    return std::make_shared<LateralProbe>(node_, grid_map_);
  }

  // Puts the robot at (x, y, yaw) in the map, as the newest map -> base_footprint transform.
  void placeRobot(double x, double y, double yaw)
  {
    setTransform("map", "base_footprint", x, y, yaw);
  }

  void setTransform(
    const std::string & parent, const std::string & child, double x, double y, double yaw)
  {
    const PoseStamped where = pose(x, y, yaw);
    geometry_msgs::msg::TransformStamped transform;
    // Each transform is newer than the one before, so the latest lookup always finds it.
    stamp_ += std::chrono::milliseconds(1);
    const auto since_epoch =
      std::chrono::duration_cast<std::chrono::nanoseconds>(stamp_.time_since_epoch()).count();
    transform.header.stamp.sec = static_cast<int32_t>(since_epoch / 1000000000);
    transform.header.stamp.nanosec = static_cast<uint32_t>(since_epoch % 1000000000);
    transform.header.frame_id = parent;
    transform.child_frame_id = child;
    transform.transform.translation.x = x;
    transform.transform.translation.y = y;
    transform.transform.rotation = where.pose.orientation;
    ASSERT_TRUE(grid_map_->getCostmapROS()->getTfBuffer()->setTransform(transform, "test"));
  }

  void setOdometryPose(double x, double y, double yaw)
  {
    link_->setOdomPose(pose(x, y, yaw, "odom"));
  }

  // One velocity cycle of the base; the command the robot received in it, if any.
  bool cycle(controller::LateralMoveController & controller, Twist & sent)
  {
    link_->clear();
    const bool ok = controller.computeAndPublishVelocity();
    const auto velocities = link_->velocities();
    if (!velocities.empty()) {
      sent = velocities.back();
    }
    return ok && !velocities.empty();
  }

  static std::unique_ptr<TestMap> map_;
  static std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::vector<std::shared_ptr<rclcpp_lifecycle::LifecycleNode>> nodes_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<velmora_communicator::RecordingRobotLink> link_ =
    std::make_shared<velmora_communicator::RecordingRobotLink>();
  std::chrono::system_clock::time_point stamp_ = std::chrono::system_clock::now();
};

std::unique_ptr<TestMap> LateralMoveControllerTest::map_;
std::shared_ptr<velmora_nav2_gridmap::GridMapROS> LateralMoveControllerTest::grid_map_;

TEST_F(LateralMoveControllerTest, MapModeArrivesOnlyWhenPositionAndHeadingAreStrictlyWithin)
{
  const auto controller = makeController();
  velmora::testing::LogCapture log;
  placeRobot(2.995, 2.995, 0.04);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 1.0, 0.0), pose(3.0, 3.0, 0.0))));
  EXPECT_FALSE(controller->isGoalReached());
  EXPECT_TRUE(log.linesContaining("LateralMoveController isGoalReached").empty());

  Twist sent;
  sent.linear.x = 1.0;
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_EQ(sent, Twist());
  EXPECT_TRUE(controller->isGoalReached());
  EXPECT_EQ(log.linesContaining("LateralMoveController reach pose is ").size(), 1u);
  EXPECT_EQ(log.linesContaining("LateralMoveController isGoalReached").size(), 1u);

  // A position error exactly on the tolerance is outside it.
  const auto strict = makeController({rclcpp::Parameter("x_tolerance", 0.25)});
  placeRobot(2.0, 3.0, 0.0);
  ASSERT_TRUE(strict->setPlan(goal(pose(2.0, 3.0, 0.0), pose(2.25, 3.0, 0.0))));
  ASSERT_TRUE(cycle(*strict, sent));
  EXPECT_GT(sent.linear.x, 0.0);
  EXPECT_FALSE(strict->isGoalReached());
}

TEST_F(LateralMoveControllerTest, MapModeTurnsInPlaceOnceThePositionIsWithinTolerance)
{
  const auto controller = makeController();
  const auto target = goal(pose(1.0, 1.0, 0.0), pose(3.0, 3.0, 0.0));
  Twist sent;

  placeRobot(3.0, 3.0, 0.2);
  ASSERT_TRUE(controller->setPlan(target));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, -0.2, kEps);
  EXPECT_DOUBLE_EQ(sent.linear.x, 0.0);
  EXPECT_DOUBLE_EQ(sent.linear.y, 0.0);
  EXPECT_FALSE(controller->isGoalReached());

  // The turn rate is limited to 0.3 rad/s whatever the error.
  placeRobot(3.0, 3.0, 0.5);
  ASSERT_TRUE(controller->setPlan(target));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, -0.3, kEps);
  placeRobot(3.0, 3.0, -2.0);
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, 0.3, kEps);
}

TEST_F(LateralMoveControllerTest, MapModeApproachesInTheRobotFrameWithoutTurning)
{
  const auto controller = makeController();
  Twist sent;

  // 1 m short along the map's x axis while facing +90 degrees: a move to the robot's right.
  placeRobot(2.0, 3.0, kPi / 2.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, kPi / 2.0), pose(3.0, 3.0, kPi / 2.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.linear.x, 0.0, kEps);
  EXPECT_NEAR(sent.linear.y, -0.3, kEps);
  EXPECT_DOUBLE_EQ(sent.angular.z, 0.0);

  // A heading error does not turn the robot while the position is still off; a diagonal target
  // is approached along the diagonal at the distance law's speed.
  placeRobot(2.0, 2.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 2.0, 0.0), pose(2.3, 2.4, 1.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  const double speed = 0.5 * 0.5 + 0.01 * 0.5;
  EXPECT_NEAR(sent.linear.x, speed * 0.6, kEps);
  EXPECT_NEAR(sent.linear.y, speed * 0.8, kEps);
  EXPECT_DOUBLE_EQ(sent.angular.z, 0.0);
}

TEST_F(LateralMoveControllerTest, MapModeTakesTheTargetInThePathsFrame)
{
  const auto controller = makeController();
  setTransform("map", "odom", 1.0, 0.0, 0.0);
  placeRobot(3.0, 3.0, 0.0);
  auto in_odom = goal(pose(0.0, 0.0, 0.0), pose(2.0, 3.0, 0.0));
  in_odom->nav_path.header.frame_id = "odom";
  ASSERT_TRUE(controller->setPlan(in_odom));
  Twist sent;
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_TRUE(controller->isGoalReached());

  // A frame the transforms do not know refuses the goal.
  in_odom->nav_path.header.frame_id = "nowhere";
  EXPECT_FALSE(controller->setPlan(in_odom));
}

TEST_F(LateralMoveControllerTest, BaseModeMovesByTheDisplacementFromTheStartOdometry)
{
  const auto controller = makeController();
  placeRobot(4.0, 1.0, 0.0);  // the map pose plays no part in a relative move
  setOdometryPose(1.0, 1.0, kPi / 2.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.5, 0.3), pose(7.0, 7.0, 0.0), true)));

  // Odometry target (0.5, 1.0): to the left of a robot facing +y, 0.5 m away.
  Twist sent;
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.linear.x, 0.0, kEps);
  EXPECT_NEAR(sent.linear.y, 0.5 * 0.5 + 0.01 * 0.5, kEps);

  // Moving the robot in the map changes nothing; reaching the target on odometry turns it by the
  // displacement's heading, then ends the goal.
  placeRobot(0.5, 0.5, 2.0);
  setOdometryPose(0.5, 1.0, kPi / 2.0);
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, 0.3, kEps);
  EXPECT_DOUBLE_EQ(sent.linear.x, 0.0);
  EXPECT_FALSE(controller->isGoalReached());

  setOdometryPose(0.5, 1.0, kPi / 2.0 + 0.3);
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_EQ(sent, Twist());
  EXPECT_TRUE(controller->isGoalReached());

  // The target is fixed when the goal starts: a new goal measures from the odometry pose then.
  setOdometryPose(0.0, 0.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.0, 0.0), pose(1.0, 0.0, 0.0), true)));
  EXPECT_FALSE(controller->isGoalReached());
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_TRUE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, LowSpeedRuleSettlesThePositionButNotTheHeading)
{
  const auto controller = makeController({rclcpp::Parameter("vel_judge", true)});
  Twist sent;

  // 0.015 m off, outside the 0.01 m tolerances: the command 0.51 * 0.015 is below 0.01 m/s.
  placeRobot(2.985, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(3.0, 3.0, 0.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.linear.x, 0.51 * 0.015, kEps);
  EXPECT_TRUE(controller->isGoalReached());

  // With a heading error the goal goes on: the position stays settled and the robot turns.
  placeRobot(2.985, 3.0, 0.2);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(3.0, 3.0, 0.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.linear.x, 0.51 * 0.015 * std::cos(0.2), kEps);
  EXPECT_NEAR(sent.linear.y, -0.51 * 0.015 * std::sin(0.2), kEps);
  EXPECT_FALSE(controller->isGoalReached());
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, -0.2, kEps);
  EXPECT_DOUBLE_EQ(sent.linear.x, 0.0);
  placeRobot(2.985, 3.0, 0.0);
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_TRUE(controller->isGoalReached());

  // A turn in place is no crawl: in base mode it does not end the goal either.
  setOdometryPose(0.0, 0.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.0, 0.4), pose(0.0, 0.0, 0.0), true)));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_NEAR(sent.angular.z, 0.3, kEps);
  EXPECT_FALSE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, CollisionLookAheadRefusesMovesIntoTheObstacle)
{
  // Fast enough that 0.1 s and 0.5 s of travel differ by decimetres: 2 m/s.
  const auto controller =
    makeController({rclcpp::Parameter("x_kp", 2.0), rclcpp::Parameter("max_vel", 2.0)});
  const auto behind_block = goal(pose(4.0, 3.0, 0.0), pose(6.5, 3.0, 0.0));
  Twist sent;

  // The block's inscribed zone starts at x 4.8; the front edge at 4.65 reaches it within 0.1 s.
  placeRobot(4.45, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(behind_block));
  EXPECT_FALSE(controller->computeAndPublishVelocity());
  EXPECT_EQ(link_->count(CallKind::velocity), 0u);
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 0u);

  // From a front edge at 4.2 the 0.1 s look-ahead is clear but the cycle's 0.5 s one is not: the
  // robot is stopped instead of being sent the command.
  velmora::testing::LogCapture log;
  placeRobot(4.0, 3.0, 0.0);
  link_->clear();
  EXPECT_FALSE(controller->computeAndPublishVelocity());
  EXPECT_EQ(link_->count(CallKind::velocity), 0u);
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 1u);
  EXPECT_EQ(log.linesContaining("!!!!! LateralMoveController isCollisionFree").size(), 1u);

  // Away from the block the same move is sent.
  placeRobot(2.0, 1.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 1.0, 0.0), pose(3.0, 1.0, 0.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_GT(sent.linear.x, 0.0);

  // Standing still is always safe: arriving where the footprint already touches the inscribed
  // zone ends the goal instead of failing it.
  placeRobot(4.7, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(4.0, 3.0, 0.0), pose(4.7, 3.0, 0.0))));
  ASSERT_TRUE(cycle(*controller, sent));
  EXPECT_EQ(sent, Twist());
  EXPECT_TRUE(controller->isGoalReached());
}

TEST_F(LateralMoveControllerTest, MissingMapToBaseTransformFailsTheApproachWithItsCode)
{
  const auto controller = makeController();
  placeRobot(2.0, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(3.0, 3.0, 0.0))));
  controller->setRobotPose(pose(2.0, 3.0, 0.0, "map"));
  grid_map_->getCostmapROS()->getTfBuffer()->clear();

  velmora::testing::LogCapture log;
  EXPECT_FALSE(controller->computeVelocity());
  EXPECT_EQ(controller->command(), Twist());
  const auto lines = log.linesContaining("error code is 101100016");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(
    lines.front().find("Align controller cannot redefine goal since no transform is available"),
    std::string::npos);
  const auto statements = log.statements();
  for (const auto & statement : statements) {
    if (statement.text.find("101100016") != std::string::npos) {
      EXPECT_EQ(statement.level, spdlog::level::err);
      EXPECT_EQ(statement.function, "computeVelocityFromMap");
    }
  }
  EXPECT_EQ(link_->count(CallKind::error_code), 0u);  // only logged, never sent

  // Arrival and turning in place need no transform.
  controller->setRobotPose(pose(3.0, 3.0, 0.2, "map"));
  EXPECT_TRUE(controller->computeVelocity());
  EXPECT_NEAR(controller->command().angular.z, -0.2, kEps);
}

TEST_F(LateralMoveControllerTest, RefusesGoalsItCannotDriveTo)
{
  const auto controller = makeController();
  const auto good = goal(pose(2.0, 3.0, 0.0), pose(2.0, 3.0, 0.0));

  // No robot pose yet.
  EXPECT_FALSE(controller->setPlan(good));

  placeRobot(2.0, 3.0, 0.0);
  ASSERT_TRUE(controller->setPlan(good));
  Twist sent;
  ASSERT_TRUE(cycle(*controller, sent));
  ASSERT_TRUE(controller->isGoalReached());

  auto one_pose = goal(pose(2.0, 3.0, 0.0), pose(2.0, 3.0, 0.0));
  one_pose->nav_path.poses.pop_back();
  EXPECT_FALSE(controller->setPlan(one_pose));
  EXPECT_FALSE(controller->isGoalReached());  // a refused goal clears the previous arrival
  one_pose->nav_path.poses.clear();
  EXPECT_FALSE(controller->setPlan(one_pose));
  EXPECT_FALSE(controller->setPlan(nullptr));
  EXPECT_FALSE(controller->setPlan(goal(pose(2.0, 3.0, 0.0), pose(kNaN, 3.0, 0.0))));
  EXPECT_FALSE(controller->setPlan(goal(pose(2.0, kNaN, 0.0), pose(2.0, 3.0, 0.0), true)));
  setOdometryPose(kNaN, 0.0, 0.0);
  EXPECT_FALSE(controller->setPlan(goal(pose(0.0, 0.0, 0.0), pose(0.0, 0.0, 0.0), true)));

  // A pose that turns non-finite during a goal yields no command rather than a NaN one.
  setOdometryPose(0.0, 0.0, 0.0);
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 0.0, 0.0), pose(0.0, 0.0, 0.0), true)));
  setOdometryPose(0.0, kNaN, 0.0);
  EXPECT_FALSE(controller->computeAndPublishVelocity());
  ASSERT_TRUE(controller->setPlan(goal(pose(1.0, 0.0, 0.0), pose(3.0, 3.0, 0.0))));
  controller->setRobotPose(pose(kNaN, 3.0, 0.0, "map"));
  EXPECT_FALSE(controller->computeVelocity());
  EXPECT_EQ(link_->count(CallKind::velocity), 1u);  // only the arrival's stop above
}

TEST_F(LateralMoveControllerTest, ParametersAreDeclaredOnceAndUnusableValuesAreRefused)
{
  const auto controller = makeController({rclcpp::Parameter("max_vel", 0.2)});
  double max_vel = 0.0;
  double x_kp = 0.0;
  bool vel_judge = true;
  ASSERT_TRUE(node_->get_parameter("max_vel", max_vel));
  ASSERT_TRUE(node_->get_parameter("x_kp", x_kp));
  ASSERT_TRUE(node_->get_parameter("vel_judge", vel_judge));
  EXPECT_DOUBLE_EQ(max_vel, 0.2);
  EXPECT_DOUBLE_EQ(x_kp, 0.5);
  EXPECT_FALSE(vel_judge);

  // A second controller on the same node finds the parameters already there.
  const auto second = std::make_shared<LateralProbe>(node_, grid_map_);
  placeRobot(2.0, 3.0, 0.0);
  ASSERT_TRUE(second->setPlan(goal(pose(2.0, 3.0, 0.0), pose(3.0, 3.0, 0.0))));
  Twist sent;
  ASSERT_TRUE(cycle(*second, sent));
  EXPECT_NEAR(sent.linear.x, 0.2, kEps);

  for (const auto & bad : {rclcpp::Parameter("x_tolerance", 0.0),
      rclcpp::Parameter("max_vel", -0.3), rclcpp::Parameter("z_kp", kNaN),
      rclcpp::Parameter("min_vel_tolerance", -0.01)})
  {
    EXPECT_THROW(makeController({bad}), rclcpp::exceptions::InvalidParameterValueException)
      << bad.get_name();
  }
}

// Closed loop on the simulated robot, stepped in simulated time: its odometry answers the
// communicator, and its map pose is handed to the transforms after every step.
TEST_F(LateralMoveControllerTest, DrivesTheSimulatedRobotToTheTargetInBothModes)
{
  const auto controller = makeController();
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = {2.0, 2.0, 0.3};
  options.frames = {"sim_map", "sim_odom", "sim_base"};  // kept apart from the test's transforms
  auto robot = std::make_shared<velmora_sim_robot::SimRobot>(
    std::make_shared<rclcpp::Node>("lateral_sim_robot"), options);
  velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(robot);

  const auto drive = [&](int max_cycles) {
      for (int cycle = 0; cycle < max_cycles; ++cycle) {
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

  placeRobot(2.0, 2.0, 0.3);
  ASSERT_TRUE(controller->setPlan(goal(pose(2.0, 2.0, 0.3), pose(3.0, 1.4, -0.2))));
  ASSERT_TRUE(drive(2000));
  auto end = robot->mapPose();
  EXPECT_NEAR(end.x, 3.0, 0.01);
  EXPECT_NEAR(end.y, 1.4, 0.01);
  EXPECT_NEAR(end.yaw, -0.2, 0.05);

  // Half a metre to the robot's left, turning by 0.4 rad. The odometry frame is the map frame
  // turned by the start heading, so the 0.01 m odometry tolerances allow 0.015 m in the map.
  const auto start = robot->mapPose();
  ASSERT_TRUE(controller->setPlan(goal(pose(0.0, 0.5, 0.4), pose(0.0, 0.0, 0.0), true)));
  ASSERT_TRUE(drive(2000));
  end = robot->mapPose();
  EXPECT_NEAR(end.x, start.x - 0.5 * std::sin(start.yaw), 0.015);
  EXPECT_NEAR(end.y, start.y + 0.5 * std::cos(start.yaw), 0.015);
  EXPECT_NEAR(end.yaw, start.yaw + 0.4, 0.05);
}

}  // namespace
