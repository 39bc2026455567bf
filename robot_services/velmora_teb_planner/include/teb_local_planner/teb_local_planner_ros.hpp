#ifndef TEB_LOCAL_PLANNER__TEB_LOCAL_PLANNER_ROS_HPP_
#define TEB_LOCAL_PLANNER__TEB_LOCAL_PLANNER_ROS_HPP_

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

// Local planner of a holonomic base. Every cycle it takes the point of the path a look-ahead
// distance beyond the robot's projection on it, derives the motion that pulls the robot there
// (slowing so that it can stop at the end of the path, heading towards the path's heading),
// samples motions within the dynamic window that the acceleration limits leave around the
// current velocity, and sends the one closest to that pull whose footprint stays clear of the
// costmap's obstacles over the simulation time. Obstacles are what the collision checker's
// FootprintSweep says they are: lethal and unknown cells and the map's edge, never inflated cost;
// a robot whose footprint already covers obstacle cells may move out of them, or along them as
// deep as it is, never deeper. The path ahead is judged the same way, from where the robot is.
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
// blocked by an obstacle, limits that leave no motion, or a planner that is not active.
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
  // Throws when the footprint, placed along the path from `along` on, collides, the robot
  // standing at `robot`.
  void checkPathAhead(
    double along, const Collision::Pose2 & robot, nav2_costmap_2d::Costmap2D & costmap) const;

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
