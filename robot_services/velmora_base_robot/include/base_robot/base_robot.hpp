#ifndef BASE_ROBOT__BASE_ROBOT_HPP_
#define BASE_ROBOT__BASE_ROBOT_HPP_

#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"

// Plane geometry of a ground robot: distances, headings and their quaternions. Stateless, so any
// copy serves any thread.
class BaseRobot
{
public:
  // Distance between the two positions in the x-y plane, in metres.
  double calDistance(
    const geometry_msgs::msg::PoseStamped & from, const geometry_msgs::msg::PoseStamped & to) const;

  // Heading (rotation about the vertical axis) of an orientation, in [-pi, pi].
  double quaternion2Yaw(const geometry_msgs::msg::Quaternion & orientation) const;

  // first - second, wrapped to [-pi, pi]: the signed turn that takes heading `second` to `first`.
  double calDelAngle(double first, double second) const;

  // Orientation of the rotations yaw about z, then pitch about the new y, then roll about the new
  // x. A ground robot passes (heading, 0, 0).
  geometry_msgs::msg::Quaternion eulerToQuaternion(double yaw, double pitch, double roll) const;

  // Logs one info line: the prefix, then position and heading of the pose.
  void printPose(const geometry_msgs::msg::PoseStamped & pose, std::string prefix) const;
};

#endif  // BASE_ROBOT__BASE_ROBOT_HPP_
