#ifndef COLLISION__PLANAR_POSE_HPP_
#define COLLISION__PLANAR_POSE_HPP_

namespace Collision
{

// A planar pose in the costmap's frame and a velocity in the robot frame (holonomic: x forward,
// y left, yaw rate).
struct Pose2
{
  double x;
  double y;
  double yaw;
};

struct Velocity2
{
  double vx;
  double vy;
  double wz;
};

}  // namespace Collision

#endif  // COLLISION__PLANAR_POSE_HPP_
