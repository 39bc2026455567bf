// The trajectory generators: which velocities a search tries, how each is simulated, and how
// the limits follow parameter changes and speed limits while the planner runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dwb_core/trajectory_generator.hpp"
#include "dwb_plugins/kinematic_parameters.hpp"
#include "dwb_plugins/limited_accel_generator.hpp"
#include "dwb_plugins/standard_traj_generator.hpp"
#include "nav2_core/exceptions.hpp"
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

bool isFinite(const dwb_msgs::msg::Trajectory2D & trajectory)
{
  for (const auto & p : trajectory.poses) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.theta)) {
      return false;
    }
  }
  return true;
}

class TrajectoryGeneratorTest : public ::testing::Test
{
protected:
  // A differential-drive robot: forward up to 1 m/s, turning up to 1 rad/s.
  std::vector<rclcpp::Parameter> baseConfig() const
  {
    return {
      param("max_vel_x", 1.0), param("max_vel_theta", 1.0),
      param("acc_lim_x", 1.0), param("decel_lim_x", -2.0),
      param("acc_lim_theta", 2.0), param("decel_lim_theta", -2.0),
      intParam("vx_samples", 5), intParam("vy_samples", 1), intParam("vtheta_samples", 5),
      param("sim_time", 1.0)};
  }

  template<class GeneratorT = dwb_plugins::StandardTrajectoryGenerator>
  std::shared_ptr<GeneratorT> make(const std::vector<rclcpp::Parameter> & extra = {})
  {
    // A value given here replaces the base configuration's value of the same name.
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

TEST_F(TrajectoryGeneratorTest, WindowIsBoundedByAccelerationOverSimTime)
{
  auto generator = make({param("sim_time", 0.25)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.2));

  const auto xs = values(twists, &Twist::x);
  EXPECT_NEAR(xs.front(), 0.0, kTol);   // 0.5 - 2.0 * 0.25
  EXPECT_NEAR(xs.back(), 0.75, kTol);   // 0.5 + 1.0 * 0.25
  const auto thetas = values(twists, &Twist::theta);
  EXPECT_NEAR(thetas.front(), -0.3, kTol);
  EXPECT_NEAR(thetas.back(), 0.7, kTol);
  // Zero lies inside the theta window without being a sample: it is tried in addition.
  EXPECT_TRUE(std::count(thetas.begin(), thetas.end(), 0.0));
  EXPECT_EQ(thetas.size(), 6u);
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

TEST_F(TrajectoryGeneratorTest, MinimumAboveMaximumCollapsesOntoTheMaximum)
{
  auto generator = make();
  setAll({param("min_vel_x", 0.08), param("max_vel_x", 0.0)});
  const Twists twists = generator->getTwists(twist(0.3, 0.0, 0.0));
  ASSERT_FALSE(twists.empty());
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0}));
  EXPECT_EQ(twists.size(), 4u);   // turning only; the standing-still twist is left out
}

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

