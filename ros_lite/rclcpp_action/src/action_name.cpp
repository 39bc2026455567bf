#include "rclcpp_action/detail/action_name.hpp"

#include <stdexcept>

namespace rclcpp_action::detail
{

namespace
{

std::string join(const std::string & prefix, const std::string & rest)
{
  if (prefix.empty() || prefix.back() != '/') {
    return prefix + "/" + rest;
  }
  return prefix + rest;
}

}  // namespace

std::string resolveActionName(
  const std::string & name, const std::string & node_namespace, const std::string & node_name)
{
  if (name.empty()) {
    throw std::invalid_argument("action name must not be empty");
  }
  if (name.front() == '/') {
    return name;
  }
  const std::string namespace_root = node_namespace.empty() ? "/" : node_namespace;
  if (name.front() == '~') {
    const std::string rest = name.size() > 1 && name[1] == '/' ? name.substr(2) : name.substr(1);
    const std::string node = join(namespace_root, node_name);
    return rest.empty() ? node : join(node, rest);
  }
  return join(namespace_root, name);
}

}  // namespace rclcpp_action::detail
