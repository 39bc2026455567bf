#include "collision/collision_check.hpp"

#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "collision/footprint_sweep.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace Collision
{

namespace
{
bool allFinite(std::initializer_list<double> values)
{
  for (double value : values) {
    if (!std::isfinite(value)) {
      return false;
    }
  }
  return true;
}
}  // namespace

CollisionCheck::CollisionCheck(std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_ros)
: grid_map_ros_(std::move(grid_map_ros))
{
  if (!grid_map_ros_) {
    throw std::invalid_argument("CollisionCheck needs a grid-map service, got none");
  }
}

bool CollisionCheck::isCollisionFreeDt(
  geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & cmd, double dt)
{
  return isCollisionFreeDt(
    pose, cmd, dt, grid_map_ros_->getCostmapROS()->getRobotFootprint());
}

bool CollisionCheck::isCollisionFreeDt(
  geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & cmd, double dt,
  std::vector<geometry_msgs::msg::Point> footprint)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  if (!allFinite({p.x, p.y, p.z, q.x, q.y, q.z, q.w}) ||
    !allFinite({cmd.linear.x, cmd.linear.y, cmd.linear.z,
      cmd.angular.x, cmd.angular.y, cmd.angular.z}))
  {
    return false;
  }
  nav2_costmap_2d::Costmap2D * costmap = grid_map_ros_->getCostmapROS()->getCostmap();
  if (costmap == nullptr) {
    return false;
  }
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  FootprintSweep sweep(*costmap);
  return sweep.isFree(
    {p.x, p.y, tf2::getYaw(q)}, {cmd.linear.x, cmd.linear.y, cmd.angular.z}, dt, footprint);
}

}  // namespace Collision
