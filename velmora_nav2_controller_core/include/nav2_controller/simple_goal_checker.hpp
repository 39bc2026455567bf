#ifndef NAV2_CONTROLLER__SIMPLE_GOAL_CHECKER_HPP_
#define NAV2_CONTROLLER__SIMPLE_GOAL_CHECKER_HPP_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace nav2_controller
{

// Goal reached when the position is within a distance of the goal and the heading within an
// angle of it. With "stateful" on, a position that was once inside its tolerance stays accepted
// until reset(), so the robot may turn in place without drifting out again. A second, tighter
// tolerance set is used while "<plugin_name>.precise_goal_reaching" is true.
//
// Parameters, all under "<plugin_name>.": xy_goal_tolerance, yaw_goal_tolerance (active set,
// changeable at run time), precise_goal_reaching_xy_goal_tolerance,
// precise_goal_reaching_yaw_goal_tolerance (read once), stateful, precise_goal_reaching.
// Tolerances must be non-negative numbers; other values are refused.
class SimpleGoalChecker : public nav2_core::GoalChecker
{
public:
  SimpleGoalChecker();
  ~SimpleGoalChecker() override = default;

  // Declares and reads the parameters and registers the parameter callback. Starts with the
  // normal tolerance set whatever "precise_goal_reaching" says. Throws std::runtime_error when
  // the node is gone and rclcpp::exceptions::InvalidParameterValueException for a tolerance
  // that is negative or not a number. The costmap is not used.
  void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
    const std::string & plugin_name,
    const std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;

  // Applies the position test again (clears the stateful latch).
  void reset() override;

  // A pose that is not a finite position with a usable orientation never reaches the goal and
  // never latches the position test. The velocity is not used.
  bool isGoalReached(
    const geometry_msgs::msg::Pose & query_pose, const geometry_msgs::msg::Pose & goal_pose,
    const geometry_msgs::msg::Twist & velocity) override;

  bool getTolerances(
    geometry_msgs::msg::Pose & pose_tolerance,
    geometry_msgs::msg::Twist & vel_tolerance) override;

  // On-set parameter callback: applies this checker's parameters of the expected type, ignores
  // everything else. A batch holding an invalid tolerance is refused as a whole (nothing is
  // applied, and the node keeps its values).
  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);

protected:
  // Guards the fields below: the callback may run on another thread than the goal check, and
  // a switch of the tolerance set must be seen whole.
  mutable std::mutex mutex_;
  double xy_goal_tolerance_;
  double yaw_goal_tolerance_;
  double normal_xy_goal_tolerance_;
  double normal_yaw_goal_tolerance_;
  double precise_xy_goal_tolerance_;
  double precise_yaw_goal_tolerance_;
  bool stateful_;
  bool check_xy_;
  double xy_goal_tolerance_sq_;
  rclcpp_lifecycle::LifecycleNode::OnSetParametersCallbackHandle::SharedPtr dyn_params_handler_;
  std::string plugin_name_;

private:
  void useTolerances(double xy_goal_tolerance, double yaw_goal_tolerance);
};

}  // namespace nav2_controller

#endif  // NAV2_CONTROLLER__SIMPLE_GOAL_CHECKER_HPP_
