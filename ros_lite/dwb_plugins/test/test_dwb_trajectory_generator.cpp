// The trajectory generators: which velocities a search tries, how each is simulated, which
// parameters follow run-time changes and how speed limits act while the planner runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dwb_core/trajectory_generator.hpp"
#include "dwb_plugins/kinematic_parameters.hpp"
#include "dwb_plugins/limited_accel_generator.hpp"
#include "dwb_plugins/standard_traj_generator.hpp"
#include "nav2_costmap_2d/costmap_filters/filter_values.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"
#include "ros_lite/testing/ros_context.hpp"

namespace
{

constexpr double kTol = 1e-9;
const char kPlugin[] = "gen";

using Twist = nav_2d_msgs::msg::Twist2D;
using Twists = std::vector<Twist>;
using Trajectory = dwb_msgs::msg::Trajectory2D;

Twist twist(double x, double y, double theta)
{
  Twist t;
  t.x = x;
  t.y = y;
  t.theta = theta;
  return t;
}

geometry_msgs::msg::Pose2D pose(double x, double y, double theta)
{
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

rclcpp::Parameter param(const std::string & suffix, double value)
{
  return rclcpp::Parameter(std::string(kPlugin) + "." + suffix, value);
}

rclcpp::Parameter intParam(const std::string & suffix, int value)
{
  return rclcpp::Parameter(std::string(kPlugin) + "." + suffix, value);
}

rclcpp::Parameter boolParam(const std::string & suffix, bool value)
{
  return rclcpp::Parameter(std::string(kPlugin) + "." + suffix, value);
}

// Sorted distinct values of one component, rounded so float noise does not split them.
std::vector<double> values(const Twists & twists, double Twist::* component)
{
  std::set<long long> keys;
  for (const Twist & t : twists) {
    keys.insert(std::llround(t.*component * 1e6));
  }
  std::vector<double> result;
  for (long long key : keys) {
    result.push_back(static_cast<double>(key) / 1e6);
  }
  return result;
}

double seconds(const builtin_interfaces::msg::Duration & d)
{
  return d.sec + d.nanosec * 1e-9;
}

void expectSameTwists(const Twists & actual, const Twists & expected)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].x, expected[i].x, kTol) << i;
    EXPECT_NEAR(actual[i].y, expected[i].y, kTol) << i;
    EXPECT_NEAR(actual[i].theta, expected[i].theta, kTol) << i;
  }
}

class TrajectoryGeneratorTest : public ::testing::Test
{
protected:
  // A differential-drive robot: forward up to 1 m/s, turning up to 1 rad/s, no xy speed check.
  std::vector<rclcpp::Parameter> baseConfig() const
  {
    return {
      param("max_vel_x", 1.0), param("max_vel_theta", 1.0), param("max_speed_xy", -1.0),
      param("acc_lim_x", 1.0), param("decel_lim_x", -2.0),
      param("acc_lim_theta", 2.0), param("decel_lim_theta", -2.0),
      intParam("vx_samples", 5), intParam("vy_samples", 1), intParam("vtheta_samples", 5),
      param("sim_time", 1.0)};
  }

  // A node with the base configuration, any value given here replacing the one of that name.
  void makeNode(const std::vector<rclcpp::Parameter> & extra = {})
  {
    std::vector<rclcpp::Parameter> overrides = extra;
    for (const rclcpp::Parameter & base : baseConfig()) {
      const bool replaced = std::any_of(extra.begin(), extra.end(), [&base](const auto & p) {
            return p.get_name() == base.get_name();
          });
      if (!replaced) {
        overrides.push_back(base);
      }
    }
    rclcpp::NodeOptions options;
    options.parameter_overrides(overrides);
    node_ = std::make_shared<nav2_util::LifecycleNode>("generator_test", "", options);
  }

  template<class GeneratorT = dwb_plugins::StandardTrajectoryGenerator>
  std::shared_ptr<GeneratorT> make(const std::vector<rclcpp::Parameter> & extra = {})
  {
    makeNode(extra);
    auto generator = std::make_shared<GeneratorT>();
    generator->initialize(node_, kPlugin);
    return generator;
  }

  void setAll(const std::vector<rclcpp::Parameter> & parameters)
  {
    for (const auto & result : node_->set_parameters(parameters)) {
      ASSERT_TRUE(result.successful) << result.reason;
    }
  }

  ros_lite::testing::ScopedRos ros_;
  nav2_util::LifecycleNode::SharedPtr node_;
};

// ---------------------------------------------------------------- velocity samples

