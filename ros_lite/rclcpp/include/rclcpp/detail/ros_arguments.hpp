#ifndef RCLCPP__DETAIL__ROS_ARGUMENTS_HPP_
#define RCLCPP__DETAIL__ROS_ARGUMENTS_HPP_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/logger.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

// One parameter assignment from the command line or a params file, for the nodes whose fully
// qualified name matches `node_pattern` ("/**" matches every node, "*" one name token).
struct ParameterOverrideRule
{
  std::string node_pattern;
  std::string name;
  rclcpp::ParameterValue value;
};

// The ROS arguments of a command line: everything between `--ros-args` and `--` (or the end).
struct RosArguments
{
  // In command-line order; a later rule for the same parameter wins.
  std::vector<ParameterOverrideRule> parameter_rules;
  // (logger name, level); an empty name sets the default level.
  std::vector<std::pair<std::string, rclcpp::Logger::Level>> log_levels;
};

// Understands `--params-file FILE`, `-p/--param name:=value` and
// `--log-level [name:=]level`. Throws exceptions::UnknownROSArgsError for other ROS arguments and
// exceptions::RCLInvalidROSArgsError for a params file or value that cannot be parsed (the
// message, after `error_prefix`, names the file and line, or the argument).
RosArguments parse_ros_arguments(
  const std::vector<std::string> & arguments, const std::string & error_prefix);

// The arguments outside `--ros-args ... [--]` sections.
std::vector<std::string> remove_ros_arguments(const std::vector<std::string> & arguments);

// Parameters of a params file in the ROS 2 YAML layout:
//   <node name | /ns/node name | /** ...>: {ros__parameters: {nested maps}}
// Nested maps flatten into dotted names. Throws RCLInvalidROSArgsError naming file and line.
std::vector<ParameterOverrideRule> parse_parameters_file(
  const std::string & path, const std::string & error_prefix);

// A YAML scalar or flow sequence as a parameter value: `true`, `3`, `3.0`, `text`, `[1, 2]`...
// Throws std::invalid_argument when it cannot be a parameter value.
rclcpp::ParameterValue parse_parameter_value(const std::string & yaml_text);

// True if the node pattern of a params file selects the node with this fully qualified name.
bool node_pattern_matches(const std::string & pattern, const std::string & node_fqn);

// The values the rules give to the parameters of the node with this fully qualified name.
std::map<std::string, rclcpp::ParameterValue> resolve_parameter_overrides(
  const std::string & node_fqn, const std::vector<ParameterOverrideRule> & rules);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__ROS_ARGUMENTS_HPP_
