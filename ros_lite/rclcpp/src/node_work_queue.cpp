#include "rclcpp/detail/node_work_queue.hpp"

#include <utility>

namespace rclcpp
{
namespace detail
{

bool post(
  const std::weak_ptr<rclcpp::node_interfaces::NodeBaseInterface> & node,
  std::function<void()> work)
{
  const auto node_base = node.lock();
  if (!node_base) {
    return false;
  }
  node_base->get_default_callback_group()->work_queue().post(std::move(work));
  return true;
}

bool post(const std::weak_ptr<rclcpp::CallbackGroup> & group, std::function<void()> work)
{
  const auto callback_group = group.lock();
  if (!callback_group) {
    return false;
  }
  callback_group->work_queue().post(std::move(work));
  return true;
}

}  // namespace detail
}  // namespace rclcpp
