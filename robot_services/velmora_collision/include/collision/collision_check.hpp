#ifndef COLLISION__COLLISION_CHECK_HPP_
#define COLLISION__COLLISION_CHECK_HPP_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace Collision
{

// Answers whether a velocity command, held for a short time, keeps the robot clear of the
// obstacles of the grid-map service's costmap: its lethal and unknown cells and whatever lies off
// the map, never inflated cost. A robot already over obstacle cells may move out of them, or
// along them as deep as it is, but not deeper (FootprintSweep has the rule).
class CollisionCheck
{
public:
  explicit CollisionCheck(std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_ros);

  // With the robot's own (padded) footprint. The twist is read as vx, vy in the robot frame and
  // wz; the pose's heading is its yaw. Not free for NaN or infinite input or a negative dt.
  bool isCollisionFreeDt(
    geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & cmd, double dt);
  // With the given footprint (robot frame) instead.
  bool isCollisionFreeDt(
    geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & cmd, double dt,
    std::vector<geometry_msgs::msg::Point> footprint);

private:
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_ros_;
};

}  // namespace Collision

#endif  // COLLISION__COLLISION_CHECK_HPP_
