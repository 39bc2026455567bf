// The whole stack on the simulated robot in the built-in warehouse world: lateral moves sent to
// "control_to_goal" through a real action client drive the robot, in real time, to where the
// goal says, or end the way a refused, cancelled or preempted goal must, with the robot
// stopped.
#include "end_to_end_fixture.hpp"

namespace
{
using namespace end_to_end_test;

// A lateral move of a few decimetres takes a few seconds at the default gains.
constexpr auto kMoveDeadline = 30s;
// The controller's arrival tolerances (0.01 m, 0.05 rad) plus what the base drifts while it
// brakes after the last command.
constexpr double kPositionTolerance = 0.02;
constexpr double kHeadingTolerance = 0.06;

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(robotEnvironment());

class EndToEndLateralMove : public EndToEndTest
{
protected:
  // Aisle 1 of the warehouse, between the shelf rows at y 2.6-3.4 and 5.4-6.2.
  static constexpr PlanarPose kStart{6.5, 4.2, 0.0};

  EndToEndLateralMove()
  : EndToEndTest(kStart, kMoveDeadline) {}

  // A lateral move to `target` in the map frame; in base mode `target` is the displacement in
  // the robot's frame.
  static Action::Goal lateralMove(const PlanarPose & target, bool relative_to_base = false)
  {
    // The controller reads the first pose (base mode) or the last (map mode) of a path of two.
    auto goal = pathGoal("lateral_move_controller", {target, target});
    goal.relative_to_base = relative_to_base;
    return goal;
  }

  void expectRobotAt(const PlanarPose & expected)
  {
    EndToEndTest::expectRobotAt(expected, kPositionTolerance, kHeadingTolerance);
  }
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
