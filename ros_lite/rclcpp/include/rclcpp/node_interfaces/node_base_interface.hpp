#ifndef RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "rcl/node.h"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeBaseInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeBaseInterface)

  virtual ~NodeBaseInterface() = default;

  virtual const char * get_name() const = 0;
  virtual const char * get_namespace() const = 0;
  virtual const char * get_fully_qualified_name() const = 0;
  virtual rclcpp::Context::SharedPtr get_context() = 0;
  virtual rcl_node_t * get_rcl_node_handle() = 0;
  virtual const rcl_node_t * get_rcl_node_handle() const = 0;
  virtual std::shared_ptr<rcl_node_t> get_shared_rcl_node_handle() = 0;
  virtual std::shared_ptr<const rcl_node_t> get_shared_rcl_node_handle() const = 0;
  virtual rclcpp::CallbackGroup::SharedPtr create_callback_group(
    rclcpp::CallbackGroupType group_type,
    bool automatically_add_to_executor_with_node = true) = 0;
  virtual rclcpp::CallbackGroup::SharedPtr get_default_callback_group() = 0;
  virtual bool callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group) = 0;
  using CallbackGroupFunction = std::function<void (rclcpp::CallbackGroup::SharedPtr)>;
  virtual void for_each_callback_group(const CallbackGroupFunction & func) = 0;
  virtual std::atomic_bool & get_associated_with_executor_atomic() = 0;
  // Triggered when the node's set of entities changes (e.g. a callback group is created), so
  // that the executor serving the node picks the change up.
  virtual rclcpp::GuardCondition & get_notify_guard_condition() = 0;
  virtual bool get_use_intra_process_default() const = 0;
  virtual bool get_enable_topic_statistics_default() const = 0;
  virtual std::string resolve_topic_or_service_name(
    const std::string & name, bool is_service, bool only_expand = false) const = 0;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_BASE_INTERFACE_HPP_
