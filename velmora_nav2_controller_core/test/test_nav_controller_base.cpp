// The controller base itself: construction and its parameters, the small operations the
// controllers use, the goal-check options, the default goal check and the narrow-passage report.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controller_base_fixture.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "velmora/testing/log_capture.hpp"

namespace controller_base_test
{
namespace
{

using Goal = controller::NavControllerBase::Goal;

// Answers what the test sets and keeps what it was asked.
class RecordingGoalChecker : public nav2_core::GoalChecker
{
public:
  void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr &, const std::string &,
    const std::shared_ptr<nav2_costmap_2d::Costmap2DROS>) override {}
  void reset() override {}
  bool isGoalReached(
    const geometry_msgs::msg::Pose & query_pose, const geometry_msgs::msg::Pose & goal_pose,
    const geometry_msgs::msg::Twist & velocity) override
  {
    ++calls;
    query = query_pose;
    goal = goal_pose;
    this->velocity = velocity;
    return answer;
  }
  bool getTolerances(geometry_msgs::msg::Pose &, geometry_msgs::msg::Twist &) override
  {
    return false;
  }

  bool answer{false};
  int calls{0};
  geometry_msgs::msg::Pose query;
  geometry_msgs::msg::Pose goal;
  geometry_msgs::msg::Twist velocity;
};

geometry_msgs::msg::PoseStamped poseIn(const std::string & frame, double x, double y)
{
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  return pose;
}

std::shared_ptr<const Goal> goalAlong(const std::vector<std::pair<double, double>> & points)
{
  auto goal = std::make_shared<Goal>();
  goal->controller_id = "dwb_controller";
  goal->speed_limit_percent = 40.0f;
  goal->nav_path.header.frame_id = "map";
  for (const auto & [x, y] : points) {
    goal->nav_path.poses.push_back(poseIn("map", x, y));
  }
  return goal;
}

TEST_F(ControllerBaseTest, DeclaresItsParametersOnlyWhenMissing)
{
  node()->declare_parameter("movement_status_rotation_intent_threshold_rad", 0.5);
  auto first = makeController();
  auto second = makeController();  // the same node: nothing may be declared twice

  EXPECT_DOUBLE_EQ(
    node()->get_parameter("movement_status_rotation_intent_threshold_rad").as_double(), 0.5);
  EXPECT_DOUBLE_EQ(
    node()->get_parameter("movement_status_rotation_intent_prediction_time").as_double(), 1.0);
  EXPECT_EQ(node()->get_parameter("odom_topic").as_string(), "odom");
  EXPECT_TRUE(node()->has_parameter("general_goal_checker.precise_goal_reaching"));
  // 0.45 rad/s for the 1 s prediction stays below the 0.5 rad the node holds.
  EXPECT_FALSE(second->hasMovementStatusRotationIntent(twist(0.0, 0.0, 0.45)));
  EXPECT_TRUE(second->hasMovementStatusRotationIntent(twist(0.0, 0.0, 0.5)));
}

TEST_F(ControllerBaseTest, RefusesAParameterOfTheWrongType)
{
  node()->declare_parameter("min_x_velocity_threshold", std::string("slow"));
  EXPECT_THROW(makeController(), rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(ControllerBaseTest, NeedsALiveNodeAndAMapService)
{
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> gone =
    std::make_shared<rclcpp_lifecycle::LifecycleNode>("gone");
  EXPECT_THROW(std::make_shared<ScriptedController>(gone, grid_map_), std::invalid_argument);
  EXPECT_THROW(std::make_shared<ScriptedController>(node(), nullptr), std::invalid_argument);
}

TEST_F(ControllerBaseTest, ThresholdsOdometrySpeedsStrictlyAndKeepsSigns)
{
  node()->declare_parameter("min_x_velocity_threshold", 0.05);
  node()->declare_parameter("min_y_velocity_threshold", 0.1);
  node()->declare_parameter("min_theta_velocity_threshold", 0.2);
  auto controller = makeController();
  nav_2d_msgs::msg::Twist2D speeds;
  speeds.x = 0.05;
  speeds.y = -0.11;
  speeds.theta = 0.2;
  auto kept = controller->getThresholdedTwist(speeds);
  EXPECT_EQ(kept.x, 0.0);
  EXPECT_EQ(kept.y, -0.11);
  EXPECT_EQ(kept.theta, 0.0);
  speeds.x = -0.06;
  speeds.y = 0.1;
  speeds.theta = -0.21;
  kept = controller->getThresholdedTwist(speeds);
  EXPECT_EQ(kept.x, -0.06);
  EXPECT_EQ(kept.y, 0.0);
  EXPECT_EQ(kept.theta, -0.21);
}

TEST_F(ControllerBaseTest, StopVelocityZeroesOnlyThePlanarCommand)
{
  auto controller = makeController();
  geometry_msgs::msg::Twist & command = controller->cmdVel();
  command = twist(0.4, 0.2, 0.3);
  command.linear.z = 0.1;
  command.angular.x = 0.2;
  command.angular.y = 0.3;
  controller->stopVelocity();
  EXPECT_EQ(command.linear.x, 0.0);
  EXPECT_EQ(command.linear.y, 0.0);
  EXPECT_EQ(command.angular.z, 0.0);
  EXPECT_EQ(command.linear.z, 0.1);
  EXPECT_EQ(command.angular.x, 0.2);
  EXPECT_EQ(command.angular.y, 0.3);
}

TEST_F(ControllerBaseTest, GoalCheckOptionsSwitchTheCheckerToPreciseTolerances)
{
  node()->declare_parameter("general_goal_checker.precise_goal_reaching_xy_goal_tolerance", 0.05);
  auto controller = makeController();
  placeRobot(1.5, 2.0, 0.0);
  controller->setEndPose(poseIn("map", 1.7, 2.0));
  const auto precise = [this] {
      return node()->get_parameter("general_goal_checker.precise_goal_reaching").as_bool();
    };

  controller->setGoalCheckOptions({1, 0, 0});
  EXPECT_TRUE(precise());
  EXPECT_FALSE(controller->isGoalReached()) << "0.2 m is beyond the precise 0.05 m";
  controller->setGoalCheckOptions({0, 1, 1});
  EXPECT_FALSE(precise());
  EXPECT_TRUE(controller->isGoalReached()) << "0.2 m is within the normal 0.25 m";
}

TEST_F(ControllerBaseTest, GoalCheckUsesTheGlobalFrameAndThresholdedOdometry)
{
  node()->declare_parameter("min_x_velocity_threshold", 0.05);
  node()->declare_parameter("min_y_velocity_threshold", 0.05);
  node()->declare_parameter("min_theta_velocity_threshold", 0.05);
  auto controller = makeController();
  auto checker = std::make_shared<RecordingGoalChecker>();
  controller->useGoalChecker(checker);
  placeRobot(1.0, 2.0, 0.0);
  setTransform("map", "odom", 0.5, 0.0, 0.0);
  controller->setEndPose(poseIn("odom", 1.0, 1.0));

  auto source = std::make_shared<rclcpp::Node>("odometry_source");
  auto odometry = source->create_publisher<nav_msgs::msg::Odometry>("odom", 10);
  nav_msgs::msg::Odometry measured;
  measured.twist.twist.linear.x = 0.04;
  measured.twist.twist.linear.y = 0.3;
  measured.twist.twist.angular.z = -0.5;
  odometry->publish(measured);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node()->get_node_base_interface());
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (controller->odometryTwist().y != 0.3 && std::chrono::steady_clock::now() < deadline) {
    executor.spin_some();
    std::this_thread::yield();
  }
  ASSERT_EQ(controller->odometryTwist().y, 0.3);

  velmora::testing::LogCapture log;
  EXPECT_FALSE(controller->isGoalReached());
  EXPECT_TRUE(log.linesContaining("NavControllerBase::isGoalReached").empty());
  EXPECT_DOUBLE_EQ(checker->query.position.x, 1.0);
  EXPECT_DOUBLE_EQ(checker->query.position.y, 2.0);
  EXPECT_DOUBLE_EQ(checker->goal.position.x, 1.5);
  EXPECT_DOUBLE_EQ(checker->goal.position.y, 1.0);
  EXPECT_EQ(checker->velocity.linear.x, 0.0);
  EXPECT_EQ(checker->velocity.linear.y, 0.3);
  EXPECT_EQ(checker->velocity.angular.z, -0.5);

  checker->answer = true;
  EXPECT_TRUE(controller->isGoalReached());
  EXPECT_TRUE(controller->isGoalReached());
  EXPECT_EQ(log.linesContaining("NavControllerBase::isGoalReached").size(), 2u);
}

// The executor writes each odometry sample on its thread while the control loop reads on
// another: every read is one message's twist, never fields of two.
TEST_F(ControllerBaseTest, OdometryTwistIsReadAsOneWholeSample)
{
  auto controller = makeController();
  auto source = std::make_shared<rclcpp::Node>("odometry_source");
  auto odometry = source->create_publisher<nav_msgs::msg::Odometry>("odom", 10);
  constexpr int kSamples = 2000;
  std::atomic_bool written{false};
  std::thread writer([&] {
      rclcpp::executors::SingleThreadedExecutor executor;
      executor.add_node(node()->get_node_base_interface());
      for (int sample = 1; sample <= kSamples; ++sample) {
        nav_msgs::msg::Odometry measured;
        measured.twist.twist.linear.x = sample;
        measured.twist.twist.linear.y = sample;
        measured.twist.twist.angular.z = sample;
        odometry->publish(measured);
        executor.spin_some();
      }
      written = true;
    });
  int torn_reads = 0;
  while (!written) {
    const auto twist = controller->odometryTwist();
    if (twist.x != twist.y || twist.y != twist.theta) {
      ++torn_reads;
    }
  }
  writer.join();
  EXPECT_EQ(torn_reads, 0);
  EXPECT_EQ(controller->odometryTwist().theta, kSamples);
}

TEST_F(ControllerBaseTest, GoalIsNotReachedWithoutRobotPoseOrGoalInTheGlobalFrame)
{
  auto controller = makeController();
  auto checker = std::make_shared<RecordingGoalChecker>();
  checker->answer = true;
  controller->useGoalChecker(checker);
  controller->setEndPose(poseIn("map", 1.0, 2.0));
  EXPECT_FALSE(controller->isGoalReached()) << "no robot pose yet";

  placeRobot(1.0, 2.0, 0.0);
  controller->setEndPose(poseIn("nowhere", 1.0, 2.0));
  EXPECT_FALSE(controller->isGoalReached()) << "the goal's frame is unknown";
  EXPECT_EQ(checker->calls, 0);

  controller->setEndPose(poseIn("map", 1.0, 2.0));
  EXPECT_TRUE(controller->isGoalReached());
}

TEST_F(ControllerBaseTest, LogsNarrowPassageEntryOncePerStretchOfGoals)
{
  auto controller = makeController();
  velmora::testing::LogCapture log;
  const auto entries = [&log] {
      return log.linesContaining("[Controller] Enter narrow passage slow zone").size();
    };
  const auto through = goalAlong({{1.5, 2.0}, {3.5, 2.0}, {4.5, 2.0}});
  const auto open = goalAlong({{1.0, 1.0}, {1.5, 2.0}});
  const auto beyond_map = goalAlong({{1.5, 2.0}, {6.5, 2.0}, {-0.5, 2.0}});
  const auto empty = goalAlong({});

  controller->logNarrowPassageEntry(through);
  ASSERT_EQ(entries(), 1u);
  EXPECT_NE(
    log.linesContaining("controller_id: dwb_controller, speed_limit_percent: 40").size(), 0u);
  controller->logNarrowPassageEntry(through);
  EXPECT_EQ(entries(), 1u);
  controller->logNarrowPassageEntry(open);
  controller->logNarrowPassageEntry(through);
  EXPECT_EQ(entries(), 2u);
  controller->logNarrowPassageEntry(beyond_map);
  controller->logNarrowPassageEntry(through);
  EXPECT_EQ(entries(), 3u);
  controller->logNarrowPassageEntry(empty);
  controller->logNarrowPassageEntry(through);
  EXPECT_EQ(entries(), 4u);
}

}  // namespace
}  // namespace controller_base_test
