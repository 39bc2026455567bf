#ifndef RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeWaitablesInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeWaitablesInterface)

  virtual ~NodeWaitablesInterface() = default;

  // `group` nullptr means the node's default group; a group of another node throws
  // std::runtime_error.
  virtual void add_waitable(
    rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group) = 0;
  virtual void remove_waitable(
    rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group) noexcept = 0;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_WAITABLES_INTERFACE_HPP_