TEST_F(TrajectoryGeneratorTest, ZeroMaxSpeedXYMeansNoXYCap)
{
  auto generator = make();
  const auto xs = values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.back(), 1.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, MaxSpeedXYChangeTakesEffectWithTheNextMinSpeedThetaChange)
{
  auto generator = make({param("max_speed_xy", 1.0)});
  setAll({param("max_speed_xy", 0.5)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 1.0, kTol);
  setAll({param("min_speed_theta", 0.0)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 0.5, kTol);
}

TEST_F(TrajectoryGeneratorTest, NonFiniteCurrentVelocityCountsAsStandingStill)
{
  auto generator = make();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Twists twists = generator->getTwists(twist(nan, nan, std::numeric_limits<double>::infinity()));
  ASSERT_FALSE(twists.empty());
  for (const Twist & t : twists) {
    EXPECT_TRUE(std::isfinite(t.x) && std::isfinite(t.y) && std::isfinite(t.theta));
  }
  EXPECT_NEAR(values(twists, &Twist::x).back(), 1.0, kTol);   // 0 + 1.0 * 1.0
}

// ---------------------------------------------------------------- simulation

TEST_F(TrajectoryGeneratorTest, SimulationAcceleratesWithinTheLimitAndStampsEveryPose)
{
  auto generator = make({
    rclcpp::Parameter("gen.discretize_by_time", true), param("time_granularity", 0.1)});
  const auto trajectory = generator->generateTrajectory(
    pose(0.0, 0.0, 0.0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));

  ASSERT_EQ(trajectory.poses.size(), 11u);
  ASSERT_EQ(trajectory.time_offsets.size(), 11u);
  EXPECT_EQ(trajectory.velocity, twist(1.0, 0.0, 0.0));
  for (size_t k = 0; k < trajectory.poses.size(); ++k) {
    // The speed in step i is 0.1 * i m/s, so x after k steps is 0.01 * k (k + 1) / 2.
    EXPECT_NEAR(trajectory.poses[k].x, 0.01 * k * (k + 1) / 2.0, 1e-9) << k;
    EXPECT_NEAR(trajectory.poses[k].y, 0.0, kTol);
    EXPECT_NEAR(seconds(trajectory.time_offsets[k]), 0.1 * k, 1e-6) << k;
  }
}

TEST_F(TrajectoryGeneratorTest, SimulationDeceleratesWithinTheDecelerationLimit)
{
  auto generator = make({
    rclcpp::Parameter("gen.discretize_by_time", true), param("time_granularity", 0.25)});
  const auto trajectory = generator->generateTrajectory(
    pose(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0), twist(0.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 5u);
  // 0.5 m/s then stopped: 2 m/s^2 over 0.25 s steps.
  EXPECT_NEAR(trajectory.poses[1].x, 0.125, 1e-9);
  EXPECT_NEAR(trajectory.poses[4].x, 0.125, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, MotionIsIntegratedInTheRobotFrame)
{
  auto generator = make({param("max_vel_y", 1.0), param("acc_lim_y", 1.0)});
  const auto forward = generator->generateTrajectory(
    pose(1.0, 2.0, M_PI / 2), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  EXPECT_NEAR(forward.poses.back().x, 1.0, 1e-9);
  EXPECT_NEAR(forward.poses.back().y, 3.0, 1e-9);

  // Facing +y, the robot's left is -x.
  const auto sideways = generator->generateTrajectory(
    pose(0.0, 0.0, M_PI / 2), twist(0.0, 0.5, 0.0), twist(0.0, 0.5, 0.0));
  EXPECT_NEAR(sideways.poses.back().x, -0.5, 1e-9);
  EXPECT_NEAR(sideways.poses.back().y, 0.0, 1e-9);

  const auto turning = generator->generateTrajectory(
    pose(0.0, 0.0, 0.3), twist(0.0, 0.0, 0.5), twist(0.0, 0.0, 0.5));
  EXPECT_NEAR(turning.poses.back().theta, 0.8, 1e-9);
  EXPECT_NEAR(std::hypot(turning.poses.back().x, turning.poses.back().y), 0.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, StepsFollowTheCoarserOfDistanceAndAngleGranularity)
{
  auto generator = make({param("angular_granularity", 0.125)});   // linear 0.5 m, sim_time 1 s
  const auto straight = generator->generateTrajectory(
    pose(0, 0, 0), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  EXPECT_EQ(straight.poses.size(), 3u);
  const auto turning = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.2, 0.0, 0.5), twist(0.2, 0.0, 0.5));
  EXPECT_EQ(turning.poses.size(), 5u);
  EXPECT_NEAR(seconds(turning.time_offsets.back()), 1.0, 1e-6);
  const auto still = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(0.0, 0.0, 0.0));
  EXPECT_EQ(still.poses.size(), 2u);
}

TEST_F(TrajectoryGeneratorTest, LastPointCanBeLeftOut)
{
  auto generator = make({rclcpp::Parameter("gen.include_last_point", false)});
  const auto trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 2u);
  EXPECT_NEAR(seconds(trajectory.time_offsets.back()), 0.5, 1e-6);
  EXPECT_NEAR(trajectory.poses.back().x, 0.5, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, NonFiniteInputsNeverYieldNonFinitePoses)
{
  auto generator = make();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(nan, 0.0, 0.0), twist(0.5, std::numeric_limits<double>::infinity(), nan));
  EXPECT_TRUE(isFinite(trajectory));
  EXPECT_EQ(trajectory.velocity, twist(0.5, 0.0, 0.0));
  EXPECT_THROW(
    generator->generateTrajectory(pose(nan, 0, 0), twist(0, 0, 0), twist(0.5, 0, 0)),
    nav2_core::PlannerException);
}

TEST_F(TrajectoryGeneratorTest, LimitedAccelerationWindowSpansOneSimPeriodAndJumpsToTheCommand)
{
  auto generator = make<dwb_plugins::LimitedAccelGenerator>({param("sim_period", 0.1)});
  const auto xs = values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.3, kTol);
  EXPECT_NEAR(xs.back(), 0.6, kTol);

  const auto trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  ASSERT_EQ(trajectory.poses.size(), 3u);
  EXPECT_NEAR(trajectory.poses[1].x, 0.5, 1e-9);
  EXPECT_NEAR(trajectory.poses[2].x, 1.0, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, LimitedAccelerationFallsBackToTheControllerPeriod)
{
  make();
  node_->declare_parameter("controller_frequency", rclcpp::ParameterValue(10.0));
  dwb_plugins::LimitedAccelGenerator generator;
  generator.initialize(node_, "gen");
  const auto xs = values(generator.getTwists(twist(0.5, 0.0, 0.0)), &Twist::x);
  EXPECT_NEAR(xs.front(), 0.3, kTol);
  EXPECT_NEAR(xs.back(), 0.6, kTol);
}

// ---------------------------------------------------------------- run-time changes

TEST_F(TrajectoryGeneratorTest, PerGoalParameterChangesApplyAtTheNextIteration)
{
  auto generator = make();
  setAll({
    param("min_vel_x", 0.0), param("max_vel_x", 0.5), intParam("vtheta_samples", 3),
    param("sim_time", 0.5), param("max_vel_theta", 0.4), param("acc_lim_x", 0.2),
    param("decel_lim_x", -0.2), param("acc_lim_theta", 0.4), param("decel_lim_theta", -0.4)});

  const Twists twists = generator->getTwists(twist(0.3, 0.0, 0.0));
  const auto xs = values(twists, &Twist::x);
  EXPECT_NEAR(xs.front(), 0.2, kTol);   // 0.3 - 0.2 * 0.5
  EXPECT_NEAR(xs.back(), 0.4, kTol);    // 0.3 + 0.2 * 0.5
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{-0.2, 0.0, 0.2}));

  const auto trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(0.0, 0.0, 0.0), twist(0.5, 0.0, 0.0));
  EXPECT_NEAR(seconds(trajectory.time_offsets.back()), 0.5, 1e-6);
  // One 0.5 s step, at the 0.1 m/s reachable with 0.2 m/s^2.
  EXPECT_NEAR(trajectory.poses.back().x, 0.05, 1e-9);
}

