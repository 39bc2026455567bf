// TEB and PID goals on the simulated robot in aisle 1 of the warehouse world, sent through a
// real action client: the TEB planner drives to the end of the path (or to an extra goal) no
// faster than the goal's cap, the PID follower to within its arrival tolerance, and goals they
// must not drive end at once, with the robot stopped, its outline clear of the shelves and
// nothing non-finite ever commanded.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "end_to_end_fixture.hpp"
#include "pid_core/controller.hpp"

namespace
{
using namespace end_to_end_test;

constexpr auto kMoveDeadline = 30s;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The TEB controller ends a goal once the general goal checker passes (0.25 m, 0.25 rad); the
// base drifts a little further while it brakes.
constexpr double kTebPositionTolerance = 0.25 + 0.05;
constexpr double kTebHeadingTolerance = 0.25 + 0.05;
// The PID core ends within its arrival tolerance or once past the last pose, by at most one
// cycle at its slowest speed.
constexpr double kPidPositionTolerance = Controller::kArrivalTolerance + 0.02;
// A goal the robot must not drive leaves it within a centimetre of where it stood.
constexpr double kStandingStill = 0.01;
// What a sampled command may exceed a limit by: the planner scales its motion to a limit in
// floating point.
constexpr double kLimitSlack = 1e-6;
// The TEB planner's limits when a goal leaves them as configured (no parameter file here).
constexpr double kConfiguredForward = 0.5;
constexpr double kConfiguredSideways = 0.5;
constexpr double kConfiguredTurn = 0.8;

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(robotEnvironment());

geometry_msgs::msg::Twist velocityCap(double x, double y, double theta)
{
  geometry_msgs::msg::Twist cap;
  cap.linear.x = x;
  cap.linear.y = y;
  cap.angular.z = theta;
  return cap;
}

// A final TEB goal along `poses`, capped at `cap`.
Action::Goal tebGoal(const std::vector<PlanarPose> & poses, const geometry_msgs::msg::Twist & cap)
{
  auto goal = pathGoal("teb_controller", poses);
  goal.finished = true;
  goal.max_velocity = cap;
  return goal;
}

class EndToEndTebPid : public EndToEndTest
{
protected:
  // Aisle 1, between the shelf rows at y 2.6-3.4 and 5.4-6.2, facing east along it.
  static constexpr PlanarPose kStart{6.5, 4.2, 0.0};

  EndToEndTebPid()
  : EndToEndTest(kStart, kMoveDeadline) {}

  double distanceFrom(const PlanarPose & place) const
  {
    const auto pose = stack_->robot().mapPose();
    return std::hypot(pose.x - place.x, pose.y - place.y);
  }

  // The largest magnitude of one axis over the commands of the last goal driven.
  double peak(double velmora_sim_robot::BodyTwist::* axis) const
  {
    double largest = 0.0;
    for (const auto & command : commanded()) {
      largest = std::max(largest, std::fabs(command.*axis));
    }
    return largest;
  }

