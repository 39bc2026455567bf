#include "rclcpp/node.hpp"

#include <string>

namespace rclcpp
{

Node::Node(const std::string & node_name, const NodeOptions & options)
: Node(node_name, "", options)
{}

Node::Node(
  const std::string & node_name, const std::string & namespace_, const NodeOptions & options)
: detail::NodeCommon(node_name, namespace_, options)
{}

Node::~Node() = default;

}  // namespace rclcpp