TEST_F(TrajectoryGeneratorTest, SamplesSpanTheWindowWithBothEndsAndSkipStandingStill)
{
  auto generator = make();
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));

  // Reachable within sim_time from 0.5 m/s: everything from 0 to the 1 m/s maximum.
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{-1.0, -0.5, 0.0, 0.5, 1.0}));
  EXPECT_EQ(values(twists, &Twist::y), (std::vector<double>{0.0}));
  EXPECT_EQ(twists.size(), 24u);
  for (const Twist & t : twists) {
    EXPECT_FALSE(t.x == 0.0 && t.y == 0.0 && t.theta == 0.0);
  }
}

TEST_F(TrajectoryGeneratorTest, SamplesRunThetaFastestThenYThenX)
{
  auto generator = make({
    intParam("vx_samples", 2), intParam("vy_samples", 2), intParam("vtheta_samples", 2),
    param("min_vel_y", -0.2), param("max_vel_y", 0.2), param("acc_lim_y", 1.0),
    param("decel_lim_y", -1.0)});
  expectSameTwists(
    generator->getTwists(twist(0.5, 0.0, 0.0)), {
      twist(0.0, -0.2, -1.0), twist(0.0, -0.2, 1.0), twist(0.0, 0.2, -1.0), twist(0.0, 0.2, 1.0),
      twist(1.0, -0.2, -1.0), twist(1.0, -0.2, 1.0), twist(1.0, 0.2, -1.0), twist(1.0, 0.2, 1.0)});
}

TEST_F(TrajectoryGeneratorTest, WindowIsBoundedByAccelerationOverSimTime)
{
  auto generator = make({param("sim_time", 0.25)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.2));

  // x: 0.5 - 2.0 * 0.25 up to 0.5 + 1.0 * 0.25; theta: 0.2 -/+ 2.0 * 0.25.
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0, 0.1875, 0.375, 0.5625, 0.75}));
  // Zero lies inside the theta window without being on its grid: it is not tried.
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{-0.3, -0.05, 0.2, 0.45, 0.7}));
  EXPECT_EQ(twists.size(), 25u);
}

