#ifndef NAV2_CONTROLLER__STOPPED_GOAL_CHECKER_HPP_
#define NAV2_CONTROLLER__STOPPED_GOAL_CHECKER_HPP_

#include <memory>
#include <string>
#include <vector>

#include "nav2_controller/simple_goal_checker.hpp"

namespace nav2_controller
{

// The simple goal checker that also wants the robot (nearly) stopped: turn rate and planar
// speed at or below their bounds. Parameters, besides the simple checker's, under
// "<plugin_name>.": rot_stopped_velocity (rad/s) and trans_stopped_velocity (m/s), both 0.25
// by default and changeable at run time; negative values or values that are not numbers are
// refused.
class StoppedGoalChecker : public SimpleGoalChecker
{
public:
  StoppedGoalChecker();
  ~StoppedGoalChecker() override = default;

  // Throws rclcpp::exceptions::InvalidParameterValueException for an unusable bound, besides
  // what SimpleGoalChecker::initialize throws.
  void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
    const std::string & plugin_name,
    const std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;

  bool isGoalReached(
    const geometry_msgs::msg::Pose & query_pose, const geometry_msgs::msg::Pose & goal_pose,
    const geometry_msgs::msg::Twist & velocity) override;

  bool getTolerances(
    geometry_msgs::msg::Pose & pose_tolerance,
    geometry_msgs::msg::Twist & vel_tolerance) override;

  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);

protected:
  // Guarded by the simple checker's mutex_, like its own fields.
  double rot_stopped_velocity_;
  double trans_stopped_velocity_;
  rclcpp_lifecycle::LifecycleNode::OnSetParametersCallbackHandle::SharedPtr
    stopped_params_handler_;
  std::string stopped_plugin_name_;
};

}  // namespace nav2_controller

#endif  // NAV2_CONTROLLER__STOPPED_GOAL_CHECKER_HPP_
