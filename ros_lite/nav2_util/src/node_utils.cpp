#include "nav2_util/node_utils.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace nav2_util
{

std::string sanitize_node_name(const std::string & potential_node_name)
{
  std::string node_name(potential_node_name);
  std::replace_if(
    node_name.begin(), node_name.end(),
    [](unsigned char c) {return !std::isalnum(c);}, '_');
  return node_name;
}

std::string add_namespaces(const std::string & top_ns, const std::string & sub_ns)
{
  if (!top_ns.empty() && top_ns.back() == '/') {
    if (top_ns.front() == '/') {
      return top_ns + sub_ns;
    }
    return "/" + top_ns + sub_ns;
  }
  return top_ns + "/" + sub_ns;
}

std::string time_to_string(size_t len)
{
  std::string output(len, '0');
  const auto count = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  const std::string digits = std::to_string(count);
  if (digits.length() >= len) {
    output = digits.substr(digits.length() - len);
  } else {
    output.replace(len - digits.length(), digits.length(), digits);
  }
  return output;
}

std::string generate_internal_node_name(const std::string & prefix)
{
  return sanitize_node_name(prefix) + "_" + time_to_string(8);
}

rclcpp::Node::SharedPtr generate_internal_node(const std::string & prefix)
{
  auto options = rclcpp::NodeOptions()
    .start_parameter_services(false)
    .start_parameter_event_publisher(false);
  return rclcpp::Node::make_shared(generate_internal_node_name(prefix), options);
}

}  // namespace nav2_util
