// The PID path-following core on its own: refusals, arrival, the speed ramp and its bounds, the
// choice between driving forwards, reversing and turning in place, and closed-loop runs of a
// simulated differential base along paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "pid_core/controller.hpp"

namespace
{

constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw)
{
  geometry_msgs::msg::PoseStamped result;
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.z = std::sin(yaw / 2.0);
  result.pose.orientation.w = std::cos(yaw / 2.0);
  return result;
}

nav_msgs::msg::Path path(const std::vector<geometry_msgs::msg::PoseStamped> & poses)
{
  nav_msgs::msg::Path result;
  result.header.frame_id = "map";
  result.poses = poses;
  return result;
}

bool isFinite(const geometry_msgs::msg::Twist & t)
{
  return std::isfinite(t.linear.x) && std::isfinite(t.linear.y) && std::isfinite(t.angular.z);
}

// A base that does what it is told for one nominal cycle.
struct Unicycle
{
  double x;
  double y;
  double yaw;

  void apply(const geometry_msgs::msg::Twist & command)
  {
    const double dt = Controller::kNominalCycle;
    x += command.linear.x * std::cos(yaw) * dt;
    y += command.linear.x * std::sin(yaw) * dt;
    yaw += command.angular.z * dt;
  }
  geometry_msgs::msg::PoseStamped stamped() const {return pose(x, y, yaw);}
};

TEST(PidCore, WithoutAUsablePathOrPoseItCommandsAStandstill)
{
  Controller core;
  geometry_msgs::msg::Twist command;
  command.linear.x = 1.0;
  EXPECT_FALSE(core.getVelocityCommands(pose(0.0, 0.0, 0.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());

  // A path with a pose that is not finite is refused whole, even where the robot stands on its end.
  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(kNaN, 1.0, 0.0), pose(0.0, 0.0, 0.0)}));
  command.angular.z = 1.0;
  EXPECT_FALSE(core.getVelocityCommands(pose(0.0, 0.0, 0.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());

  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(2.0, 0.0, 0.0)}));
  command.linear.x = 1.0;
  EXPECT_FALSE(core.getVelocityCommands(pose(kNaN, 0.0, 0.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());

  // init() forgets the path.
  ASSERT_FALSE(core.getVelocityCommands(pose(0.0, 0.0, 0.0), command));
  EXPECT_GT(command.linear.x, 0.0);
  core.init();
  EXPECT_FALSE(core.getVelocityCommands(pose(0.0, 0.0, 0.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());
}

TEST(PidCore, ArrivesWithinToleranceOrPastTheEnd)
{
  Controller core;
  geometry_msgs::msg::Twist command;
  core.setStraightCB(path({pose(1.0, 1.0, 0.0)}));
  EXPECT_TRUE(core.getVelocityCommands(pose(1.0 + 0.9 * Controller::kArrivalTolerance, 1.0, 2.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());

  // A one-pose path away from the robot is driven to.
  core.setStraightCB(path({pose(2.0, 1.0, 0.0)}));
  EXPECT_FALSE(core.getVelocityCommands(pose(1.0, 1.0, 0.0), command));
  EXPECT_GT(command.linear.x, 0.0);

  // Beyond the last pose along the last segment: done, even outside the tolerance.
  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(1.0, 0.0, 0.0)}));
  EXPECT_TRUE(core.getVelocityCommands(pose(1.2, 0.05, 0.0), command));
  EXPECT_EQ(command, geometry_msgs::msg::Twist());
  // Short of it by more than the tolerance: not done.
  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(1.0, 0.0, 0.0)}));
  EXPECT_FALSE(core.getVelocityCommands(pose(0.9, 0.0, 0.0), command));
}

