// What the planner's suites share: a pose in the map frame as a plan or the robot pose hands it.
#ifndef MAP_POSE_HPP_
#define MAP_POSE_HPP_

#include <cmath>

#include "geometry_msgs/msg/pose_stamped.hpp"

inline geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw)
{
  geometry_msgs::msg::PoseStamped result;
  result.header.frame_id = "map";
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.z = std::sin(yaw / 2.0);
  result.pose.orientation.w = std::cos(yaw / 2.0);
  return result;
}

#endif  // MAP_POSE_HPP_
