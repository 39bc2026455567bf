// A pose in the map frame, as a plan or a robot-pose lookup hands it to a controller.
#ifndef VELMORA__TESTING__MAP_POSE_HPP_
#define VELMORA__TESTING__MAP_POSE_HPP_

#include <cmath>

#include "geometry_msgs/msg/pose_stamped.hpp"

namespace velmora::testing
{

inline geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw = 0.0)
{
  geometry_msgs::msg::PoseStamped result;
  result.header.frame_id = "map";
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.z = std::sin(yaw / 2.0);
  result.pose.orientation.w = std::cos(yaw / 2.0);
  return result;
}

}  // namespace velmora::testing

#endif  // VELMORA__TESTING__MAP_POSE_HPP_
