#ifndef POSE_MATH_HPP_
#define POSE_MATH_HPP_

#include <cmath>

#include "geometry_msgs/msg/pose.hpp"

// The planar reading of poses that the path and the follower share.
namespace pid_core
{

inline double wrapAngle(double angle)
{
  return std::atan2(std::sin(angle), std::cos(angle));
}

inline double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

inline bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(q.x) && std::isfinite(q.y) &&
         std::isfinite(q.z) && std::isfinite(q.w);
}

}  // namespace pid_core

#endif  // POSE_MATH_HPP_
