#ifndef CONTROLLER__DWB_CONTROLLER_HPP_
#define CONTROLLER__DWB_CONTROLLER_HPP_

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include "controller/dwb_local_planner.hpp"
#include "controller/nav_controller_base.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"

namespace controller
{

// The motion limits of one driving direction, written into the planner's parameters when a goal
// in that direction starts.
struct DwbMotionSet
{
  double min_vel_x{0.0};
  double max_vel_x{0.0};
  int vtheta_samples{0};
  double sim_time{0.0};
  double max_vel_theta{0.0};
  // Acceleration limits; their negatives are the deceleration limits.
  double acc_x{0.0};
  double acc_theta{0.0};
};

// Drives the robot along a goal's path with the dynamic-window planner. Backward goals are
// planned as forward ones from the robot pose turned by pi, with the linear velocities mirrored.
// Each goal start writes its direction's motion limits, capped by the goal's speed limit with a
// soft start, into the planner's parameters.
class DwbController : public NavControllerBase
{
public:
  DwbController(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  bool computeVelocity() override;
  // The planner's critics have judged the command against the costmap already.
  bool isCollisionFree() override;
  double computeSpeedRate() override;
  // False for a path without poses, and for goals it cannot drive safely: non-finite poses, a
  // path frame tf cannot relate to the costmap, an unusable speed limit or tolerance.
  bool setPlan(std::shared_ptr<const Goal> goal) override;
  // Only a goal whose `finished` flag is set is ever reported as reached.
  bool isGoalReached() override;

  // True when the trajectory just chosen is very short and points away from the path ahead,
  // the part of `path` from the pose the robot has come to (its first pose before any cycle).
  bool shouldForceRotate(const nav_msgs::msg::Path & path) const;

  void getParametersForGoingBackwards();
  void setParametersForMoving(const std::shared_ptr<const Goal> & goal);
  // Soft start: a robot moving much slower than the goal's speed limit gets a lower cap, between
  // its measured speed and the limit.
  void trapezoidSpeedControl(
    const std::shared_ptr<const Goal> & goal,
    std::unordered_map<std::string, rclcpp::Parameter> & parameters, bool backward);

private:
  // The planning part of computeVelocity; planning failures leave it as PlannerException.
  bool planVelocity();
  // Moves path_progress_ to the goal path's pose nearest the robot.
  void advancePathProgress();
  void reportRotationIntent();
  void applySpeedScale(const geometry_msgs::msg::Twist & planned);
  // Why the goal cannot be driven, or empty when it can.
  std::string unusableGoalReason(const Goal & goal) const;
  // How close to the end of its path the robot must come for a goal with these fields.
  double reachDistance(bool fine_goal_reach, float tolerance) const;
  // The goal's speed limit bounded by the forward top speed, the highest the robot is set up for.
  double boundedSpeedLimit(const Goal & goal) const;
  void declareAndRead(const std::string & name, double default_value, double & value);
  // The node all parameter work goes through. It is held weakly: the node owns this controller,
  // and a strong handle here would keep the node, its topics and its action alive for ever.
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> parameterNode() const;

  double last_odom_vel_x_{0.0};
  double last_vel_multi_scale_{0.3};
  double last_vel_ratio_{0.6};
  double last_last_vel_multi_scale_{0.3};
  double max_angular_scale_{1.0};
  std::shared_ptr<LocalPlanner> planner_;
  double oscillation_coefficient_{0.4};
  double min_average_x_vel_{0.05};
  double min_average_angle_vel_{0.05};
  double goal_distance_{0.1};
  double dwb_goal_reach_distance_{0.3};
  double marlo_dwb_goal_reach_distance_{0.05};
  bool fine_goal_reach_{false};
  bool stop_in_place_{false};
  double theta_threshold_{0.8};
  double forward_path_remain_dis_{0.5};
  std::string plugin_name_{"DwbPlanning"};
  bool backward_{false};
  DwbMotionSet forward_motion_;
  DwbMotionSet backward_motion_;
  std::shared_ptr<const Goal> goal_;
  // Index of the goal path's pose the robot has come to; the force-rotate rule looks ahead of it.
  std::size_t path_progress_{0};
};

}  // namespace controller

#endif  // CONTROLLER__DWB_CONTROLLER_HPP_
