#ifndef TEB_LOCAL_PLANNER__TEB_LOCAL_PLANNER_ROS_HPP_
#define TEB_LOCAL_PLANNER__TEB_LOCAL_PLANNER_ROS_HPP_

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "collision/footprint_sweep.hpp"
#include "collision/planar_pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav2_core/controller.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

namespace teb_local_planner
{

// Local planner of a holonomic base. Every cycle it projects the robot onto the path and pulls
// it, in the map frame, towards a carrot a look-ahead distance further on: pulling towards a
// point on the path corrects the cross-track error, and the carrot is held back to run at most
// 0.2 m past a bend, so the robot does not cut the corner. The speed is as much as the axis
// limits allow in that direction, slow enough to stop at the end of the path and to enter a
// bend (a turn of the path's direction by more than 0.35 rad within 1.5 m) at 0.15 m/s. The
// heading turns towards the path's heading a full look-ahead on; a robot facing more than about
// 30 degrees away from the path drives slower, and from about 75 degrees on it turns on the spot
// first, where that turn sweeps no obstacle. The commands that the acceleration limits leave
// reachable within one control period (the dynamic window) are ranked by how closely the motion
// they produce matches the pull, compared at the heading the robot will have mid-period (so a
// turning robot still drives a straight line), and the first whose footprint stays clear over
// the simulation time is sent. A robot that stands while the path pulls is not told to stand on:
// when nothing else is clear it is boxed in and the planner says so. Obstacles are what the
// collision checker's FootprintSweep says they are: lethal and unknown cells and the map's edge,
// never inflated cost; a robot whose footprint already covers obstacle cells may move out of
// them, or along them as deep as it is, never deeper. The path ahead is judged the same way,
// from where the robot is: a place on it is blocked only when the footprint fits there neither
// facing the path's heading nor facing the robot's own.
//
// Parameters, under "<name>." (read at configure, changeable at run time; each must be a
// finite number at least 0, values that are not are refused):
//   max_vel_x 0.5, max_vel_y 0.5, max_vel_x_backwards 0.5 (m/s), max_vel_theta 0.8 (rad/s),
//   acc_lim_x 0.3, acc_lim_y 0.3 (m/s^2), acc_lim_theta 1.0 (rad/s^2),
//   lookahead_distance 0.6 (m), sim_time 0.8 (s, the horizon of the collision sweep),
//   control_period 0.05 (s, the cycle the acceleration limits are applied over),
//   max_path_deviation 1.0 (m, farther from the path and the planner gives up),
//   blocked_check_distance 1.0 (m of path ahead checked for obstacles).
//
// Failures are thrown as nav2_core::PlannerException: an empty plan, a plan pose that is not
// finite, a robot pose that is not finite, the robot too far off the path, the path ahead
// blocked by an obstacle (how far ahead and where), limits that leave no motion, a robot boxed
// in (no command the window leaves is clear; its velocity is named), or a planner that is not
// active.
class TebLocalPlannerROS : public nav2_core::Controller
{
public:
  TebLocalPlannerROS();
  ~TebLocalPlannerROS() override;

  void configure(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent, std::string name,
    std::shared_ptr<tf2_ros::Buffer> tf,
    std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;
  void cleanup() override;
  void activate() override;
  void deactivate() override;
  void setPlan(const nav_msgs::msg::Path & path) override;
  geometry_msgs::msg::TwistStamped computeVelocityCommands(
    const geometry_msgs::msg::PoseStamped & pose, const geometry_msgs::msg::Twist & velocity,
    nav2_core::GoalChecker * goal_checker) override;
  // Caps the three speed limits: a share of each (percentage) or an absolute speed (m/s);
  // 0 (no speed limit) or a value that is not a positive number lifts the cap.
  void setSpeedLimit(const double & speed_limit, const bool & percentage) override;

  // On-set parameter callback for the parameters above.
  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);

private:
  struct Limits
  {
    double max_vel_x{0.5};
    double max_vel_y{0.5};
    double max_vel_x_backwards{0.5};
    double max_vel_theta{0.8};
    double acc_lim_x{0.3};
    double acc_lim_y{0.3};
    double acc_lim_theta{1.0};
    double lookahead_distance{0.6};
    double sim_time{0.8};
    double control_period{0.05};
    double max_path_deviation{1.0};
    double blocked_check_distance{1.0};
  };

  struct PlanPoint
  {
    double x;
    double y;
    double yaw;
    double along;  // arc length from the first pose
  };

  struct Projection
  {
    std::size_t segment;
    double along;
    double distance;  // from the robot to the path
  };

  // The members of Limits, by parameter suffix.
  static std::vector<std::pair<const char *, double Limits::*>> parameterTable();
  Limits currentLimits() const;
  Projection project(double x, double y, std::size_t from) const;
  PlanPoint pointAt(double along) const;
  // The direction (rad) the path runs in at `along`, from its positions, not its headings.
  double directionAt(double along) const;
  // How far along the path from `along` its direction has turned into a bend; infinite when it
  // does not within the distance bends are looked for.
  double distanceToBend(double along) const;
  // Throws when the footprint, placed along the path from `along` on, collides, the robot
  // standing at `robot`.
  void checkPathAhead(
    double along, const Collision::Pose2 & robot, nav2_costmap_2d::Costmap2D & costmap) const;

  // A wanted motion: velocity in the map frame (m/s) and turn rate (rad/s).
  struct Pull
  {
    double vx;
    double vy;
    double wz;
  };
  // The motion that follows the path from `robot`, projected at `along`.
  Pull pullTowardsPath(
    const Collision::Pose2 & robot, double along, const Limits & limits,
    Collision::FootprintSweep & sweep,
    const std::vector<geometry_msgs::msg::Point> & footprint) const;
  // The share (0 to 1) of its speed the robot drives at while `turn` (rad) from the heading it
  // should have: less the farther it faces away, unless it cannot turn on the spot.
  double driveShareWhileTurning(
    const Collision::Pose2 & robot, double along, double turn, const Limits & limits,
    Collision::FootprintSweep & sweep,
    const std::vector<geometry_msgs::msg::Point> & footprint) const;

  std::string name_;
  rclcpp_lifecycle::LifecycleNode::WeakPtr node_;
  std::shared_ptr<tf2_ros::Buffer> tf_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  rclcpp_lifecycle::LifecycleNode::OnSetParametersCallbackHandle::SharedPtr dyn_params_handler_;

  // Guards the limits and the speed cap against the parameter callback's thread.
  mutable std::mutex limits_mutex_;
  Limits limits_;
  double speed_cap_;        // m/s, or a share
  bool speed_cap_is_share_{false};

  std::vector<PlanPoint> plan_;
  std::size_t segment_{0};
  bool active_{false};
};

}  // namespace teb_local_planner

#endif  // TEB_LOCAL_PLANNER__TEB_LOCAL_PLANNER_ROS_HPP_
