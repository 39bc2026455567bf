#ifndef VELMORA_SIM_ROBOT__HOLONOMIC_BASE_HPP_
#define VELMORA_SIM_ROBOT__HOLONOMIC_BASE_HPP_

#include <limits>

#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_sim_robot
{

// Limits of one axis of motion. An infinite acceleration makes the axis take a new command at
// once.
struct AxisLimits
{
  double max_velocity;      // m/s or rad/s, magnitude, finite and >= 0
  double max_acceleration;  // m/s^2 or rad/s^2, magnitude, > 0
};

struct BaseLimits
{
  AxisLimits x{1.0, 2.5};
  AxisLimits y{1.0, 2.5};
  AxisLimits yaw{2.0, 3.2};
};

// The kinematics of a base that can drive forward, sideways and turn independently (mecanum or
// omni wheels). It follows the last command within its velocity and acceleration limits and moves
// its pose by whatever time it is stepped through. No clock and no threads: whoever owns it
// decides how much time passes, so tests step it deterministically. Not thread-safe.
class HolonomicBase
{
public:
  // Throws std::invalid_argument for a limit that is negative, not a number, an infinite
  // velocity or a zero acceleration.
  explicit HolonomicBase(const BaseLimits & limits = BaseLimits(), const PlanarPose & start = {});

  // Takes a new body-frame command; each component is clamped to its axis' velocity limit. A
  // command with a component that is not finite is refused: the base is commanded to stand still
  // instead and false is returned.
  bool setCommand(const BodyTwist & command);

  // Lets `seconds` pass: the velocity ramps towards the command at the acceleration limits and
  // the pose follows the velocity. Non-positive (and NaN) durations change nothing.
  void step(double seconds);

  const PlanarPose & pose() const {return pose_;}
  // The velocity the base moves with now, in its own frame.
  const BodyTwist & velocity() const {return velocity_;}
  // The command being followed, after clamping.
  const BodyTwist & command() const {return command_;}
  const BaseLimits & limits() const {return limits_;}

private:
  // Advances by a stretch in which no axis reaches its command before the end, so every axis
  // changes its velocity linearly.
  void rampFor(double seconds);
  // The longest stretch from now on in which no ramping axis reaches its command, capped at
  // `seconds`.
  double rampStretch(double seconds) const;

  BaseLimits limits_;
  PlanarPose pose_;
  BodyTwist velocity_;
  BodyTwist command_;
};

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__HOLONOMIC_BASE_HPP_
