// The velocity cycle: turn signals and their debounce, the speed rate, what reaches the robot
// when a cycle fails, and the cycle-time watch.
#include <chrono>
#include <cstdint>
#include <future>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "controller_base_fixture.hpp"
#include "velmora/testing/log_capture.hpp"

namespace controller_base_test
{
namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr char kAlarmLine[] = "ErrorCode: 101100033,[NavController] control frequency is too low";

class VelocityCycleTest : public ControllerBaseTest
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

  std::vector<int> turnEvents() const
  {
    std::vector<int> codes;
    for (const auto & event : link_->robotEvents()) {
      codes.push_back(event.event_code);
    }
    return codes;
  }

  std::shared_ptr<ScriptedController> controller_;
};

TEST_F(VelocityCycleTest, ClassifiesTurnsByTravelAndRotation)
{
  struct Case
  {
    double vx;
    double wz;
    int code;
  };
  const Case cases[] = {
    {0.2, 0.11, 70006}, {0.2, 0.12, 70006}, {0.2, 0.13, 70007}, {0.2, -0.13, 70008},
    {0.05, 0.11, 70007}, {0.05, -0.11, 70008}, {0.1, 0.11, 70007}, {0.05, 0.1, 0},
    {-0.2, 0.3, 70008}, {-0.2, -0.3, 70007}, {-0.2, 0.0, 70006}};
  for (const Case & turn : cases) {
    // Six equal cycles confirm a code whatever was confirmed before.
    int code = -1;
    for (int cycle = 0; cycle < 6; ++cycle) {
      code = controller_->isLeftORRightTrun(twist(turn.vx, 0.0, turn.wz));
    }
    EXPECT_EQ(code, turn.code) << "vx " << turn.vx << ", wz " << turn.wz;
  }
}

TEST_F(VelocityCycleTest, SendsOneTurnEventOnceATurnHeldForSixCycles)
{
  drive(twist(0.3, 0.0, 0.0), 8);
  EXPECT_TRUE(turnEvents().empty()) << "straight is where the signal starts";
  drive(twist(0.3, 0.0, 0.2), 5);
  EXPECT_TRUE(turnEvents().empty());
  drive(twist(0.3, 0.0, 0.2), 4);
  const auto events = link_->robotEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].event_type, 5);
  EXPECT_EQ(events[0].event_code, 70007);
  EXPECT_TRUE(events[0].params.empty());
  EXPECT_TRUE(events[0].header.frame_id.empty());
  EXPECT_GT(events[0].header.stamp.sec, 0);

  drive(twist(0.3, 0.0, 0.0), 6);
  EXPECT_EQ(turnEvents(), (std::vector<int>{70007, 70006}));
}

TEST_F(VelocityCycleTest, AlternatingTurnsNeverChangeTheSignal)
{
  for (int cycle = 0; cycle < 12; ++cycle) {
    drive(twist(0.3, 0.0, cycle % 2 == 0 ? 0.3 : -0.3), 1);
  }
  EXPECT_TRUE(turnEvents().empty());
}

TEST_F(VelocityCycleTest, ScalesTheCommandBeforeClassifyingAndSendingIt)
{
  controller_->speed_rate = 0.5;
  geometry_msgs::msg::Twist command = twist(0.3, 0.2, 0.2);
  command.linear.z = 0.7;
  drive(command, 6);
  // Unscaled, 0.2 rad/s would be a left turn; halved it is straight travel.
  EXPECT_TRUE(turnEvents().empty());
  const auto sent = link_->velocities();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_DOUBLE_EQ(sent.back().linear.x, 0.15);
  EXPECT_DOUBLE_EQ(sent.back().linear.y, 0.1);
  EXPECT_DOUBLE_EQ(sent.back().angular.z, 0.1);
  EXPECT_DOUBLE_EQ(sent.back().linear.z, 0.7);
}

TEST_F(VelocityCycleTest, SendsNothingWhenTheControllerHasNoCommand)
{
  controller_->compute_succeeds = false;
  EXPECT_FALSE(controller_->computeAndPublishVelocity());
  EXPECT_TRUE(link_->calls().empty());
}

TEST_F(VelocityCycleTest, NeverSendsANonFiniteCommand)
{
  velmora::testing::LogCapture log;
  geometry_msgs::msg::Twist tilted = twist(0.2, 0.0, 0.0);
  tilted.angular.x = kInfinity;
  const std::pair<geometry_msgs::msg::Twist, double> cases[] = {
    {twist(kNaN, 0.0, 0.0), 1.0}, {twist(0.2, 0.0, -kInfinity), 1.0}, {tilted, 1.0},
    {twist(0.0, 0.0, 0.0), kInfinity}, {twist(0.2, 0.0, 0.0), kNaN}};
  for (const auto & [command, rate] : cases) {
    controller_->command = command;
    controller_->speed_rate = rate;
    EXPECT_FALSE(controller_->computeAndPublishVelocity());
  }
  EXPECT_TRUE(link_->calls().empty());
  EXPECT_EQ(log.linesContaining("not finite").size(), 5u);
}

