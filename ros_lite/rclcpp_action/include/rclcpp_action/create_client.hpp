#ifndef RCLCPP_ACTION__CREATE_CLIENT_HPP_
#define RCLCPP_ACTION__CREATE_CLIENT_HPP_

#include <memory>
#include <string>

#include "rcl_action/action_client.h"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action
{

// The client is added to the node's waitables in `group` (the default group when nullptr).
// Note the order: group before options (the opposite of create_server).
template<typename ActionT>
typename Client<ActionT>::SharedPtr
create_client(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface,
  rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph_interface,
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface,
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface,
  const std::string & name,
  rclcpp::CallbackGroup::SharedPtr group = nullptr,
  const rcl_action_client_options_t & options = rcl_action_client_get_default_options())
{
  auto client = std::make_shared<Client<ActionT>>(
    node_base_interface, node_graph_interface, node_logging_interface, name, options);
  node_waitables_interface->add_waitable(client, group);
  if (group) {
    detail::bindCallbackGroup(*client, group);
  }
  return client;
}

template<typename ActionT, typename NodeT>
typename Client<ActionT>::SharedPtr
create_client(
  NodeT node, const std::string & name, rclcpp::CallbackGroup::SharedPtr group = nullptr,
  const rcl_action_client_options_t & options = rcl_action_client_get_default_options())
{
  return create_client<ActionT>(
    node->get_node_base_interface(), node->get_node_graph_interface(),
    node->get_node_logging_interface(), node->get_node_waitables_interface(), name, group, options);
}

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CREATE_CLIENT_HPP_
