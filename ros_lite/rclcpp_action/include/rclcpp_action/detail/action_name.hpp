#ifndef RCLCPP_ACTION__DETAIL__ACTION_NAME_HPP_
#define RCLCPP_ACTION__DETAIL__ACTION_NAME_HPP_

#include <string>

namespace rclcpp_action::detail
{

// The fully qualified name an action is known by, resolved like a topic name: "/a" is absolute,
// "~/a" is below the node, anything else is below the node's namespace.
// Throws std::invalid_argument for an empty name.
std::string resolveActionName(
  const std::string & name, const std::string & node_namespace, const std::string & node_name);

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__ACTION_NAME_HPP_