TEST(PidCore, RampsUpAtTheAccelerationAndKeepsWithinItsBounds)
{
  Controller core;
  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(5.0, 0.0, 0.0)}));
  geometry_msgs::msg::Twist command;
  ASSERT_FALSE(core.getVelocityCommands(pose(0.0, 0.0, 0.0), command));
  EXPECT_NEAR(command.linear.x, Controller::kAcceleration * Controller::kNominalCycle, 1e-9);

  // Stamps 0.1 s apart make the ramp step twice as large.
  Controller stamped;
  stamped.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(5.0, 0.0, 0.0)}));
  auto at = pose(0.0, 0.0, 0.0);
  at.header.stamp.sec = 10;
  ASSERT_FALSE(stamped.getVelocityCommands(at, command));
  at.header.stamp.nanosec = 100000000;
  ASSERT_FALSE(stamped.getVelocityCommands(at, command));
  EXPECT_NEAR(command.linear.x, 3.0 * Controller::kAcceleration * Controller::kNominalCycle, 1e-9);

  double previous = 0.0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_FALSE(core.getVelocityCommands(pose(0.5, 0.1, 0.1), command));
    EXPECT_GE(command.linear.x, previous - 1e-12);
    EXPECT_LE(command.linear.x, Controller::kMaxSpeed);
    EXPECT_LE(
      std::fabs(command.angular.z), Controller::kMaxCurvature * command.linear.x + 1e-12);
    EXPECT_LT(command.angular.z, 0.0) << "it steers back to the path on its right";
    previous = command.linear.x;
  }
  EXPECT_GT(previous, 0.5 * Controller::kMaxSpeed);
}

TEST(PidCore, ReversesAlongABackwardPathAndTurnsInPlaceTowardsAPathBehind)
{
  Controller core;
  geometry_msgs::msg::Twist command;
  // Behind the robot, planned with the robot's heading: driven backwards.
  core.setStraightCB(path({pose(5.0, 0.0, 0.0), pose(3.0, 0.0, 0.0)}));
  ASSERT_FALSE(core.getVelocityCommands(pose(5.0, 0.0, 0.0), command));
  EXPECT_LT(command.linear.x, 0.0);
  EXPECT_NEAR(command.angular.z, 0.0, 1e-9);

  // Behind the robot, planned facing the other way: the robot turns to face it first.
  core.init();
  core.setStraightCB(path({pose(5.0, 0.0, kPi), pose(3.0, 0.0, kPi)}));
  ASSERT_FALSE(core.getVelocityCommands(pose(5.0, 0.0, 0.0), command));
  EXPECT_EQ(command.linear.x, 0.0);
  EXPECT_NEAR(std::fabs(command.angular.z), Controller::kMaxTurnRate, 1e-9);
}

// Drives a simulated base with the core until it reports the end; the number of cycles used.
int driveToEnd(Controller & core, Unicycle & robot, geometry_msgs::msg::Twist & last_moving)
{
  for (int cycle = 1; cycle <= 4000; ++cycle) {
    geometry_msgs::msg::Twist command;
    const bool done = core.getVelocityCommands(robot.stamped(), command);
    EXPECT_TRUE(isFinite(command));
    EXPECT_LE(std::fabs(command.linear.x), Controller::kMaxSpeed + 1e-12);
    EXPECT_LE(std::fabs(command.angular.z), Controller::kMaxTurnRate + 1e-12);
    if (done) {
      EXPECT_EQ(command, geometry_msgs::msg::Twist());
      return cycle;
    }
    last_moving = command;
    robot.apply(command);
  }
  return -1;
}

TEST(PidCore, FollowsAnLShapedPathToItsEndAndSlowsDownBeforeIt)
{
  Controller core;
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  for (int i = 0; i <= 20; ++i) {
    poses.push_back(pose(0.1 * i, 0.0, 0.0));
  }
  for (int i = 1; i <= 15; ++i) {
    poses.push_back(pose(2.0, 0.1 * i, kPi / 2.0));
  }
  core.setStraightCB(path(poses));
  Unicycle robot{0.0, 0.0, 0.0};
  geometry_msgs::msg::Twist last_moving;
  ASSERT_GT(driveToEnd(core, robot, last_moving), 0);
  EXPECT_LT(std::hypot(robot.x - 2.0, robot.y - 1.5), 0.1);
  EXPECT_LT(last_moving.linear.x, 0.5 * Controller::kMaxSpeed) << "it brakes before the end";
}

TEST(PidCore, StartingOffThePathItRejoinsAndArrives)
{
  Controller core;
  core.setStraightCB(path({pose(0.0, 0.0, 0.0), pose(3.0, 0.0, 0.0)}));
  Unicycle robot{0.0, 0.4, -0.3};
  geometry_msgs::msg::Twist last_moving;
  ASSERT_GT(driveToEnd(core, robot, last_moving), 0);
  EXPECT_NEAR(robot.x, 3.0, 0.1);
  EXPECT_NEAR(robot.y, 0.0, 0.1);
}

}  // namespace

