#ifndef NAV2_CORE__PROGRESS_CHECKER_HPP_
#define NAV2_CORE__PROGRESS_CHECKER_HPP_

#include <memory>
#include <string>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace nav2_core
{

// Decides whether the robot is still making progress; a plugin of the controller server.
class ProgressChecker
{
public:
  typedef std::shared_ptr<nav2_core::ProgressChecker> Ptr;

  virtual ~ProgressChecker() {}

  virtual void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
    const std::string & plugin_name) = 0;

  // False once the robot has not moved enough for too long.
  virtual bool check(geometry_msgs::msg::PoseStamped & current_pose) = 0;

  virtual void reset() = 0;
};

}  // namespace nav2_core

#endif  // NAV2_CORE__PROGRESS_CHECKER_HPP_
