// Footprints the collision suites place on their hand-made costmaps.
#ifndef FOOTPRINTS_HPP_
#define FOOTPRINTS_HPP_

#include <vector>

#include "geometry_msgs/msg/point.hpp"

namespace footprints
{

inline geometry_msgs::msg::Point point(double x, double y)
{
  geometry_msgs::msg::Point result;
  result.x = x;
  result.y = y;
  return result;
}

// A rectangle centred on the robot, corners front-left, rear-left, rear-right, front-right.
inline std::vector<geometry_msgs::msg::Point> rectangle(double half_length, double half_width)
{
  return {point(half_length, half_width), point(-half_length, half_width),
    point(-half_length, -half_width), point(half_length, -half_width)};
}

}  // namespace footprints

#endif  // FOOTPRINTS_HPP_