TEST(PidCore, ArrivesFromEveryStartingHeadingWithoutHesitatingBetweenDirections)
{
  // The robot's own pose leads into a short path whose poses face sideways to the first step:
  // turning on the spot must never flip the choice between driving forwards and reversing.
  for (int step = 0; step < 36; ++step) {
    const double start_yaw = -kPi + step * kPi / 18.0;
    for (const double path_yaw : {-0.5, 0.0, 0.3, kPi / 2.0}) {
      Controller core;
      core.setStraightCB(path({pose(6.237, 4.245, start_yaw), pose(6.5, 4.2, path_yaw),
          pose(6.666, 4.378, path_yaw)}));
      Unicycle robot{6.237, 4.245, start_yaw};
      geometry_msgs::msg::Twist last_moving;
      EXPECT_GT(driveToEnd(core, robot, last_moving), 0)
        << "starting at yaw " << start_yaw << " for poses at yaw " << path_yaw;
      // Coming in at an angle it may pass the end beside it, which also ends the path.
      EXPECT_LT(std::hypot(robot.x - 6.666, robot.y - 4.378), 0.15);
    }
  }
}

TEST(PidCore, ArrivesAlongAPathOfManyTinySegments)
{
  // A planner's dense path: 100,000 poses over a few centimetres, each step shorter than a
  // micrometre, after the robot's own pose beside it.
  struct Case
  {
    Unicycle robot;
    double end_x, end_y, yaw;
  };
  for (const Case & c : {Case{{6.452, 3.966, 0.521}, 6.423, 4.152, 0.314},
      Case{{6.225, 3.950, -1.532}, 6.509, 4.252, -0.182}})
  {
    std::vector<geometry_msgs::msg::PoseStamped> poses{c.robot.stamped()};
    constexpr int kPoses = 100000;
    for (int i = 0; i < kPoses; ++i) {
      const double share = static_cast<double>(i) / (kPoses - 1);
      poses.push_back(pose(6.5 + share * (c.end_x - 6.5), 4.2 + share * (c.end_y - 4.2), c.yaw));
    }
    Controller core;
    core.setStraightCB(path(poses));
    Unicycle robot = c.robot;
    geometry_msgs::msg::Twist last_moving;
    EXPECT_GT(driveToEnd(core, robot, last_moving), 0) << "towards " << c.end_x << ", " << c.end_y;
    EXPECT_LT(std::hypot(robot.x - c.end_x, robot.y - c.end_y), 0.15);
  }
}

TEST(PidCore, StopsAtASharpBendToTurnInPlaceButDrivesThroughAGentleOne)
{
  // Two legs of 1.5 m with poses every 0.05 m, as a planner spaces them, meeting at (1.5, 0).
  const auto bentPath = [](double turn) {
      std::vector<geometry_msgs::msg::PoseStamped> poses;
      for (int i = 0; i <= 30; ++i) {
        poses.push_back(pose(0.05 * i, 0.0, 0.0));
      }
      for (int i = 1; i <= 30; ++i) {
        poses.push_back(pose(1.5 + 0.05 * i * std::cos(turn), 0.05 * i * std::sin(turn), turn));
      }
      return path(poses);
    };
  for (const double turn : {kPi / 2.0, -kPi / 2.0, 0.2}) {
    SCOPED_TRACE(turn);
    Controller core;
    core.setStraightCB(bentPath(turn));
    Unicycle robot{0.0, 0.0, 0.0};
    int turns_in_place = 0;
    double worst_off_first_leg = 0.0;
    bool done = false;
    for (int cycle = 0; cycle < 2000 && !done; ++cycle) {
      geometry_msgs::msg::Twist command;
      done = core.getVelocityCommands(robot.stamped(), command);
      if (command.linear.x == 0.0 && command.angular.z != 0.0) {
        ++turns_in_place;
        EXPECT_LT(std::hypot(robot.x - 1.5, robot.y), 2.0 * Controller::kArrivalTolerance)
          << "turning in place away from the bend";
      }
      if (robot.x < 1.5 - Controller::kArrivalTolerance) {
        worst_off_first_leg = std::max(worst_off_first_leg, std::fabs(robot.y));
      }
      robot.apply(command);
    }
    EXPECT_TRUE(done);
    if (std::fabs(turn) > Controller::kTurnInPlaceError) {
      EXPECT_GT(turns_in_place, 0);
      EXPECT_LT(worst_off_first_leg, 0.01) << "no turning towards the next leg before the bend";
    } else {
      EXPECT_EQ(turns_in_place, 0);
    }
  }
}
