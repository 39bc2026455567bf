#ifndef CONTROLLER__TEB_CONTROLLER_HPP_
#define CONTROLLER__TEB_CONTROLLER_HPP_

#include <memory>
#include <string>
#include <vector>

#include "controller/nav_controller_base.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "teb_local_planner/teb_local_planner_ros.hpp"

namespace controller
{

// Follows the goal's path with the TEB local planner. Per goal it writes the goal's velocity
// caps (and accelerations scaled with the forward cap) into the planner's parameters, accepts
// a goal as reached at once when the goal says the robot is near its destination or the final
// path is empty, and also ends at any of the goal's extra goals. With the goal's `finished`
// flag clear, reaching the end of the path stops the robot without ending the goal: the route
// continues with the next segment.
class TebController : public NavControllerBase
{
public:
  // Creates and configures the planner, then reads the six "TebPlanning." limits that every
  // goal starts from.
  TebController(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  bool computeVelocity() override;
  bool isCollisionFree() override;
  // Refuses (false, with a log line) an empty path that is not final, and a goal whose
  // max_velocity has a negative component, whose speed_limit_percent is negative or not a
  // number, or whose extra goals hold a pose that is not finite.
  bool setPlan(std::shared_ptr<const Goal> goal) override;
  bool isGoalReached() override;

  // Writes the goal's limits into the planner's parameters; the configured baseline stays.
  // A component of `max_velocity` that is not a number leaves that limit at its baseline.
  void setParametersForMoving(const geometry_msgs::msg::Twist & max_velocity, const Goal & goal);

protected:
  std::shared_ptr<teb_local_planner::TebLocalPlannerROS> planner_;
  nav_msgs::msg::Path plan_;
  std::vector<geometry_msgs::msg::PoseStamped> extra_goals_;
  std::string planner_name_;
  double max_vel_x_{0.5};
  double max_vel_y_{0.5};
  double max_vel_x_backwards_{0.5};
  double max_vel_theta_{0.8};
  double acc_lim_x_{0.3};
  double acc_lim_y_{0.3};

private:
  // Why the goal cannot be driven with; empty when it can.
  static std::string unusableGoalReason(const Goal & goal);
  // The general goal checker's verdict for the robot pose at `target`, at standstill.
  bool robotAt(const geometry_msgs::msg::PoseStamped & target);
  // The first extra goal the robot has reached, if any; sets goal_reached_ accordingly.
  bool reachedExtraGoal();
};

}  // namespace controller

#endif  // CONTROLLER__TEB_CONTROLLER_HPP_
