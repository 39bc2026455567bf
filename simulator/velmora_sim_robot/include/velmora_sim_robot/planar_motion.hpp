#ifndef VELMORA_SIM_ROBOT__PLANAR_MOTION_HPP_
#define VELMORA_SIM_ROBOT__PLANAR_MOTION_HPP_

namespace velmora_sim_robot
{

// A pose in the plane: position in metres, heading in radians, wrapped to [-pi, pi].
struct PlanarPose
{
  double x{0.0};
  double y{0.0};
  double yaw{0.0};
};

// A velocity expressed in the robot's own frame: forward, leftward (m/s) and turn rate (rad/s).
struct BodyTwist
{
  double vx{0.0};
  double vy{0.0};
  double wz{0.0};
};

bool operator==(const BodyTwist & left, const BodyTwist & right);
bool operator!=(const BodyTwist & left, const BodyTwist & right);

// Where a robot starting at `start` ends up after holding the body-frame velocity `twist` for
// `seconds`. Exact: the body frame turns while it moves, so a held forward speed with a turn rate
// drives a circular arc, not a straight line.
PlanarPose integrateTwist(const PlanarPose & start, const BodyTwist & twist, double seconds);

// `local` expressed in the frame whose pose is `frame`; e.g. the map pose of a robot from the
// odometry frame's pose in the map and the robot's pose in the odometry frame.
PlanarPose compose(const PlanarPose & frame, const PlanarPose & local);

// Heading wrapped to [-pi, pi].
double wrapAngle(double angle);

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__PLANAR_MOTION_HPP_
