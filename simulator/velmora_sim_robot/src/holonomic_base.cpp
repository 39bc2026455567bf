#include "velmora_sim_robot/holonomic_base.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

namespace velmora_sim_robot
{

namespace
{

// While the velocity ramps, the pose is advanced in stretches no longer than this, each with the
// stretch's mean velocity: a ramp while turning has no closed form, and at this length the error
// is far below anything odometry resolves.
constexpr double kMaxRampStretch = 1e-3;

// The three axes, so that every rule is written once for all of them.
struct Axis
{
  const char * name;
  double BodyTwist::* component;
  AxisLimits BaseLimits::* limits;
};

constexpr std::array<Axis, 3> kAxes{{
  {"x", &BodyTwist::vx, &BaseLimits::x},
  {"y", &BodyTwist::vy, &BaseLimits::y},
  {"yaw", &BodyTwist::wz, &BaseLimits::yaw}}};

void checkLimits(const BaseLimits & limits)
{
  for (const Axis & axis : kAxes) {
    const AxisLimits & axis_limits = limits.*axis.limits;
    if (!(axis_limits.max_velocity >= 0.0) || std::isinf(axis_limits.max_velocity)) {
      throw std::invalid_argument(
        std::string("velocity limit of axis ") + axis.name + " must be finite and >= 0");
    }
    if (!(axis_limits.max_acceleration > 0.0)) {
      throw std::invalid_argument(
        std::string("acceleration limit of axis ") + axis.name + " must be > 0");
    }
  }
}

PlanarPose checkedStart(const PlanarPose & start)
{
  if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(start.yaw)) {
    throw std::invalid_argument("start pose must be finite");
  }
  return PlanarPose{start.x, start.y, wrapAngle(start.yaw)};
}

// `from` moved towards `to` by at most `change`; lands exactly on `to` when it is within reach.
// The tolerance absorbs the rounding of a stretch computed to end on `to`, and the absolute part
// settles gaps so small that the time to close them rounds to zero, so every ramp ends.
double approach(double from, double to, double change)
{
  if (std::abs(to - from) <= change * (1.0 + 1e-9) + 1e-12) {
    return to;
  }
  return from + std::copysign(change, to - from);
}

}  // namespace

HolonomicBase::HolonomicBase(const BaseLimits & limits, const PlanarPose & start)
: limits_(limits), pose_(checkedStart(start))
{
  checkLimits(limits_);
}

bool HolonomicBase::setCommand(const BodyTwist & command)
{
  const bool finite =
    std::isfinite(command.vx) && std::isfinite(command.vy) && std::isfinite(command.wz);
  const BodyTwist wanted = finite ? command : BodyTwist{};
  for (const Axis & axis : kAxes) {
    const AxisLimits & axis_limits = limits_.*axis.limits;
    command_.*axis.component =
      std::clamp(wanted.*axis.component, -axis_limits.max_velocity, axis_limits.max_velocity);
    if (std::isinf(axis_limits.max_acceleration)) {
      velocity_.*axis.component = command_.*axis.component;
    }
  }
  return finite;
}

void HolonomicBase::step(double seconds)
{
  if (!(seconds > 0.0)) {
    return;
  }
  double remaining = seconds;
  while (remaining > 0.0 && velocity_ != command_) {
    const double stretch = rampStretch(remaining);
    rampFor(stretch);
    remaining -= stretch;
  }
  if (remaining > 0.0) {
    pose_ = integrateTwist(pose_, velocity_, remaining);
  }
}

double HolonomicBase::rampStretch(double seconds) const
{
  double stretch = std::min(seconds, kMaxRampStretch);
  for (const Axis & axis : kAxes) {
    const double gap = std::abs(command_.*axis.component - velocity_.*axis.component);
    if (gap > 0.0) {
      stretch = std::min(stretch, gap / (limits_.*axis.limits).max_acceleration);
    }
  }
  return stretch;
}

void HolonomicBase::rampFor(double seconds)
{
  BodyTwist next;
  BodyTwist mean;
  for (const Axis & axis : kAxes) {
    const double change = (limits_.*axis.limits).max_acceleration * seconds;
    next.*axis.component =
      approach(velocity_.*axis.component, command_.*axis.component, change);
    mean.*axis.component = 0.5 * (velocity_.*axis.component + next.*axis.component);
  }
  pose_ = integrateTwist(pose_, mean, seconds);
  velocity_ = next;
}

}  // namespace velmora_sim_robot