TEST_F(TrajectoryGeneratorTest, AWideWindowHasAtLeastTwoSamplesANarrowOneExactlyOne)
{
  auto generator = make({intParam("vx_samples", 1), intParam("vtheta_samples", 0)});
  const Twists wide = generator->getTwists(twist(0.5, 0.0, 0.0));
  EXPECT_EQ(values(wide, &Twist::x), (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(values(wide, &Twist::theta), (std::vector<double>{-1.0, 1.0}));
  EXPECT_EQ(wide.size(), 4u);

  setAll({param("max_vel_theta", 0.0)});
  // Theta's window is the single value 0, and (0, 0, 0) is left out.
  expectSameTwists(generator->getTwists(twist(0.5, 0.0, 0.0)), {twist(1.0, 0.0, 0.0)});
}

TEST_F(TrajectoryGeneratorTest, VelocityAboveTheMaximumIsBroughtIntoRange)
{
  // E.g. right after the maximum was lowered: the window starts from the maximum.
  auto generator = make({param("sim_time", 0.1)});
  setAll({param("max_vel_x", 0.4)});
  const auto xs = values(generator->getTwists(twist(0.9, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.2, kTol);
  EXPECT_NEAR(xs.back(), 0.4, kTol);
}

TEST_F(TrajectoryGeneratorTest, MinimumAboveMaximumEmptiesTheWindow)
{
  auto generator = make();
  setAll({param("min_vel_x", 0.08), param("max_vel_x", 0.0)});
  // An empty x window ends the search before it starts.
  EXPECT_TRUE(generator->getTwists(twist(0.3, 0.0, 0.0)).empty());

  // An empty theta window (a negative max_vel_theta) does not: theta stays at the window's
  // lower end, projected from the current velocity clamped into [0.5, -0.5], i.e. to 0.5.
  setAll({param("min_vel_x", 0.0), param("max_vel_x", 1.0), param("max_vel_theta", -0.5)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{0.5}));
  EXPECT_EQ(twists.size(), 5u);
}

TEST_F(TrajectoryGeneratorTest, NonFiniteCurrentVelocityIsTakenAsItIs)
{
  auto generator = make({param("sim_time", 0.25)});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Twists twists =
    generator->getTwists(twist(nan, 0.0, std::numeric_limits<double>::infinity()));
  // Compared with NaN, each end of the x window is its limit, beyond any acceleration.
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  // An infinite theta is clamped to the maximum and the window reaches 0.5 down from there.
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{0.5, 0.625, 0.75, 0.875, 1.0}));
}

// ---------------------------------------------------------------- speed checks

TEST_F(TrajectoryGeneratorTest, XYSpeedLimitsSkipTwistsTooFastOrTooSlowWithoutTurning)
{
  auto generator = make({
    param("max_speed_xy", 0.5), param("min_speed_xy", 0.3), param("min_speed_theta", 0.4)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));
  ASSERT_FALSE(twists.empty());
  for (const Twist & t : twists) {
    EXPECT_LE(std::hypot(t.x, t.y), 0.5 + 1e-3);
    EXPECT_TRUE(std::hypot(t.x, t.y) >= 0.3 - 1e-3 || std::fabs(t.theta) >= 0.4 - 1e-3);
  }
  const auto has = [&twists](double x, double theta) {
      return std::any_of(twists.begin(), twists.end(), [&](const Twist & t) {
               return std::fabs(t.x - x) < 1e-6 && std::fabs(t.theta - theta) < 1e-6;
             });
    };
  EXPECT_TRUE(has(0.5, 0.0));
  EXPECT_TRUE(has(0.25, 0.5));    // slow, but turning fast enough
  EXPECT_FALSE(has(0.25, 0.0));   // slow and not turning
  EXPECT_FALSE(has(0.75, 0.0));   // too fast
}

TEST_F(TrajectoryGeneratorTest, ZeroMaxSpeedXYLeavesOnlyPureRotations)
{
  // 0.0 is also the default: a node that never sets max_speed_xy only turns on the spot.
  auto generator = make({param("max_speed_xy", 0.0)});
  expectSameTwists(
    generator->getTwists(twist(0.5, 0.0, 0.0)),
    {twist(0.0, 0.0, -1.0), twist(0.0, 0.0, -0.5), twist(0.0, 0.0, 0.5), twist(0.0, 0.0, 1.0)});
}

TEST_F(TrajectoryGeneratorTest, ANegativeSpeedCheckValueTurnsThatCheckOff)
{
  const auto slowAndStraight = [](const Twists & twists) {
      return std::any_of(twists.begin(), twists.end(), [](const Twist & t) {
               return std::fabs(t.x - 0.25) < 1e-6 && t.theta == 0.0;
             });
    };
  auto generator = make({param("min_speed_xy", 0.3), param("min_speed_theta", 0.4)});
  EXPECT_FALSE(slowAndStraight(generator->getTwists(twist(0.5, 0.0, 0.0))));
  setAll({param("min_speed_theta", -1.0)});
  EXPECT_TRUE(slowAndStraight(generator->getTwists(twist(0.5, 0.0, 0.0))));
  setAll({param("min_speed_theta", 0.4), param("min_speed_xy", -1.0)});
  EXPECT_TRUE(slowAndStraight(generator->getTwists(twist(0.5, 0.0, 0.0))));
  // max_speed_xy is -1 in the base configuration: the full 1 m/s is sampled.
  EXPECT_NEAR(values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 1.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, IsValidSpeedAppliesEachCheckWithinEpsilon)
{
  makeNode({
    param("max_speed_xy", 0.5), param("min_speed_xy", 0.3), param("min_speed_theta", 0.4)});
  dwb_plugins::KinematicsHandler handler;
  handler.initialize(node_, kPlugin);
  dwb_plugins::KinematicParameters limits = handler.getKinematics();
  EXPECT_TRUE(limits.isValidSpeed(0.5, 0.0, 0.0));
  EXPECT_TRUE(limits.isValidSpeed(std::sqrt(0.25 + 0.9e-5), 0.0, 0.0));
  EXPECT_FALSE(limits.isValidSpeed(std::sqrt(0.25 + 1.1e-5), 0.0, 0.0));
  EXPECT_TRUE(limits.isValidSpeed(0.3, 0.4, 0.0));      // 0.5 together
  EXPECT_FALSE(limits.isValidSpeed(0.4, 0.4, 0.0));     // 0.57 together
  EXPECT_FALSE(limits.isValidSpeed(0.2, 0.0, 0.0));     // slow and not turning
  EXPECT_FALSE(limits.isValidSpeed(0.2, 0.0, 0.39));
  EXPECT_TRUE(limits.isValidSpeed(0.2, 0.0, -0.4));     // slow, but turning fast enough
  EXPECT_TRUE(limits.isValidSpeed(0.0, 0.3, 0.0));
  EXPECT_FALSE(limits.isValidSpeed(0.0, 0.0, 0.0));

  setAll({param("max_speed_xy", 0.0), param("min_speed_xy", -1.0), param("min_speed_theta", 0.0)});
  limits = handler.getKinematics();
  EXPECT_FALSE(limits.isValidSpeed(0.01, 0.0, 1.0));
  EXPECT_TRUE(limits.isValidSpeed(0.0, 0.0, 1.0));
  EXPECT_TRUE(limits.isValidSpeed(0.0, 0.0, 1e-9));
  EXPECT_FALSE(limits.isValidSpeed(0.0, 0.0, 0.0));
}

TEST_F(TrajectoryGeneratorTest, SquaredSpeedLimitsFollowTheirRunTimeChangesAsInTheField)
{
  auto generator = make({param("max_speed_xy", 1.0)});
  const auto fastest = [&generator]() {
      return values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back();
    };
  // A new max_speed_xy is not squared for the check until min_speed_theta changes...
  setAll({param("max_speed_xy", 0.5)});
  EXPECT_NEAR(fastest(), 1.0, kTol);
  setAll({param("min_speed_theta", 0.0)});
  EXPECT_NEAR(fastest(), 0.5, kTol);
  // ... or a speed limit is set.
  setAll({param("max_speed_xy", 0.75)});
  EXPECT_NEAR(fastest(), 0.5, kTol);
  generator->setSpeedLimit(nav2_costmap_2d::NO_SPEED_LIMIT, false);
  EXPECT_NEAR(fastest(), 0.75, kTol);

  // A new min_speed_xy takes effect at once.
  setAll({param("min_speed_theta", 0.6), param("min_speed_xy", 0.3)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));
  EXPECT_FALSE(std::any_of(twists.begin(), twists.end(), [](const Twist & t) {
      return std::fabs(t.x - 0.25) < 1e-6 && std::fabs(t.theta) < 0.6;
    }));
}

TEST_F(TrajectoryGeneratorTest, SpeedChecksUseTheLimitsInForceWhileIterating)
{
  auto generator = make({param("max_speed_xy", 1.0), intParam("vtheta_samples", 1)});
  generator->startNewIteration(twist(0.5, 0.0, 0.0));
  ASSERT_TRUE(generator->hasMoreTwists());
  EXPECT_NEAR(generator->nextTwist().x, 0.0, kTol);
  // The window stays as it started; the samples still to come are checked against the limit.
  generator->setSpeedLimit(50.0, true);
  Twists rest;
  while (generator->hasMoreTwists()) {
    rest.push_back(generator->nextTwist());
  }
  EXPECT_EQ(values(rest, &Twist::x), (std::vector<double>{0.0, 0.25, 0.5}));
}

// ---------------------------------------------------------------- simulation

TEST_F(TrajectoryGeneratorTest, SimulationAcceleratesWithinTheLimitAndRepeatsTheLastPose)
{
  auto generator = make({boolParam("discretize_by_time", true), param("time_granularity", 0.1)});
  const Trajectory trajectory = generator->generateTrajectory(
    pose(0.0, 0.0, 0.0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));

  // The start, ten steps, the last pose again; an offset per step and one for the repeat.
  ASSERT_EQ(trajectory.poses.size(), 12u);
  ASSERT_EQ(trajectory.time_offsets.size(), 11u);
  EXPECT_EQ(trajectory.velocity, twist(1.0, 0.0, 0.0));
  for (size_t k = 0; k <= 10; ++k) {
    // The speed in step i is 0.1 * i m/s, so x after k steps is 0.01 * k (k + 1) / 2.
    EXPECT_NEAR(trajectory.poses[k].x, 0.01 * k * (k + 1) / 2.0, 1e-9) << k;
    EXPECT_NEAR(trajectory.poses[k].y, 0.0, kTol);
    // Each step's offset is the time at its start; the repeated pose's is the whole sim_time.
    EXPECT_NEAR(seconds(trajectory.time_offsets[k]), 0.1 * k, 1e-6) << k;
  }
  EXPECT_EQ(trajectory.poses[11], trajectory.poses[10]);
}

TEST_F(TrajectoryGeneratorTest, SimulationDeceleratesWithinTheDecelerationLimit)
{
  auto generator = make({boolParam("discretize_by_time", true), param("time_granularity", 0.25)});
  const Trajectory trajectory = generator->generateTrajectory(
    pose(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0), twist(0.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 6u);
  // 0.5 m/s then stopped: 2 m/s^2 over 0.25 s steps.
  EXPECT_NEAR(trajectory.poses[1].x, 0.125, 1e-9);
  EXPECT_NEAR(trajectory.poses[4].x, 0.125, 1e-9);
  EXPECT_NEAR(trajectory.poses[5].x, 0.125, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, MotionIsIntegratedInTheRobotFrame)
{
  auto generator = make({param("max_vel_y", 1.0), param("acc_lim_y", 1.0)});
  const Trajectory forward = generator->generateTrajectory(
    pose(1.0, 2.0, M_PI / 2), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  EXPECT_NEAR(forward.poses.back().x, 1.0, 1e-9);
  EXPECT_NEAR(forward.poses.back().y, 3.0, 1e-9);

  // Facing +y, the robot's left is -x.
  const Trajectory sideways = generator->generateTrajectory(
    pose(0.0, 0.0, M_PI / 2), twist(0.0, 0.5, 0.0), twist(0.0, 0.5, 0.0));
  EXPECT_NEAR(sideways.poses.back().x, -0.5, 1e-9);
  EXPECT_NEAR(sideways.poses.back().y, 0.0, 1e-9);

  const Trajectory turning = generator->generateTrajectory(
    pose(0.0, 0.0, 0.3), twist(0.0, 0.0, 0.5), twist(0.0, 0.0, 0.5));
  EXPECT_NEAR(turning.poses.back().theta, 0.8, 1e-9);
  EXPECT_NEAR(std::hypot(turning.poses.back().x, turning.poses.back().y), 0.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, StepsFollowTheCoarserOfDistanceAndAngleGranularity)
{
  auto generator = make({param("angular_granularity", 0.125)});   // linear 0.5 m, sim_time 1 s
  // 1 m at 0.5 m a step: two steps.
  const Trajectory straight = generator->generateTrajectory(
    pose(0, 0, 0), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  EXPECT_EQ(straight.poses.size(), 4u);
  // 0.5 rad at 0.125 rad a step outweighs 0.2 m: four steps.
  const Trajectory turning = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.2, 0.0, 0.5), twist(0.2, 0.0, 0.5));
  EXPECT_EQ(turning.poses.size(), 6u);
  EXPECT_NEAR(seconds(turning.time_offsets[3]), 0.75, 1e-6);
  EXPECT_NEAR(seconds(turning.time_offsets.back()), 1.0, 1e-6);
  // Standing still is still one step.
  const Trajectory still = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(0.0, 0.0, 0.0));
  EXPECT_EQ(still.poses.size(), 3u);
  EXPECT_EQ(still.time_offsets.size(), 2u);
}

TEST_F(TrajectoryGeneratorTest, IncludeLastPointOffOmitsOnlyTheRepeatedPose)
{
  auto generator = make({boolParam("include_last_point", false)});
  const Trajectory trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 3u);
  ASSERT_EQ(trajectory.time_offsets.size(), 2u);
  EXPECT_NEAR(trajectory.poses[1].x, 0.5, 1e-9);
  EXPECT_NEAR(trajectory.poses[2].x, 1.0, 1e-9);
  EXPECT_NEAR(seconds(trajectory.time_offsets[0]), 0.0, 1e-6);
  EXPECT_NEAR(seconds(trajectory.time_offsets[1]), 0.5, 1e-6);
}

TEST_F(TrajectoryGeneratorTest, LimitVelCmdInTrajReportsTheFirstSimulatedVelocity)
{
  const auto accelerate = [](dwb_core::TrajectoryGenerator & generator) {
      return generator.generateTrajectory(
        pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.5)).velocity;
    };
  const std::vector<rclcpp::Parameter> byTime{
    boolParam("discretize_by_time", true), param("time_granularity", 0.1)};
  EXPECT_EQ(accelerate(*make(byTime)), twist(1.0, 0.0, 0.5));

  std::vector<rclcpp::Parameter> limited = byTime;
  limited.push_back(boolParam("limit_vel_cmd_in_traj", true));
  // One 0.1 s step from standing: 1 m/s^2 and 2 rad/s^2.
  const Twist first = accelerate(*make(limited));
  EXPECT_NEAR(first.x, 0.1, kTol);
  EXPECT_NEAR(first.y, 0.0, kTol);
  EXPECT_NEAR(first.theta, 0.2, kTol);

  // The limited-acceleration generator's first velocity is the command itself.
  limited.push_back(param("sim_period", 0.1));
  EXPECT_EQ(accelerate(*make<dwb_plugins::LimitedAccelGenerator>(limited)), twist(1.0, 0.0, 0.5));
}

TEST_F(TrajectoryGeneratorTest, NonFiniteInputsAreSimulatedAsTheyAre)
{
  auto generator = make();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Trajectory from_nowhere = generator->generateTrajectory(
    pose(nan, 0, 0), twist(0.5, 0.0, 0.0), twist(0.5, 0.0, 0.0));
  ASSERT_EQ(from_nowhere.poses.size(), 3u);
  for (const auto & p : from_nowhere.poses) {
    EXPECT_TRUE(std::isnan(p.x));
  }
  // Compared with NaN, the first step's velocity is the command itself.
  const Trajectory unknown_speed = generator->generateTrajectory(
    pose(0, 0, 0), twist(nan, 0.0, 0.0), twist(0.5, 0.0, 0.0));
  EXPECT_NEAR(unknown_speed.poses[1].x, 0.5, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, LimitedAccelerationWindowSpansOneSimPeriodAndJumpsToTheCommand)
{
  auto generator = make<dwb_plugins::LimitedAccelGenerator>({param("sim_period", 0.1)});
  const auto xs = values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.3, kTol);
  EXPECT_NEAR(xs.back(), 0.6, kTol);

  const Trajectory trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 4u);
  EXPECT_NEAR(trajectory.poses[1].x, 0.5, 1e-9);
  EXPECT_NEAR(trajectory.poses[2].x, 1.0, 1e-9);
  EXPECT_NEAR(trajectory.poses[3].x, 1.0, 1e-9);

  // A sim_period of zero is taken too: the window is the current velocity alone.
  auto still = make<dwb_plugins::LimitedAccelGenerator>({param("sim_period", 0.0)});
  EXPECT_EQ(values(still->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x), (std::vector<double>{0.5}));
}

TEST_F(TrajectoryGeneratorTest, LimitedAccelerationFallsBackToTheControllerPeriod)
{
  auto by_default = make<dwb_plugins::LimitedAccelGenerator>();
  // Declared with 20 Hz when the node lacks it: a 0.05 s window.
  EXPECT_DOUBLE_EQ(node_->get_parameter("controller_frequency").as_double(), 20.0);
  auto xs = values(by_default->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.4, kTol);
  EXPECT_NEAR(xs.back(), 0.55, kTol);

  makeNode();
  node_->declare_parameter("controller_frequency", rclcpp::ParameterValue(10.0));
  dwb_plugins::LimitedAccelGenerator generator;
  generator.initialize(node_, kPlugin);
  xs = values(generator.getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.3, kTol);
  EXPECT_NEAR(xs.back(), 0.6, kTol);
}

// ---------------------------------------------------------------- run-time changes

TEST_F(TrajectoryGeneratorTest, OnlyTheKinematicLimitsChangeAtRunTime)
{
  auto generator = make();
  setAll({
    param("min_vel_x", 0.0), param("max_vel_x", 0.5), intParam("vtheta_samples", 3),
    param("sim_time", 0.5), param("max_vel_theta", 0.4), param("acc_lim_x", 0.2),
    param("decel_lim_x", -0.2), param("acc_lim_theta", 0.4), param("decel_lim_theta", -0.4)});

  // New limits over the sim_time (1 s) and with the theta samples (5) of initialization.
  const Twists twists = generator->getTwists(twist(0.3, 0.0, 0.0));
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.5}));
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{-0.4, -0.2, 0.0, 0.2, 0.4}));

  const Trajectory trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(0.5, 0.0, 0.0));
  EXPECT_NEAR(seconds(trajectory.time_offsets.back()), 1.0, 1e-6);
  // One 1 s step, at the 0.2 m/s reachable with 0.2 m/s^2.
  EXPECT_NEAR(trajectory.poses.back().x, 0.2, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, SettingReadOnceParametersSucceedsAndChangesNothing)
{
  auto generator = make();
  const auto simulate = [&generator]() {
      return generator->generateTrajectory(
        pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.5));
    };
  const Twists twists_before = generator->getTwists(twist(0.5, 0.0, 0.0));
  const Trajectory trajectory_before = simulate();

  const std::vector<rclcpp::Parameter> read_once{
    param("sim_time", 3.0), boolParam("discretize_by_time", true), param("time_granularity", 0.01),
    param("linear_granularity", 0.01), param("angular_granularity", 0.01),
    boolParam("include_last_point", false), boolParam("limit_vel_cmd_in_traj", true),
    intParam("vx_samples", 9), intParam("vy_samples", 9), intParam("vtheta_samples", 9)};
  for (const rclcpp::Parameter & parameter : read_once) {
    const auto result = node_->set_parameter(parameter);
    EXPECT_TRUE(result.successful) << parameter.get_name() << ": " << result.reason;
    EXPECT_EQ(node_->get_parameter(parameter.get_name()), parameter);
  }

  expectSameTwists(generator->getTwists(twist(0.5, 0.0, 0.0)), twists_before);
  EXPECT_EQ(simulate(), trajectory_before);
}

