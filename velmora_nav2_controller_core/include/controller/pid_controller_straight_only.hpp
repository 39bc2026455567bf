#ifndef CONTROLLER__PID_CONTROLLER_STRAIGHT_ONLY_HPP_
#define CONTROLLER__PID_CONTROLLER_STRAIGHT_ONLY_HPP_

#include <memory>
#include <vector>

#include "controller/pid_controller.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace controller
{

// The PID path follower for a base that may only drive forwards along gentle arcs: reverse
// commands and turns too tight for the speed are refused, and collisions are checked with the
// front half of the footprint only (the part that leads the motion).
class PidControllerStraightOnly : public PidController
{
public:
  // A turn whose sin(|angular z|) / linear x exceeds this is too tight.
  static constexpr double kMaxTurnPerSpeed = 2.0;

  // Takes the front half of the costmap's padded footprint once, here.
  PidControllerStraightOnly(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  bool isCollisionFree() override;

protected:
  std::vector<geometry_msgs::msg::Point> front_footprint_;
};

}  // namespace controller

#endif  // CONTROLLER__PID_CONTROLLER_STRAIGHT_ONLY_HPP_