TEST_F(TrajectoryGeneratorTest, SampleCountChangesApplyToEachAxis)
{
  auto generator = make({param("max_vel_y", 0.2), param("acc_lim_y", 1.0), param("decel_lim_y", -1.0),
      param("min_vel_y", -0.2)});
  setAll({intParam("vx_samples", 3), intParam("vy_samples", 2), intParam("vtheta_samples", 2)});
  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));
  EXPECT_EQ(values(twists, &Twist::x).size(), 3u);
  EXPECT_EQ(values(twists, &Twist::y), (std::vector<double>{-0.2, 0.0, 0.2}));
  EXPECT_EQ(values(twists, &Twist::theta), (std::vector<double>{-1.0, 0.0, 1.0}));
}

TEST_F(TrajectoryGeneratorTest, BadValuesAreRefusedAndLeaveTheLimitsAsTheyWere)
{
  auto generator = make();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<rclcpp::Parameter> bad{
    param("max_vel_x", nan), param("max_vel_x", -0.5), param("min_vel_x", inf),
    param("acc_lim_x", -1.0), param("decel_lim_x", 1.0), param("max_vel_theta", -inf),
    param("sim_time", 0.0), param("sim_time", nan), intParam("vtheta_samples", 0),
    intParam("vx_samples", -3)};
  for (const auto & parameter : bad) {
    const rclcpp::Parameter before = node_->get_parameter(parameter.get_name());
    const auto result = node_->set_parameter(parameter);
    EXPECT_FALSE(result.successful) << parameter.get_name();
    EXPECT_NE(result.reason.find(parameter.get_name()), std::string::npos) << result.reason;
    EXPECT_EQ(node_->get_parameter(parameter.get_name()), before);
  }

  const Twists twists = generator->getTwists(twist(0.5, 0.0, 0.0));
  EXPECT_EQ(values(twists, &Twist::x), (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  EXPECT_EQ(values(twists, &Twist::theta).size(), 5u);
  const auto trajectory = generator->generateTrajectory(
    pose(0, 0, 0), twist(1.0, 0.0, 0.0), twist(1.0, 0.0, 0.0));
  EXPECT_NEAR(seconds(trajectory.time_offsets.back()), 1.0, 1e-6);
  EXPECT_TRUE(isFinite(trajectory));
}

TEST_F(TrajectoryGeneratorTest, NegativeMinimumVelocityAllowsReversing)
{
  auto generator = make();
  setAll({param("min_vel_x", -0.3)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.0, 0.0, 0.0)), &Twist::x).front(), -0.3, kTol);
}