TEST_F(TrajectoryGeneratorTest, AnyValueIsTakenWithoutRangeChecks)
{
  auto generator = make({
    intParam("vtheta_samples", -3), boolParam("discretize_by_time", true),
    param("time_granularity", 0.25)});
  // A sample count below two still yields the two ends of the window.
  EXPECT_EQ(
    values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::theta),
    (std::vector<double>{-1.0, 1.0}));

  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const auto & parameter : {
      param("max_vel_x", -0.5), param("acc_lim_x", -1.0), param("max_vel_theta", nan),
      param("decel_lim_x", 1.0)})
  {
    EXPECT_TRUE(node_->set_parameter(parameter).successful) << parameter.get_name();
  }
  setAll({param("max_vel_x", 1.0), param("acc_lim_x", 1.0), param("max_vel_theta", 1.0)});

  // With the positive deceleration left in place, slowing down moves away from the target: the
  // x window's lower end (0.5 + 1.0) lies above its upper end (1.0), so nothing is sampled...
  EXPECT_TRUE(generator->getTwists(twist(0.5, 0.0, 0.0)).empty());
  // ... and a simulated stop speeds up: 1.25, 1.5, 1.75 and 2 m/s in 0.25 s steps.
  const Trajectory trajectory = generator->generateTrajectory(
    pose(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0), twist(0.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 6u);
  EXPECT_NEAR(trajectory.poses[1].x, 0.3125, 1e-9);
  EXPECT_NEAR(trajectory.poses[4].x, 1.625, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, NegativeMinimumVelocityAllowsReversing)
{
  auto generator = make();
  setAll({param("min_vel_x", -0.3)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.0, 0.0, 0.0)), &Twist::x).front(), -0.3, kTol);
}

