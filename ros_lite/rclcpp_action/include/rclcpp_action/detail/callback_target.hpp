#ifndef RCLCPP_ACTION__DETAIL__CALLBACK_TARGET_HPP_
#define RCLCPP_ACTION__DETAIL__CALLBACK_TARGET_HPP_

#include <functional>
#include <memory>
#include <mutex>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp_action::detail
{

// Where the callbacks of an action server or client run: on the executor serving the callback
// group it was added to, the node's default group unless another was given.
class CallbackTarget
{
public:
  explicit CallbackTarget(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node);

  void setGroup(const rclcpp::CallbackGroup::SharedPtr & group);

  // Queues the work, never runs it inline; false (work dropped) once the group is gone.
  bool post(std::function<void()> work) const;

private:
  mutable std::mutex mutex_;
  std::weak_ptr<rclcpp::CallbackGroup> group_;
};

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__CALLBACK_TARGET_HPP_
