#ifndef CONTROLLER__PID_CONTROLLER_HPP_
#define CONTROLLER__PID_CONTROLLER_HPP_

#include <memory>

#include "controller/nav_controller_base.hpp"
#include "pid_core/controller.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace controller
{

// Follows the goal's path with the PID path-following core, starting from where the robot
// stands. The goal ends when the core reports the end of the path; every command is swept
// along its motion for half a second against the costmap before it is sent.
class PidController : public NavControllerBase
{
public:
  PidController(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  bool computeVelocity() override;
  bool isCollisionFree() override;
  // False without a robot pose, and (with a log line) for a path holding a pose that is not
  // finite, which the core could not follow.
  bool setPlan(std::shared_ptr<const Goal> goal) override;
  bool isGoalReached() override;

protected:
  // How far ahead, in seconds of the command, the collision test looks.
  static constexpr double kCollisionLookAhead = 0.5;

  std::shared_ptr<Controller> pid_core_;
};

}  // namespace controller

#endif  // CONTROLLER__PID_CONTROLLER_HPP_
