#ifndef NAV2_UTIL__GEOMETRY_UTILS_HPP_
#define NAV2_UTIL__GEOMETRY_UTILS_HPP_

#include <cmath>
#include <cstddef>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav_msgs/msg/path.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace nav2_util
{
namespace geometry_utils
{

// Orientation of a heading in the plane.
inline geometry_msgs::msg::Quaternion orientationAroundZAxis(double angle)
{
  tf2::Quaternion q;
  q.setRPY(0, 0, angle);
  return tf2::toMsg(q);
}

// Planar distance unless is_3d.
inline double euclidean_distance(
  const geometry_msgs::msg::Point & pos1, const geometry_msgs::msg::Point & pos2,
  const bool is_3d = false)
{
  const double dx = pos1.x - pos2.x;
  const double dy = pos1.y - pos2.y;
  if (is_3d) {
    return std::hypot(dx, dy, pos1.z - pos2.z);
  }
  return std::hypot(dx, dy);
}

inline double euclidean_distance(
  const geometry_msgs::msg::Pose & pos1, const geometry_msgs::msg::Pose & pos2,
  const bool is_3d = false)
{
  return euclidean_distance(pos1.position, pos2.position, is_3d);
}

inline double euclidean_distance(
  const geometry_msgs::msg::PoseStamped & pos1, const geometry_msgs::msg::PoseStamped & pos2,
  const bool is_3d = false)
{
  return euclidean_distance(pos1.pose, pos2.pose, is_3d);
}

inline double euclidean_distance(
  const geometry_msgs::msg::Pose2D & pos1, const geometry_msgs::msg::Pose2D & pos2)
{
  return std::hypot(pos1.x - pos2.x, pos1.y - pos2.y);
}

// The first element with the smallest getCompareVal(element); end for an empty range.
template<typename Iter, typename Getter>
inline Iter min_by(Iter begin, Iter end, Getter getCompareVal)
{
  if (begin == end) {
    return end;
  }
  auto lowest = getCompareVal(*begin);
  Iter lowest_it = begin;
  for (Iter it = ++begin; it != end; ++it) {
    auto comp = getCompareVal(*it);
    if (comp < lowest) {
      lowest = comp;
      lowest_it = it;
    }
  }
  return lowest_it;
}

// The first element whose distance along the poses from `begin` exceeds dist; end if none.
template<typename Iter>
inline Iter first_after_integrated_distance(Iter begin, Iter end, double dist)
{
  if (begin == end) {
    return end;
  }
  double d = 0.0;
  for (Iter it = begin; it != end - 1; it++) {
    d += euclidean_distance(*it, *(it + 1));
    if (d > dist) {
      return it + 1;
    }
  }
  return end;
}

// Planar length of the path from pose start_index on.
inline double calculate_path_length(const nav_msgs::msg::Path & path, size_t start_index = 0)
{
  if (start_index + 1 >= path.poses.size()) {
    return 0.0;
  }
  double path_length = 0.0;
  for (size_t idx = start_index; idx < path.poses.size() - 1; ++idx) {
    path_length += euclidean_distance(path.poses[idx].pose, path.poses[idx + 1].pose);
  }
  return path_length;
}

}  // namespace geometry_utils
}  // namespace nav2_util

#endif  // NAV2_UTIL__GEOMETRY_UTILS_HPP_