TEST_F(VelocityCycleTest, StopsTheRobotInsteadOfSendingACollidingCommand)
{
  controller_->collision_free = false;
  EXPECT_FALSE(controller_->computeAndPublishVelocity());
  EXPECT_EQ(link_->count(CallKind::zero_velocity), 1u);
  EXPECT_EQ(link_->calls().size(), 1u);
}

TEST_F(VelocityCycleTest, FailedCyclesLeaveTheDebounceCountsAlone)
{
  MovementStatusProbe probe;
  drive(twist(0.3, 0.0, 0.2), 3);
  controller_->compute_succeeds = false;
  EXPECT_FALSE(controller_->computeAndPublishVelocity());
  controller_->compute_succeeds = true;
  controller_->speed_rate = kNaN;
  EXPECT_FALSE(controller_->computeAndPublishVelocity());
  controller_->speed_rate = 1.0;

  drive(twist(0.3, 0.0, 0.2), 1);
  EXPECT_TRUE(probe.take().empty());
  drive(twist(0.3, 0.0, 0.2), 1);
  EXPECT_EQ(probe.take(), std::vector<int>{MovementStatus::TRANSLATING});
  EXPECT_TRUE(turnEvents().empty());
  drive(twist(0.3, 0.0, 0.2), 1);
  EXPECT_EQ(turnEvents(), std::vector<int>{70007});
}

TEST_F(ControllerBaseTest, ReportsAMissingRobotPoseAndSendsNothing)
{
  auto controller = makeController();  // no transform to base_footprint yet
  velmora::testing::LogCapture log;
  EXPECT_FALSE(controller->computeAndPublishVelocity());
  EXPECT_TRUE(link_->calls().empty());
  EXPECT_EQ(log.linesContaining("Failed to obtain robot pose, error code is 101100002").size(), 1u);
}

TEST_F(VelocityCycleTest, MarksSlowCyclesAboveEightyMillisecondsAndAboveTheBudget)
{
  struct Case
  {
    std::int64_t elapsed_ms;
    bool info;
    bool alarm;
  };
  for (const Case & cycle : {Case{80, false, false}, Case{81, true, false},
      Case{200, true, false}, Case{201, true, true}, Case{250, true, true}})
  {
    velmora::testing::LogCapture log;
    link_->clear();
    controller_->reportCycleTime(cycle.elapsed_ms);
    const std::string info =
      "computeAndPublishVelocity use time: " + std::to_string(cycle.elapsed_ms) + "ms";
    EXPECT_EQ(log.linesContaining(info).size(), cycle.info ? 1u : 0u) << cycle.elapsed_ms;
    EXPECT_EQ(log.linesContaining(kAlarmLine).size(), cycle.alarm ? 1u : 0u) << cycle.elapsed_ms;
    EXPECT_EQ(link_->errorCodes(), cycle.alarm ? std::vector<int>{101100033} : std::vector<int>{});
  }
}

TEST_F(ControllerBaseTest, TakesTheCycleBudgetFromTheNode)
{
  node()->declare_parameter("controller_calculate_time_threshold", 50.0);
  auto controller = makeController();
  velmora::testing::LogCapture log;
  controller->reportCycleTime(50);
  EXPECT_TRUE(link_->errorCodes().empty());
  controller->reportCycleTime(51);
  EXPECT_EQ(link_->errorCodes(), std::vector<int>{101100033});
  EXPECT_TRUE(log.linesContaining("use time").empty());
}

TEST_F(VelocityCycleTest, ASlowCycleStillSendsItsCommandThenRaisesTheAlarm)
{
  velmora::testing::LogCapture log;
  CycleGate gate;
  controller_->gate = &gate;
  controller_->command = twist(0.3, 0.0, 0.0);
  auto cycle = std::async(
    std::launch::async, [this] {return controller_->computeAndPublishVelocity();});
  std::chrono::steady_clock::time_point entered;
  ASSERT_TRUE(gate.waitEntered(entered));
  std::this_thread::sleep_until(entered + std::chrono::milliseconds(250));
  gate.open();
  EXPECT_TRUE(cycle.get());

  const auto calls = link_->calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, CallKind::velocity);
  EXPECT_EQ(calls[1].kind, CallKind::error_code);
  EXPECT_EQ(calls[1].error_code, 101100033);
  EXPECT_EQ(log.linesContaining("computeAndPublishVelocity use time: ").size(), 1u);
  EXPECT_EQ(log.linesContaining(kAlarmLine).size(), 1u);
}

TEST_F(VelocityCycleTest, AQuickCycleRaisesNoMark)
{
  velmora::testing::LogCapture log;
  const auto start = std::chrono::steady_clock::now();
  drive(twist(0.3, 0.0, 0.0), 1);
  if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(80)) {
    GTEST_SKIP() << "the machine was too busy for this cycle to count as quick";
  }
  EXPECT_EQ(link_->calls().size(), 1u);
  EXPECT_TRUE(log.linesContaining("use time").empty());
}

}  // namespace
}  // namespace controller_base_test
