#include "rclcpp_action/detail/callback_target.hpp"

#include <utility>

#include "rclcpp/detail/node_work_queue.hpp"

namespace rclcpp_action::detail
{

CallbackTarget::CallbackTarget(const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node)
: group_(node->get_default_callback_group())
{}

void CallbackTarget::setGroup(const rclcpp::CallbackGroup::SharedPtr & group)
{
  std::lock_guard<std::mutex> lock(mutex_);
  group_ = group;
}

bool CallbackTarget::post(std::function<void()> work) const
{
  std::weak_ptr<rclcpp::CallbackGroup> group;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    group = group_;
  }
  return rclcpp::detail::post(group, std::move(work));
}

}  // namespace rclcpp_action::detail