TEST_F(TrajectoryGeneratorTest, OtherPluginsParametersAreNotTaken)
{
  auto generator = make();
  node_->declare_parameter("other.max_vel_x", rclcpp::ParameterValue(0.0));
  node_->declare_parameter("gen.critic.max_vel_x", rclcpp::ParameterValue(0.0));
  setAll({
    rclcpp::Parameter("other.max_vel_x", 0.2), rclcpp::Parameter("gen.critic.max_vel_x", 0.2)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 1.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, NonDoubleValuesForKinematicNamesAreIgnored)
{
  makeNode();
  rcl_interfaces::msg::ParameterDescriptor any_type;
  any_type.dynamic_typing = true;
  node_->declare_parameter("gen.max_vel_x", rclcpp::ParameterValue(1.0), any_type);
  dwb_plugins::StandardTrajectoryGenerator generator;
  generator.initialize(node_, kPlugin);

  setAll({rclcpp::Parameter("gen.max_vel_x", 0)});
  EXPECT_NEAR(values(generator.getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 1.0, kTol);
  setAll({rclcpp::Parameter("gen.max_vel_x", 0.5)});
  EXPECT_NEAR(values(generator.getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 0.5, kTol);
}

// ---------------------------------------------------------------- speed limits

TEST_F(TrajectoryGeneratorTest, SpeedLimitsScaleTheMaximaAndCanBeLifted)
{
  auto generator = make({param("max_speed_xy", 1.0), param("acc_lim_x", 10.0)});
  const auto maxima = [&generator]() {
      const Twists twists = generator->getTwists(twist(0.0, 0.0, 0.0));
      return std::make_pair(values(twists, &Twist::x).back(), values(twists, &Twist::theta).back());
    };

  generator->setSpeedLimit(50.0, true);
  EXPECT_NEAR(maxima().first, 0.5, kTol);
  EXPECT_NEAR(maxima().second, 0.5, kTol);

  generator->setSpeedLimit(0.4, false);
  EXPECT_NEAR(maxima().first, 0.4, kTol);
  EXPECT_NEAR(maxima().second, 0.4, kTol);

  generator->setSpeedLimit(nav2_costmap_2d::NO_SPEED_LIMIT, false);
  EXPECT_NEAR(maxima().first, 1.0, kTol);
  EXPECT_NEAR(maxima().second, 1.0, kTol);

  generator->setSpeedLimit(1.5, false);   // above the configured maximum: no limit
  EXPECT_NEAR(maxima().first, 1.0, kTol);

  // Not screened either: a negative percentage turns the maxima below the minima.
  generator->setSpeedLimit(-50.0, true);
  EXPECT_TRUE(generator->getTwists(twist(0.0, 0.0, 0.0)).empty());
  generator->setSpeedLimit(nav2_costmap_2d::NO_SPEED_LIMIT, true);
  EXPECT_NEAR(maxima().first, 1.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, SpeedLimitScalesFromAMaximumSetAtRunTime)
{
  auto generator = make({param("acc_lim_x", 10.0)});
  setAll({param("max_vel_x", 0.8)});
  generator->setSpeedLimit(50.0, true);
  EXPECT_NEAR(values(generator->getTwists(twist(0, 0, 0)), &Twist::x).back(), 0.4, kTol);
  generator->setSpeedLimit(nav2_costmap_2d::NO_SPEED_LIMIT, true);
  EXPECT_NEAR(values(generator->getTwists(twist(0, 0, 0)), &Twist::x).back(), 0.8, kTol);
}

// ---------------------------------------------------------------- configuration

TEST_F(TrajectoryGeneratorTest, DefaultsApplyWhenNothingIsConfigured)
{
  rclcpp::NodeOptions options;
  node_ = std::make_shared<nav2_util::LifecycleNode>("generator_defaults", "", options);
  dwb_plugins::StandardTrajectoryGenerator generator;
  generator.initialize(node_, kPlugin);
  EXPECT_EQ(node_->get_parameter("gen.vx_samples").as_int(), 20);
  EXPECT_EQ(node_->get_parameter("gen.vy_samples").as_int(), 5);
  EXPECT_EQ(node_->get_parameter("gen.vtheta_samples").as_int(), 20);
  EXPECT_DOUBLE_EQ(node_->get_parameter("gen.sim_time").as_double(), 1.7);
  EXPECT_FALSE(node_->get_parameter("gen.discretize_by_time").as_bool());
  EXPECT_DOUBLE_EQ(node_->get_parameter("gen.time_granularity").as_double(), 0.5);
  EXPECT_DOUBLE_EQ(node_->get_parameter("gen.linear_granularity").as_double(), 0.5);
  EXPECT_DOUBLE_EQ(node_->get_parameter("gen.angular_granularity").as_double(), 0.025);
  EXPECT_TRUE(node_->get_parameter("gen.include_last_point").as_bool());
  EXPECT_FALSE(node_->get_parameter("gen.limit_vel_cmd_in_traj").as_bool());
  for (const char * name : {
      "min_vel_x", "min_vel_y", "max_vel_x", "max_vel_y", "max_vel_theta", "min_speed_xy",
      "max_speed_xy", "min_speed_theta", "acc_lim_x", "acc_lim_y", "acc_lim_theta",
      "decel_lim_x", "decel_lim_y", "decel_lim_theta"})
  {
    const rclcpp::Parameter limit = node_->get_parameter(std::string("gen.") + name);
    EXPECT_EQ(limit.get_type(), rclcpp::ParameterType::PARAMETER_DOUBLE) << name;
    EXPECT_EQ(limit.as_double(), 0.0) << name;
  }
  // No limits: standing still is all there is, and it is never offered.
  EXPECT_TRUE(generator.getTwists(twist(0, 0, 0)).empty());
}

TEST_F(TrajectoryGeneratorTest, ParameterTypesAreStrict)
{
  EXPECT_THROW(make({intParam("max_vel_x", 1)}), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(
    make({param("vx_samples", 20.0)}), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(
    make({rclcpp::Parameter("gen.sim_time", 2)}),
    rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(TrajectoryGeneratorTest, GeneratorsLoadByClassName)
{
  pluginlib::ClassLoader<dwb_core::TrajectoryGenerator> loader(
    "dwb_core", "dwb_core::TrajectoryGenerator");
  makeNode();
  std::shared_ptr<dwb_core::TrajectoryGenerator> standard =
    loader.createUniqueInstance("dwb_plugins::StandardTrajectoryGenerator");
  ASSERT_NE(std::dynamic_pointer_cast<dwb_plugins::StandardTrajectoryGenerator>(standard), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<dwb_plugins::LimitedAccelGenerator>(standard), nullptr);
  standard->initialize(node_, kPlugin);
  EXPECT_EQ(standard->getTwists(twist(0.5, 0.0, 0.0)).size(), 24u);

  std::shared_ptr<dwb_core::TrajectoryGenerator> limited =
    loader.createUniqueInstance("dwb_plugins::LimitedAccelGenerator");
  EXPECT_NE(std::dynamic_pointer_cast<dwb_plugins::LimitedAccelGenerator>(limited), nullptr);
}

}  // namespace
