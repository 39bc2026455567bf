#ifndef RCLCPP__DETAIL__NODE_WORK_QUEUE_HPP_
#define RCLCPP__DETAIL__NODE_WORK_QUEUE_HPP_

#include <functional>
#include <memory>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace detail
{

// Queues work on a node. It runs on the thread of the executor spinning that node (spin,
// spin_some, spin_once, spin_until_future_complete), in posting order, never inline; work
// posted while no executor spins the node waits until one does. Thread-safe.
// Returns false (and drops the work) when the node no longer exists.
bool post(
  const std::weak_ptr<rclcpp::node_interfaces::NodeBaseInterface> & node,
  std::function<void()> work);

// Same, for a specific callback group of a node (the work runs on the executor serving that
// group). Returns false (and drops the work) when the group no longer exists.
bool post(const std::weak_ptr<rclcpp::CallbackGroup> & group, std::function<void()> work);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_WORK_QUEUE_HPP_
