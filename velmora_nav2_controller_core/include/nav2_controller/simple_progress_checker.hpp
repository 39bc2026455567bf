#ifndef NAV2_CONTROLLER__SIMPLE_PROGRESS_CHECKER_HPP_
#define NAV2_CONTROLLER__SIMPLE_PROGRESS_CHECKER_HPP_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_core/progress_checker.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace nav2_controller
{

// Progress is made while the robot moves more than a radius from where it last did within a
// time allowance; turning on the spot is not progress. Parameters under "<plugin_name>.":
// required_movement_radius (m, default 0.5) and movement_time_allowance (s, default 10.0),
// both changeable at run time; negative values or values that are not numbers are refused.
class SimpleProgressChecker : public nav2_core::ProgressChecker
{
public:
  SimpleProgressChecker();
  ~SimpleProgressChecker() override = default;

  // Takes the node's clock and declares and reads the parameters; throws std::runtime_error
  // when the node is gone and rclcpp::exceptions::InvalidParameterValueException for an
  // unusable value.
  void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
    const std::string & plugin_name) override;
  // True while progress is acceptable; the first check after initialize or reset sets the
  // baseline and passes.
  bool check(geometry_msgs::msg::PoseStamped & current_pose) override;
  void reset() override;

  rcl_interfaces::msg::SetParametersResult dynamicParametersCallback(
    std::vector<rclcpp::Parameter> parameters);

protected:
  bool is_robot_moved_enough(const geometry_msgs::msg::Pose2D & pose);
  void reset_baseline_pose(const geometry_msgs::msg::Pose2D & pose);

  // Guards the fields below against the parameter callback's thread.
  std::mutex mutex_;
  rclcpp::Clock::SharedPtr clock_;
  double radius_;
  rclcpp::Duration time_allowance_;
  geometry_msgs::msg::Pose2D baseline_pose_;
  rclcpp::Time baseline_time_;
  bool baseline_pose_set_;
  rclcpp_lifecycle::LifecycleNode::OnSetParametersCallbackHandle::SharedPtr dyn_params_handler_;
  std::string plugin_name_;
};

}  // namespace nav2_controller

#endif  // NAV2_CONTROLLER__SIMPLE_PROGRESS_CHECKER_HPP_
