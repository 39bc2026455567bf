// Movement status: the classification per run mode, the five-cycle debounce, rotation reported
// at once, and the idle report when the robot is stopped. The controllers' node is never
// activated here: the status is published all the same.
#include <cstdint>
#include <vector>

#include "controller_base_fixture.hpp"

namespace controller_base_test
{
namespace
{

constexpr int kStill = MovementStatus::STILL;
constexpr int kTranslating = MovementStatus::TRANSLATING;
constexpr int kMoving502 = MovementStatus::MOVING_IN_RUN_MODE_502;
constexpr int kRotating = MovementStatus::ROTATING;

class MovementStatusTest : public ControllerBaseTest
{
protected:
  void SetUp() override
  {
    ControllerBaseTest::SetUp();
    placeRobot(1.5, 2.0, 0.0);
    controller_ = makeController();
  }

  void drive(const geometry_msgs::msg::Twist & command, int cycles)
  {
    controller_->command = command;
    for (int cycle = 0; cycle < cycles; ++cycle) {
      ASSERT_TRUE(controller_->computeAndPublishVelocity());
    }
  }

  MovementStatusProbe probe_;
  std::shared_ptr<ScriptedController> controller_;
};

TEST_F(MovementStatusTest, ClassifiesCommandsByRunMode)
{
  struct Case
  {
    std::int32_t run_mode;
    geometry_msgs::msg::Twist command;
    int status;
  };
  const Case cases[] = {
    {0, twist(0.0, 0.0, 0.08), kStill}, {0, twist(0.03, -0.03, 0.0), kStill},
    {0, twist(0.031, 0.0, 0.0), kTranslating}, {0, twist(0.0, -0.04, 0.0), kTranslating},
    {0, twist(-0.2, 0.0, 0.0), kStill}, {0, twist(0.0, 0.0, 0.35), kRotating},
    {0, twist(0.3, 0.0, -0.5), kRotating}, {0, twist(0.0, 0.0, 0.3), kStill},
    {500, twist(0.2, 0.0, 0.0), kTranslating}, {504, twist(0.0, 0.0, -0.4), kRotating},
    {502, twist(-0.2, 0.0, 0.0), kMoving502}, {502, twist(0.0, 0.0, 0.1), kMoving502},
    {502, twist(0.0, 0.0, 0.0), kStill},
    {405, twist(0.0, 0.0, 0.5), kTranslating}, {405, twist(0.0, 0.1, 0.0), kTranslating},
    {503, twist(0.0, 0.1, 0.0), kRotating}, {503, twist(0.2, 0.0, 0.0), kTranslating},
    {503, twist(-0.2, 0.0, 0.0), kStill}, {503, twist(0.0, 0.0, 0.2), kStill},
    {7, twist(0.2, 0.0, 0.0), kStill}, {7, twist(0.0, 0.0, 0.5), kStill}};
  for (const Case & command : cases) {
    controller_->setRunMode(command.run_mode);
    EXPECT_EQ(controller_->calculateMovementStatus(command.command), command.status)
      << "run mode " << command.run_mode << ", command " << command.command.linear.x << ", "
      << command.command.linear.y << ", " << command.command.angular.z;
  }
}

TEST_F(MovementStatusTest, AnnouncedRotationCountsAboveTheTurningThreshold)
{
  EXPECT_FALSE(controller_->hasMovementStatusRotationIntent(twist(0.0, 0.0, 0.3)));
  controller_->setMovementStatusRotationIntent(true);
  EXPECT_TRUE(controller_->hasMovementStatusRotationIntent(twist(0.0, 0.0, -0.09)));
  EXPECT_FALSE(controller_->hasMovementStatusRotationIntent(twist(0.0, 0.0, 0.08)));
  controller_->setRunMode(503);
  EXPECT_EQ(controller_->calculateMovementStatus(twist(0.2, 0.0, 0.1)), kRotating);
}

TEST_F(MovementStatusTest, ReportsTranslationAfterFiveStableCycles)
{
  drive(twist(0.2, 0.0, 0.0), 4);
  EXPECT_TRUE(probe_.take().empty());
  drive(twist(0.2, 0.0, 0.0), 1);
  EXPECT_EQ(probe_.take(), std::vector<int>{kTranslating});
  drive(twist(0.2, 0.0, 0.0), 6);
  EXPECT_TRUE(probe_.take().empty());
}

TEST_F(MovementStatusTest, ReportsRotationInTheFirstCycle)
{
  drive(twist(0.0, 0.0, 0.5), 1);
  EXPECT_EQ(probe_.take(), std::vector<int>{kRotating});
}

TEST_F(MovementStatusTest, AnUnpredictedTurnKeepsWhatWasReported)
{
  drive(twist(0.0, 0.0, 0.2), 4);
  EXPECT_TRUE(probe_.take().empty());
  drive(twist(0.0, 0.0, 0.2), 1);
  EXPECT_EQ(probe_.take(), std::vector<int>{kStill}) << "nothing reported yet counts as still";

  drive(twist(0.2, 0.0, 0.0), 5);
  EXPECT_EQ(probe_.take(), std::vector<int>{kTranslating});
  drive(twist(0.0, 0.0, 0.2), 8);
  EXPECT_TRUE(probe_.take().empty());
}

TEST_F(MovementStatusTest, AlternatingStatusesReportNothing)
{
  for (int cycle = 0; cycle < 12; ++cycle) {
    drive(cycle % 2 == 0 ? twist(0.2, 0.0, 0.0) : twist(0.0, 0.0, 0.0), 1);
  }
  EXPECT_TRUE(probe_.take().empty());
}

TEST_F(MovementStatusTest, TheSpeedRateAppliesBeforeTheStatus)
{
  controller_->speed_rate = 0.5;
  drive(twist(0.05, 0.0, 0.0), 5);
  EXPECT_EQ(probe_.take(), std::vector<int>{kStill});
}

TEST_F(MovementStatusTest, AnAnnouncedRotationLastsOneCycle)
{
  controller_->announce_rotation = true;
  drive(twist(0.0, 0.0, 0.1), 1);
  EXPECT_EQ(probe_.take(), std::vector<int>{kRotating});
  controller_->announce_rotation = false;
  drive(twist(0.2, 0.0, 0.1), 5);
  EXPECT_EQ(probe_.take(), std::vector<int>{kTranslating});
}

TEST_F(MovementStatusTest, StoppingReportsIdleOnce)
{
  drive(twist(0.2, 0.0, 0.0), 5);
  EXPECT_EQ(probe_.take(), std::vector<int>{kTranslating});
  controller_->stopRobot();
  controller_->stopRobot();
  EXPECT_EQ(probe_.take(), std::vector<int>{kStill});
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 2u);

  // The idle report restarts the debounce: translation needs five cycles again.
  drive(twist(0.2, 0.0, 0.0), 4);
  EXPECT_TRUE(probe_.take().empty());
}

TEST_F(MovementStatusTest, ACollisionStopReportsIdle)
{
  drive(twist(0.0, 0.0, 0.5), 1);
  EXPECT_EQ(probe_.take(), std::vector<int>{kRotating});
  controller_->collision_free = false;
  EXPECT_FALSE(controller_->computeAndPublishVelocity());
  EXPECT_EQ(probe_.take(), std::vector<int>{kStill});
}

}  // namespace
}  // namespace controller_base_test
