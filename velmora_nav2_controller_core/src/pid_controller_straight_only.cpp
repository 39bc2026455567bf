#include "controller/pid_controller_straight_only.hpp"

#include <cmath>

#include "velmora/logger.hpp"

namespace controller
{

PidControllerStraightOnly::PidControllerStraightOnly(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: PidController(node, grid_map)
{
  for (const auto & point : grid_map_ros_->getCostmapROS()->getRobotFootprint()) {
    if (point.x >= 0.0) {
      front_footprint_.push_back(point);
    }
  }
}

bool PidControllerStraightOnly::isCollisionFree()
{
  if (cmd_vel_.linear.x < 0.0) {
    VLOG_INFO("!!!!! PidControllerStraightOnly be back");
    return false;
  }
  // Infinite for a turn on the spot, which is refused; not a number at standstill, which is not.
  const double turn_per_speed = std::sin(std::fabs(cmd_vel_.angular.z)) / cmd_vel_.linear.x;
  if (turn_per_speed > kMaxTurnPerSpeed) {
    VLOG_INFO("!!!!! PidControllerStraightOnly spin too much");
    return false;
  }
  if (!collision_checker_->isCollisionFreeDt(
      robot_pose_.pose, cmd_vel_, kCollisionLookAhead, front_footprint_))
  {
    VLOG_INFO("!!!!! PidControllerStraightOnly not CollisionFree");
    return false;
  }
  return true;
}

}  // namespace controller