TEST_F(TrajectoryGeneratorTest, OtherPluginsParametersAreNotTaken)
{
  auto generator = make({param("max_vel_y", 0.0)});
  node_->declare_parameter("other.max_vel_x", rclcpp::ParameterValue(0.0));
  node_->declare_parameter("gen.critic.sim_time", rclcpp::ParameterValue(0.0));
  setAll({rclcpp::Parameter("other.max_vel_x", 0.2), rclcpp::Parameter("gen.critic.sim_time", 5.0)});
  EXPECT_NEAR(values(generator->getTwists(twist(0.5, 0.0, 0.0)), &Twist::x).back(), 1.0, kTol);
  EXPECT_NEAR(
    seconds(generator->generateTrajectory(pose(0, 0, 0), twist(0, 0, 0), twist(0, 0, 0.1))
    .time_offsets.back()), 1.0, 1e-6);
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

  generator->setSpeedLimit(dwb_plugins::NO_SPEED_LIMIT, false);
  EXPECT_NEAR(maxima().first, 1.0, kTol);
  EXPECT_NEAR(maxima().second, 1.0, kTol);

  generator->setSpeedLimit(1.5, false);   // above the configured maximum: no limit
  EXPECT_NEAR(maxima().first, 1.0, kTol);

  generator->setSpeedLimit(std::numeric_limits<double>::quiet_NaN(), true);
  EXPECT_NEAR(maxima().first, 1.0, kTol);
}

TEST_F(TrajectoryGeneratorTest, SpeedLimitScalesFromAMaximumSetAtRunTime)
{
  auto generator = make({param("acc_lim_x", 10.0)});
  setAll({param("max_vel_x", 0.8)});
  generator->setSpeedLimit(50.0, true);
  EXPECT_NEAR(values(generator->getTwists(twist(0, 0, 0)), &Twist::x).back(), 0.4, kTol);
  generator->setSpeedLimit(dwb_plugins::NO_SPEED_LIMIT, true);
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
  EXPECT_DOUBLE_EQ(node_->get_parameter("gen.max_vel_x").as_double(), 0.0);
  EXPECT_TRUE(node_->get_parameter("gen.include_last_point").as_bool());
  // No limits: standing still is all there is, and it is never offered.
  EXPECT_TRUE(generator.getTwists(twist(0, 0, 0)).empty());
}

TEST_F(TrajectoryGeneratorTest, ParameterTypesAreStrict)
{
  EXPECT_THROW(make({intParam("max_vel_x", 1)}), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(
    make({param("vx_samples", 20.0)}), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(
    make({rclcpp::Parameter("gen.sim_time", 2)}), rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(TrajectoryGeneratorTest, ConfiguredValuesThatWouldBeRefusedFailInitialization)
{
  EXPECT_THROW(make({param("decel_lim_x", 2.0)}), std::invalid_argument);
  EXPECT_THROW(make({param("sim_time", -1.0)}), std::invalid_argument);
  EXPECT_THROW(make({intParam("vtheta_samples", 0)}), std::invalid_argument);
}

TEST_F(TrajectoryGeneratorTest, GeneratorsLoadByClassName)
{
  pluginlib::ClassLoader<dwb_core::TrajectoryGenerator> loader(
    "dwb_core", "dwb_core::TrajectoryGenerator");
  make();   // the node, configured
  std::shared_ptr<dwb_core::TrajectoryGenerator> standard =
    loader.createUniqueInstance("dwb_plugins::StandardTrajectoryGenerator");
  ASSERT_NE(std::dynamic_pointer_cast<dwb_plugins::StandardTrajectoryGenerator>(standard), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<dwb_plugins::LimitedAccelGenerator>(standard), nullptr);
  standard->initialize(node_, "gen");
  EXPECT_EQ(standard->getTwists(twist(0.5, 0.0, 0.0)).size(), 24u);

  std::shared_ptr<dwb_core::TrajectoryGenerator> limited =
    loader.createUniqueInstance("dwb_plugins::LimitedAccelGenerator");
  EXPECT_NE(std::dynamic_pointer_cast<dwb_plugins::LimitedAccelGenerator>(limited), nullptr);
}

}  // namespace