  void expectCommandsWithin(double forward, double sideways, double turn) const
  {
    EXPECT_LE(peak(&velmora_sim_robot::BodyTwist::vx), forward + kLimitSlack);
    EXPECT_LE(peak(&velmora_sim_robot::BodyTwist::vy), sideways + kLimitSlack);
    EXPECT_LE(peak(&velmora_sim_robot::BodyTwist::wz), turn + kLimitSlack);
  }
};

TEST_F(EndToEndTebPid, TebFollowsTheAisleToItsEndNoFasterThanTheGoalsCap)
{
  const PlanarPose end{8.0, 4.2, 0.0};
  ASSERT_EQ(
    drive(tebGoal({kStart, {7.0, 4.2, 0.0}, {7.5, 4.2, 0.0}, end}, velocityCap(0.3, 0.2, 0.5))),
    ResultCode::SUCCEEDED);
  expectRobotAt(end, kTebPositionTolerance, kTebHeadingTolerance);
  expectCommandsWithin(0.3, 0.2, 0.5);
  // The path is long enough to reach the cap: the cap, not the path, held the speed down.
  EXPECT_GT(peak(&velmora_sim_robot::BodyTwist::vx), 0.25);
}

TEST_F(EndToEndTebPid, TebEndsAtAnExtraGoalShortOfThePathsEnd)
{
  auto goal = tebGoal(
    {kStart, {7.5, 4.2, 0.0}, {8.5, 4.2, 0.0}, {9.5, 4.2, 0.0}}, velocityCap(0.4, 0.3, 0.5));
  const PlanarPose extra{7.5, 4.2, 0.0};
  goal.extra_goals = pathGoal("teb_controller", {extra}).nav_path.poses;
  ASSERT_EQ(drive(goal), ResultCode::SUCCEEDED);
  expectRobotAt(extra, kTebPositionTolerance, kTebHeadingTolerance);
  EXPECT_LT(stack_->robot().mapPose().x, 8.0) << "the robot drove on towards the path's end";
}

TEST_F(EndToEndTebPid, TebGoalNearItsDestinationSucceedsWithoutMoving)
{
  auto goal = tebGoal({{8.0, 4.2, 0.0}, {8.1, 4.2, 0.0}}, velocityCap(0.3, 0.2, 0.5));
  goal.near_destination = true;
  EXPECT_EQ(drive(goal), ResultCode::SUCCEEDED);
  EXPECT_LT(distanceFrom(kStart), kStandingStill);
}

TEST_F(EndToEndTebPid, TebRefusesNegativeCapsAndSpeedLimitsWithTheRobotStill)
{
  const std::vector<PlanarPose> path{kStart, {7.0, 4.2, 0.0}, {7.5, 4.2, 0.0}};
  const auto cap = velocityCap(0.3, 0.2, 0.5);
  auto no_speed_limit = tebGoal(path, cap);
  no_speed_limit.speed_limit_percent = std::numeric_limits<float>::quiet_NaN();
  auto backwards_speed_limit = tebGoal(path, cap);
  backwards_speed_limit.speed_limit_percent = -0.2F;
  for (const auto & goal :
    {tebGoal(path, velocityCap(-0.3, 0.2, 0.5)), tebGoal(path, velocityCap(0.3, -0.2, 0.5)),
      tebGoal(path, velocityCap(0.3, 0.2, -0.5)), no_speed_limit, backwards_speed_limit})
  {
    EXPECT_EQ(drive(goal), ResultCode::ABORTED);
  }
  EXPECT_LT(distanceFrom(kStart), kStandingStill);
}

TEST_F(EndToEndTebPid, TebTakesACapThatIsNotANumberAsTheConfiguredLimit)
{
  const PlanarPose end{7.3, 4.2, 0.0};
  ASSERT_EQ(drive(tebGoal({kStart, end}, velocityCap(kNaN, kNaN, kNaN))), ResultCode::SUCCEEDED);
  expectRobotAt(end, kTebPositionTolerance, kTebHeadingTolerance);
  expectCommandsWithin(kConfiguredForward, kConfiguredSideways, kConfiguredTurn);
}

TEST_F(EndToEndTebPid, PidFollowersDriveTheAisleToWithinTheirArrivalTolerance)
{
  // One leg each, the straight-only follower going on from where the other stopped.
  const struct
  {
    const char * controller;
    std::vector<PlanarPose> path;
  } legs[] = {
    {"pid_controller", {{7.0, 4.2, 0.0}, {8.0, 4.2, 0.0}}},
    {"pid_controller_straight_only", {{8.5, 4.2, 0.0}, {9.0, 4.2, 0.0}}},
  };
  for (const auto & leg : legs) {
    SCOPED_TRACE(leg.controller);
    ASSERT_EQ(drive(pathGoal(leg.controller, leg.path)), ResultCode::SUCCEEDED);
    EXPECT_LT(distanceFrom(leg.path.back()), kPidPositionTolerance);
    EXPECT_LE(peak(&velmora_sim_robot::BodyTwist::vx), Controller::kMaxSpeed + kLimitSlack);
  }
}

TEST_F(EndToEndTebPid, StraightOnlyPidRefusesAPathBehindTheRobot)
{
  // West of the robot, with poses facing east: to be driven in reverse.
  EXPECT_EQ(
    drive(pathGoal("pid_controller_straight_only", {{6.0, 4.2, 0.0}, {5.5, 4.2, 0.0}})),
    ResultCode::ABORTED);
  for (const auto & command : commanded()) {
    ASSERT_GE(command.vx, 0.0) << "the robot was commanded backwards";
  }
  EXPECT_LT(distanceFrom(kStart), kStandingStill);
}

TEST_F(EndToEndTebPid, PidFollowersEndAnEmptyPathInPlaceAndRefuseAPoseThatIsNotANumber)
{
  for (const std::string controller : {"pid_controller", "pid_controller_straight_only"}) {
    SCOPED_TRACE(controller);
    EXPECT_EQ(drive(pathGoal(controller, {})), ResultCode::SUCCEEDED);
    EXPECT_EQ(
      drive(pathGoal(controller, {{7.0, 4.2, 0.0}, {kNaN, 4.2, 0.0}})), ResultCode::ABORTED);
    EXPECT_EQ(
      drive(pathGoal(controller, {{7.0, 4.2, 0.0}, {8.0, 4.2, kNaN}})), ResultCode::ABORTED);
  }
  EXPECT_LT(distanceFrom(kStart), kStandingStill);
}

}  // namespace
