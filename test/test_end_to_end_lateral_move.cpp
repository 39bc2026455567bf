// The whole stack on the simulated robot in the built-in warehouse world: lateral moves sent to
// "control_to_goal" through a real action client drive the robot, in real time, to where the
// goal says, or end the way a refused, cancelled or preempted goal must, with the robot
// stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <thread>

#include "base_robot/base_robot.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "simulated_stack.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace
{
using namespace std::chrono_literals;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using velmora_sim_robot::PlanarPose;

// A lateral move of a few decimetres takes a few seconds at the default gains.
constexpr auto kMoveDeadline = 30s;
constexpr auto kReplyDeadline = 5s;
// The controller's arrival tolerances (0.01 m, 0.05 rad) plus what the base drifts while it
// brakes after the last command.
constexpr double kPositionTolerance = 0.02;
constexpr double kHeadingTolerance = 0.06;

// The robot outline of the demo's parameter file, given the way an operator would: -p on the
// command line (quoted, as the footprint is a string), taken by the costmap node, the one node
// that declares it.
constexpr const char * kFootprintOverride =
  "footprint:='[[0.30, 0.25], [0.30, -0.25], [-0.30, -0.25], [-0.30, 0.25]]'";
const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(
  new velmora::testing::RclcppEnvironment({"--ros-args", "-p", kFootprintOverride}));

class EndToEndLateralMove : public ::testing::Test
{
protected:
  // Aisle 1 of the warehouse, between the shelf rows at y 2.6-3.4 and 5.4-6.2.
  static constexpr PlanarPose kStart{6.5, 4.2, 0.0};

  void SetUp() override
  {
    stack_ = std::make_unique<velmora_apps::SimulatedStack>(kStart);
    node_ = std::make_shared<rclcpp::Node>("end_to_end_client");
    client_ = rclcpp_action::create_client<Action>(node_, "control_to_goal");
    executor_.add_node(node_);
    spinner_ = std::thread([this] {executor_.spin();});
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    ASSERT_TRUE(client_->wait_for_action_server(kReplyDeadline));
  }

  void TearDown() override
  {
    executor_.cancel();
    spinner_.join();
    client_.reset();
    stack_.reset();
  }

  // A lateral move to `target` in the map frame; in base mode `target` is the displacement in
  // the robot's frame.
  static Action::Goal lateralMove(const PlanarPose & target, bool relative_to_base = false)
  {
    Action::Goal goal;
    goal.controller_id = "lateral_move_controller";
    goal.controller_frequency = 20;
    goal.relative_to_base = relative_to_base;
    goal.nav_path.header.frame_id = "map";
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = target.x;
    pose.pose.position.y = target.y;
    pose.pose.orientation = BaseRobot().eulerToQuaternion(target.yaw, 0.0, 0.0);
    // The controller reads the first pose (base mode) or the last (map mode) of a path of two.
    goal.nav_path.poses = {pose, pose};
    return goal;
  }

  std::shared_future<ClientGoalHandle::WrappedResult> send(const Action::Goal & goal)
  {
    auto accepted = client_->async_send_goal(goal);
    EXPECT_EQ(accepted.wait_for(kReplyDeadline), std::future_status::ready);
    handle_ = accepted.get();
    EXPECT_NE(handle_, nullptr);
    return client_->async_get_result(handle_);
  }

  static ResultCode codeOf(const std::shared_future<ClientGoalHandle::WrappedResult> & result)
  {
    if (result.wait_for(kMoveDeadline) != std::future_status::ready) {
      ADD_FAILURE() << "the goal did not end in time";
      return ResultCode::UNKNOWN;
    }
    return result.get().code;
  }

  ResultCode run(const Action::Goal & goal) {return codeOf(send(goal));}

  // Waits until the robot is commanded to stand still.
  bool robotStops()
  {
    const auto deadline = std::chrono::steady_clock::now() + kReplyDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto command = stack_->robot().command();
      if (command.vx == 0.0 && command.vy == 0.0 && command.wz == 0.0) {
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  // Waits until the robot has moved `distance` from the start.
  bool robotMoved(double distance)
  {
    const auto deadline = std::chrono::steady_clock::now() + kMoveDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto pose = stack_->robot().mapPose();
      if (std::hypot(pose.x - kStart.x, pose.y - kStart.y) >= distance) {
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  void expectRobotAt(const PlanarPose & expected)
  {
    const auto pose = stack_->robot().mapPose();
    EXPECT_NEAR(pose.x, expected.x, kPositionTolerance);
    EXPECT_NEAR(pose.y, expected.y, kPositionTolerance);
    EXPECT_NEAR(BaseRobot().calDelAngle(pose.yaw, expected.yaw), 0.0, kHeadingTolerance);
  }

  std::unique_ptr<velmora_apps::SimulatedStack> stack_;
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  ClientGoalHandle::SharedPtr handle_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

TEST_F(EndToEndLateralMove, MapModeSlidesSidewaysThenTurnsInPlace)
{
  const PlanarPose beside{6.5, 4.5, 0.0};
  ASSERT_EQ(run(lateralMove(beside)), ResultCode::SUCCEEDED);
  EXPECT_TRUE(robotStops());
  expectRobotAt(beside);

  const PlanarPose turned{6.5, 4.5, 0.5};
  ASSERT_EQ(run(lateralMove(turned)), ResultCode::SUCCEEDED);
  EXPECT_TRUE(robotStops());
  expectRobotAt(turned);
}

TEST_F(EndToEndLateralMove, BaseModeMovesRelativeToTheRobot)
{
  // 0.3 m ahead and 0.1 m to the left of the robot, ending turned by -0.3 rad.
  ASSERT_EQ(run(lateralMove({0.3, 0.1, -0.3}, true)), ResultCode::SUCCEEDED);
  EXPECT_TRUE(robotStops());
  expectRobotAt({kStart.x + 0.3, kStart.y + 0.1, -0.3});
}

TEST_F(EndToEndLateralMove, MoveIntoAShelfIsRefusedAndTheRobotStops)
{
  // Straight north into the shelf row at y 5.4.
  EXPECT_EQ(run(lateralMove({6.5, 5.9, 0.0})), ResultCode::ABORTED);
  EXPECT_TRUE(robotStops());
  EXPECT_LT(stack_->robot().mapPose().y + 0.25, 5.4) << "the robot's outline stays off the shelf";
}

TEST_F(EndToEndLateralMove, CancelMidMoveEndsCanceledWithTheRobotStopped)
{
  auto result = send(lateralMove({4.5, 4.2, 0.0}));
  ASSERT_TRUE(robotMoved(0.1));
  auto cancel = client_->async_cancel_goal(handle_);
  ASSERT_EQ(cancel.wait_for(kReplyDeadline), std::future_status::ready);
  EXPECT_EQ(codeOf(result), ResultCode::CANCELED);
  EXPECT_TRUE(robotStops());
  EXPECT_GT(stack_->robot().mapPose().x, 4.5 + 0.5) << "stopped well short of the target";
}

TEST_F(EndToEndLateralMove, SecondGoalPreemptsTheFirst)
{
  auto first = send(lateralMove({8.5, 4.2, 0.0}));
  ASSERT_TRUE(robotMoved(0.1));
  const PlanarPose back{6.4, 4.3, 0.0};
  auto second = send(lateralMove(back));
  EXPECT_EQ(codeOf(first), ResultCode::ABORTED);
  EXPECT_EQ(codeOf(second), ResultCode::SUCCEEDED);
  EXPECT_TRUE(robotStops());
  expectRobotAt(back);
}

}  // namespace
