#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "velmora_sim_robot/holonomic_base.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_sim_robot
{
namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

void expectPoseNear(const PlanarPose & actual, const PlanarPose & expected, double tolerance)
{
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(std::remainder(actual.yaw - expected.yaw, 2.0 * kPi), 0.0, tolerance);
}

// Steps the base the way the update thread does: many short ticks.
void runFor(HolonomicBase & base, double seconds, double tick = 0.01)
{
  const int ticks = static_cast<int>(std::lround(seconds / tick));
  for (int index = 0; index < ticks; ++index) {
    base.step(tick);
  }
}

BaseLimits unlimitedAcceleration()
{
  BaseLimits limits;
  limits.x = {2.0, kInfinity};
  limits.y = {2.0, kInfinity};
  limits.yaw = {4.0, kInfinity};
  return limits;
}

TEST(PlanarMotion, OneLongStepEqualsManyShortOnes)
{
  const BodyTwist twist{0.7, -0.3, 0.9};
  PlanarPose stepped{1.0, -2.0, 0.4};
  for (int index = 0; index < 1000; ++index) {
    stepped = integrateTwist(stepped, twist, 0.005);
  }
  expectPoseNear(stepped, integrateTwist({1.0, -2.0, 0.4}, twist, 5.0), 1e-9);
  // A turn rate at the switch to the series gives the same path as a tiny non-zero one.
  expectPoseNear(
    integrateTwist({0.0, 0.0, 0.0}, {1.0, 0.5, 2e-7}, 3.0),
    integrateTwist({0.0, 0.0, 0.0}, {1.0, 0.5, 4e-7}, 3.0), 1e-6);
}

TEST(PlanarMotion, ComposePlacesALocalPoseInItsFrame)
{
  expectPoseNear(compose({2.0, 1.0, kPi / 2.0}, {1.0, 0.5, kPi}), {1.5, 2.0, -kPi / 2.0}, 1e-12);
}

TEST(HolonomicBaseMotion, HeldCommandMovesBySpeedTimesTime)
{
  // Facing along +y, so the body frame's forward is the map's +y and its left the map's -x.
  const PlanarPose start{1.0, 2.0, kPi / 2.0};
  // A quarter circle of radius 1 / (pi / 4) in 2 s.
  const double radius = 4.0 / kPi;
  struct Case
  {
    BodyTwist command;
    PlanarPose expected;  // after 2 s
  };
  const std::vector<Case> cases{
    {{0.8, 0.0, 0.0}, {1.0, 3.6, kPi / 2.0}},                  // straight
    {{0.0, -0.6, 0.0}, {2.2, 2.0, kPi / 2.0}},                 // sideways, to the right
    {{0.0, 0.0, 1.2}, {1.0, 2.0, kPi / 2.0 + 2.4}},            // on the spot, wrapping
    {{1.0, 0.0, kPi / 4.0}, {1.0 - radius, 2.0 + radius, kPi}},  // forward arc
    {{0.0, 1.0, kPi / 4.0}, {1.0 - radius, 2.0 - radius, kPi}}};  // sideways arc
  for (const Case & test_case : cases) {
    HolonomicBase base(unlimitedAcceleration(), start);
    ASSERT_TRUE(base.setCommand(test_case.command));
    runFor(base, 2.0);
    expectPoseNear(base.pose(), test_case.expected, 1e-9);
    EXPECT_EQ(base.velocity(), test_case.command);
  }
}

TEST(HolonomicBaseMotion, PathDoesNotDependOnHowTimeIsSliced)
{
  BaseLimits limits;
  limits.x = {1.0, 0.8};
  limits.y = {1.0, 1.5};
  limits.yaw = {2.0, 1.1};
  HolonomicBase coarse(limits);
  HolonomicBase fine(limits);
  const std::vector<BodyTwist> commands{{0.9, -0.4, 1.5}, {-0.2, 0.7, -0.6}, {0.0, 0.0, 0.0}};
  for (const BodyTwist & command : commands) {
    coarse.setCommand(command);
    fine.setCommand(command);
    coarse.step(1.3);
    coarse.step(0.7);
    runFor(fine, 2.0, 0.004);
    expectPoseNear(coarse.pose(), fine.pose(), 1e-6);
    EXPECT_NEAR(coarse.velocity().vx, fine.velocity().vx, 1e-9);
    EXPECT_NEAR(coarse.velocity().wz, fine.velocity().wz, 1e-9);
  }
}

TEST(HolonomicBaseLimits, AccelerationShapesTheRamp)
{
  BaseLimits limits;
  limits.x = {1.0, 0.5};
  limits.y = {1.0, 2.0};
  limits.yaw = {2.0, 1.0};
  HolonomicBase base(limits);
  base.setCommand({1.0, 0.0, 0.0});

  base.step(1.0);  // half-way up the ramp: v = a t, s = a t^2 / 2
  EXPECT_NEAR(base.velocity().vx, 0.5, 1e-12);
  EXPECT_NEAR(base.pose().x, 0.25, 1e-12);

  base.step(2.0);  // ramp ends at 2 s, then 1 s at full speed: s = v t - v^2 / (2 a)
  EXPECT_DOUBLE_EQ(base.velocity().vx, 1.0);
  EXPECT_NEAR(base.pose().x, 3.0 - 1.0, 1e-9);

  base.setCommand({0.0, 0.0, 0.0});  // braking takes v / a and v^2 / (2 a) of road
  base.step(1.0);
  EXPECT_NEAR(base.velocity().vx, 0.5, 1e-12);
  base.step(5.0);
  EXPECT_EQ(base.velocity(), BodyTwist{});
  EXPECT_NEAR(base.pose().x, 2.0 + 1.0, 1e-9);
}

TEST(HolonomicBaseLimits, AxesRampIndependently)
{
  BaseLimits limits;
  limits.x = {1.0, 1.0};
  limits.y = {1.0, 4.0};
  limits.yaw = {2.0, 0.5};
  HolonomicBase base(limits);
  base.setCommand({0.5, -1.0, 1.0});
  base.step(0.25);  // y has arrived, x and yaw are still on their way
  EXPECT_DOUBLE_EQ(base.velocity().vy, -1.0);
  EXPECT_NEAR(base.velocity().vx, 0.25, 1e-12);
  EXPECT_NEAR(base.velocity().wz, 0.125, 1e-12);
  base.step(0.5);
  EXPECT_DOUBLE_EQ(base.velocity().vx, 0.5);
  EXPECT_NEAR(base.velocity().wz, 0.375, 1e-12);
  base.step(2.0);
  EXPECT_EQ(base.velocity(), (BodyTwist{0.5, -1.0, 1.0}));
  // A reversal ramps through zero at the same rate.
  base.setCommand({-0.5, -1.0, 1.0});
  base.step(0.5);
  EXPECT_NEAR(base.velocity().vx, 0.0, 1e-12);
}

TEST(HolonomicBaseLimits, VelocityIsClampedPerAxis)
{
  BaseLimits limits = unlimitedAcceleration();
  limits.x.max_velocity = 0.5;
  limits.y.max_velocity = 0.3;
  limits.yaw.max_velocity = 1.0;
  HolonomicBase base(limits);
  EXPECT_TRUE(base.setCommand({2.0, -0.9, -3.0}));
  EXPECT_EQ(base.command(), (BodyTwist{0.5, -0.3, -1.0}));
  runFor(base, 1.0);
  EXPECT_EQ(base.velocity(), (BodyTwist{0.5, -0.3, -1.0}));
  EXPECT_NEAR(base.pose().yaw, -1.0, 1e-9);
  // A command within the limits is taken as it is.
  base.setCommand({0.1, 0.2, 0.3});
  EXPECT_EQ(base.command(), (BodyTwist{0.1, 0.2, 0.3}));
}

TEST(HolonomicBaseCommands, NonFiniteCommandStopsTheBase)
{
  BaseLimits limits;
  limits.x = {1.0, 1.0};
  HolonomicBase base(limits);
  ASSERT_TRUE(base.setCommand({1.0, 0.0, 0.0}));
  base.step(2.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const BodyTwist & broken : {BodyTwist{nan, 0.0, 0.0}, BodyTwist{0.2, kInfinity, 0.0},
      BodyTwist{0.2, 0.0, -kInfinity}})
  {
    EXPECT_FALSE(base.setCommand(broken));
    EXPECT_EQ(base.command(), BodyTwist{});
  }
  // It brakes within its limits rather than stopping dead, and its pose stays a number.
  EXPECT_DOUBLE_EQ(base.velocity().vx, 1.0);
  base.step(2.0);
  EXPECT_EQ(base.velocity(), BodyTwist{});
  EXPECT_NEAR(base.pose().x, 1.5 + 0.5, 1e-9);
}

TEST(HolonomicBaseCommands, NonPositiveStepsChangeNothing)
{
  HolonomicBase base(unlimitedAcceleration());
  base.setCommand({1.0, 1.0, 1.0});
  base.step(0.0);
  base.step(-1.0);
  base.step(std::numeric_limits<double>::quiet_NaN());
  expectPoseNear(base.pose(), {0.0, 0.0, 0.0}, 0.0);
}

TEST(HolonomicBaseCommands, RejectsInvalidConfiguration)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BaseLimits negative_velocity;
  negative_velocity.y.max_velocity = -1.0;
  BaseLimits infinite_velocity;
  infinite_velocity.x.max_velocity = kInfinity;
  BaseLimits zero_acceleration;
  zero_acceleration.yaw.max_acceleration = 0.0;
  BaseLimits nan_acceleration;
  nan_acceleration.x.max_acceleration = nan;
  for (const BaseLimits & limits :
    {negative_velocity, infinite_velocity, zero_acceleration, nan_acceleration})
  {
    EXPECT_THROW(HolonomicBase{limits}, std::invalid_argument);
  }
  EXPECT_THROW(HolonomicBase(BaseLimits(), PlanarPose{0.0, nan, 0.0}), std::invalid_argument);
  // A start heading beyond a half turn is wrapped.
  EXPECT_NEAR(HolonomicBase(BaseLimits(), PlanarPose{0.0, 0.0, 2.5 * kPi}).pose().yaw, 0.5 * kPi,
    1e-12);
}

}  // namespace
}  // namespace velmora_sim_robot
