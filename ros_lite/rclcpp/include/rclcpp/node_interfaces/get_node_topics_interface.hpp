#ifndef RCLCPP__NODE_INTERFACES__GET_NODE_TOPICS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__GET_NODE_TOPICS_INTERFACE_HPP_

#include <memory>
#include <type_traits>

#include "rclcpp/node_interfaces/node_topics_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

// The topics interface of anything that has one: a node (by reference, pointer or shared
// pointer) or the interface itself.
inline NodeTopicsInterface * get_node_topics_interface(NodeTopicsInterface * node_topics)
{
  return node_topics;
}

inline NodeTopicsInterface * get_node_topics_interface(
  const std::shared_ptr<NodeTopicsInterface> & node_topics)
{
  return node_topics.get();
}

template<typename NodeT, typename std::enable_if_t<
    !std::is_base_of_v<NodeTopicsInterface, NodeT>, int> = 0>
NodeTopicsInterface * get_node_topics_interface(const std::shared_ptr<NodeT> & node)
{
  return node->get_node_topics_interface().get();
}

template<typename NodeT, typename std::enable_if_t<
    !std::is_base_of_v<NodeTopicsInterface, NodeT>, int> = 0>
NodeTopicsInterface * get_node_topics_interface(NodeT * node)
{
  return node->get_node_topics_interface().get();
}

template<typename NodeT>
auto get_node_topics_interface(NodeT & node)
-> decltype(node.get_node_topics_interface().get())
{
  return node.get_node_topics_interface().get();
}

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__GET_NODE_TOPICS_INTERFACE_HPP_
