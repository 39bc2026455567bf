#ifndef NAV2_UTIL__NODE_UTILS_HPP_
#define NAV2_UTIL__NODE_UTILS_HPP_

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_util
{

// Replaces every character that is not alphanumeric with '_'.
std::string sanitize_node_name(const std::string & potential_node_name);

// Joins two namespaces: a top ending in '/' is followed directly by sub (and gets a leading
// '/' if it lacks one); otherwise they are joined with '/'.
std::string add_namespaces(const std::string & top_ns, const std::string & sub_ns = "");

// The sanitised prefix followed by "_" and eight digits of the current time.
std::string generate_internal_node_name(const std::string & prefix = "");

// A helper node with that kind of name and no parameter services.
rclcpp::Node::SharedPtr generate_internal_node(const std::string & prefix = "");

// The `len` lowest digits of the current time, zero padded.
std::string time_to_string(size_t len);

// Declares the parameter unless it already is: an existing value or override wins.
template<typename NodeT>
void declare_parameter_if_not_declared(
  NodeT node,
  const std::string & param_name,
  const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
  rcl_interfaces::msg::ParameterDescriptor())
{
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, default_value, parameter_descriptor);
  }
}

// By type: without an override the parameter is declared with no value.
template<typename NodeT>
void declare_parameter_if_not_declared(
  NodeT node,
  const std::string & param_name,
  const rclcpp::ParameterType & param_type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
  rcl_interfaces::msg::ParameterDescriptor())
{
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, param_type, parameter_descriptor);
  }
}

// The "<plugin_name>.plugin" parameter. A plugin without a type is a configuration error the
// process cannot recover from: it logs FATAL and exits.
template<typename NodeT>
std::string get_plugin_type_param(NodeT node, const std::string & plugin_name)
{
  declare_parameter_if_not_declared(node, plugin_name + ".plugin", rclcpp::PARAMETER_STRING);
  std::string plugin_type;
  try {
    if (!node->get_parameter(plugin_name + ".plugin", plugin_type)) {
      RCLCPP_FATAL(
        node->get_logger(), "Can not get 'plugin' param value for %s", plugin_name.c_str());
      exit(-1);
    }
  } catch (rclcpp::exceptions::ParameterUninitializedException &) {
    RCLCPP_FATAL(node->get_logger(), "'plugin' param not defined for %s", plugin_name.c_str());
    exit(-1);
  }
  return plugin_type;
}

// Declares on child every parameter of parent that child does not have, with parent's value
// (parameters without a value are skipped).
template<typename NodeT1, typename NodeT2>
void copy_all_parameters(const NodeT1 & parent, const NodeT2 & child)
{
  std::map<std::string, rclcpp::Parameter> params;
  parent->get_node_parameters_interface()->get_parameters_by_prefix("", params);
  for (const auto & entry : params) {
    const rclcpp::Parameter & param = entry.second;
    if (param.get_type() != rclcpp::PARAMETER_NOT_SET && !child->has_parameter(param.get_name())) {
      child->declare_parameter(param.get_name(), param.get_parameter_value());
    }
  }
}

}  // namespace nav2_util

#endif  // NAV2_UTIL__NODE_UTILS_HPP_
