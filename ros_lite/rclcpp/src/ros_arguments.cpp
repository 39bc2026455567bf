#include "rclcpp/detail/ros_arguments.hpp"

#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "rcl/error_handling.h"
#include "rcl/types.h"
#include "rclcpp/exceptions.hpp"
#include "rcutils/logging.h"

namespace rclcpp
{
namespace detail
{

namespace
{

const char * const kRosArgsFlag = "--ros-args";
const char * const kRosArgsEnd = "--";

// Throws RCLInvalidROSArgsError; `where`/`line` end up as the ", at <where>:<line>" suffix.
[[noreturn]] void throw_invalid_ros_args(
  const std::string & error_prefix, const std::string & message, const std::string & where,
  size_t line)
{
  rcl_error_state_t error_state{};
  std::snprintf(error_state.message, sizeof(error_state.message), "%s", message.c_str());
  std::snprintf(error_state.file, sizeof(error_state.file), "%s", where.c_str());
  error_state.line_number = line;
  throw rclcpp::exceptions::RCLInvalidROSArgsError(
    RCL_RET_INVALID_ROS_ARGS, &error_state, error_prefix);
}

// Error in the structure or a value of a params file, with the line (1-based) it is on.
class ParamsFileError : public std::runtime_error
{
public:
  ParamsFileError(const std::string & message, const YAML::Mark & mark)
  : std::runtime_error(message), line(mark.is_null() ? 0 : static_cast<size_t>(mark.line) + 1) {}

  size_t line;
};

enum class ScalarKind { Bool, Integer, Double, String };

struct Scalar
{
  ScalarKind kind;
  bool bool_value = false;
  int64_t integer_value = 0;
  double double_value = 0.0;
  std::string string_value;
};

bool parse_bool(const std::string & text, bool & value)
{
  static const std::set<std::string> true_words = {
    "Y", "y", "yes", "Yes", "YES", "true", "True", "TRUE", "on", "On", "ON"};
  static const std::set<std::string> false_words = {
    "N", "n", "no", "No", "NO", "false", "False", "FALSE", "off", "Off", "OFF"};
  if (true_words.count(text) != 0) {
    value = true;
    return true;
  }
  if (false_words.count(text) != 0) {
    value = false;
    return true;
  }
  return false;
}

bool parse_integer(const std::string & text, int64_t & value)
{
  if (text.empty()) {
    return false;
  }
  errno = 0;
  char * end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size()) {
    return false;
  }
  value = static_cast<int64_t>(parsed);
  return true;
}

bool parse_double(const std::string & text, double & value)
{
  static const std::set<std::string> nan_words = {".nan", ".NaN", ".NAN"};
  static const std::set<std::string> inf_words = {".inf", ".Inf", ".INF", "+.inf", "+.Inf", "+.INF"};
  static const std::set<std::string> minus_inf_words = {"-.inf", "-.Inf", "-.INF"};
  if (nan_words.count(text) != 0) {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (inf_words.count(text) != 0) {
    value = std::numeric_limits<double>::infinity();
    return true;
  }
  if (minus_inf_words.count(text) != 0) {
    value = -std::numeric_limits<double>::infinity();
    return true;
  }
  if (text.empty()) {
    return false;
  }
  errno = 0;
  char * end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size()) {
    return false;
  }
  value = parsed;
  return true;
}

// The type of a plain scalar is what it reads as (bool words, integer, floating point); a
// quoted scalar is always a string.
Scalar to_scalar(const YAML::Node & node)
{
  Scalar scalar;
  const std::string & text = node.Scalar();
  if (node.Tag() == "!") {
    scalar.kind = ScalarKind::String;
    scalar.string_value = text;
  } else if (parse_bool(text, scalar.bool_value)) {
    scalar.kind = ScalarKind::Bool;
  } else if (parse_integer(text, scalar.integer_value)) {
    scalar.kind = ScalarKind::Integer;
  } else if (parse_double(text, scalar.double_value)) {
    scalar.kind = ScalarKind::Double;
  } else {
    scalar.kind = ScalarKind::String;
    scalar.string_value = text;
  }
  return scalar;
}

rclcpp::ParameterValue to_parameter_value(const YAML::Node & node)
{
  if (node.IsScalar()) {
    const Scalar scalar = to_scalar(node);
    switch (scalar.kind) {
      case ScalarKind::Bool: return rclcpp::ParameterValue(scalar.bool_value);
      case ScalarKind::Integer: return rclcpp::ParameterValue(scalar.integer_value);
      case ScalarKind::Double: return rclcpp::ParameterValue(scalar.double_value);
      case ScalarKind::String: return rclcpp::ParameterValue(scalar.string_value);
    }
  }
  if (node.IsSequence()) {
    if (node.size() == 0) {
      throw ParamsFileError("Sequences can't be empty", node.Mark());
    }
    std::vector<Scalar> elements;
    for (const auto & element : node) {
      if (!element.IsScalar()) {
        throw ParamsFileError("Sequences can only contain scalars", element.Mark());
      }
      elements.push_back(to_scalar(element));
      if (elements.back().kind != elements.front().kind) {
        throw ParamsFileError("Sequence should be of same type", element.Mark());
      }
    }
    switch (elements.front().kind) {
      case ScalarKind::Bool: {
          std::vector<bool> values;
          for (const auto & element : elements) {values.push_back(element.bool_value);}
          return rclcpp::ParameterValue(values);
        }
      case ScalarKind::Integer: {
          std::vector<int64_t> values;
          for (const auto & element : elements) {values.push_back(element.integer_value);}
          return rclcpp::ParameterValue(values);
        }
      case ScalarKind::Double: {
          std::vector<double> values;
          for (const auto & element : elements) {values.push_back(element.double_value);}
          return rclcpp::ParameterValue(values);
        }
      case ScalarKind::String: {
          std::vector<std::string> values;
          for (const auto & element : elements) {values.push_back(element.string_value);}
          return rclcpp::ParameterValue(values);
        }
    }
  }
  if (node.IsNull()) {
    throw ParamsFileError("Parameter has no value", node.Mark());
  }
  throw ParamsFileError("Parameter value must be a scalar or a sequence of scalars", node.Mark());
}

// Flattens the map under ros__parameters into dotted names.
void collect_parameters(
  const YAML::Node & map, const std::string & prefix, const std::string & node_pattern,
  std::vector<ParameterOverrideRule> & rules)
{
  for (const auto & entry : map) {
    const std::string name = prefix + entry.first.as<std::string>();
    const YAML::Node & value = entry.second;
    if (value.IsMap()) {
      collect_parameters(value, name + ".", node_pattern, rules);
    } else if (value.IsNull()) {
      throw ParamsFileError("Parameter '" + name + "' has no value", entry.first.Mark());
    } else {
      rules.push_back(ParameterOverrideRule{node_pattern, name, to_parameter_value(value)});
    }
  }
}

std::string join_node_path(const std::string & prefix, const std::string & key)
{
  std::string path = prefix;
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  path += key.front() == '/' ? key.substr(1) : key;
  return path;
}

// Walks node-name keys (possibly nested namespaces) down to each ros__parameters map.
void collect_nodes(
  const YAML::Node & map, const std::string & node_path,
  std::vector<ParameterOverrideRule> & rules)
{
  for (const auto & entry : map) {
    const std::string key = entry.first.as<std::string>();
    const YAML::Node & value = entry.second;
    if (key == "ros__parameters") {
      if (node_path.empty()) {
        throw ParamsFileError("ros__parameters must be under a node name", entry.first.Mark());
      }
      if (value.IsNull()) {
        continue;
      }
      if (!value.IsMap()) {
        throw ParamsFileError("ros__parameters must be a map", entry.first.Mark());
      }
      collect_parameters(value, "", node_path, rules);
      continue;
    }
    if (key.empty()) {
      throw ParamsFileError("Empty node name", entry.first.Mark());
    }
    if (!value.IsMap()) {
      throw ParamsFileError(
              "Expected a map of ros__parameters under node '" + key + "'", entry.first.Mark());
    }
    collect_nodes(value, join_node_path(node_path, key), rules);
  }
}

rclcpp::Logger::Level parse_log_level(const std::string & text, bool & ok)
{
  int severity = 0;
  ok = rcutils_logging_severity_level_from_string(text.c_str(), nullptr, &severity) ==
    RCUTILS_RET_OK;
  return static_cast<rclcpp::Logger::Level>(severity);
}

bool match_tokens(
  const std::vector<std::string> & pattern, size_t p,
  const std::vector<std::string> & name, size_t n)
{
  if (p == pattern.size()) {
    return n == name.size();
  }
  if (pattern[p] == "**") {
    for (size_t skip = n; skip <= name.size(); ++skip) {
      if (match_tokens(pattern, p + 1, name, skip)) {
        return true;
      }
    }
    return false;
  }
  if (n == name.size()) {
    return false;
  }
  if (pattern[p] != "*" && pattern[p] != name[n]) {
    return false;
  }
  return match_tokens(pattern, p + 1, name, n + 1);
}

std::vector<std::string> split_tokens(const std::string & path)
{
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t slash = path.find('/', start);
    const size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > start) {
      tokens.push_back(path.substr(start, end - start));
    }
    if (slash == std::string::npos) {
      break;
    }
    start = slash + 1;
  }
  return tokens;
}

}  // namespace

rclcpp::ParameterValue parse_parameter_value(const std::string & yaml_text)
{
  YAML::Node node;
  try {
    node = YAML::Load(yaml_text);
  } catch (const YAML::Exception & error) {
    throw std::invalid_argument(error.msg);
  }
  try {
    if (node.IsNull() && yaml_text.empty()) {
      throw std::invalid_argument("no value");
    }
    return to_parameter_value(node);
  } catch (const ParamsFileError & error) {
    throw std::invalid_argument(error.what());
  }
}

std::vector<ParameterOverrideRule> parse_parameters_file(
  const std::string & path, const std::string & error_prefix)
{
  const std::string what = "Couldn't parse params file: '--params-file " + path + "'. Error: ";
  std::vector<ParameterOverrideRule> rules;
  try {
    const YAML::Node root = YAML::LoadFile(path);
    if (root.IsNull()) {
      return rules;
    }
    if (!root.IsMap()) {
      throw ParamsFileError("The file must hold a map of node names", root.Mark());
    }
    collect_nodes(root, "", rules);
  } catch (const YAML::BadFile &) {
    throw_invalid_ros_args(error_prefix, what + "Error opening YAML file", path, 0);
  } catch (const YAML::Exception & error) {
    throw_invalid_ros_args(
      error_prefix, what + error.msg, path,
      error.mark.is_null() ? 0 : static_cast<size_t>(error.mark.line) + 1);
  } catch (const ParamsFileError & error) {
    throw_invalid_ros_args(error_prefix, what + error.what(), path, error.line);
  }
  return rules;
}

RosArguments parse_ros_arguments(
  const std::vector<std::string> & arguments, const std::string & error_prefix)
{
  RosArguments parsed;
  std::vector<std::string> unknown;
  bool in_ros_args = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string & argument = arguments[i];
    if (argument == kRosArgsFlag) {
      in_ros_args = true;
      continue;
    }
    if (!in_ros_args) {
      continue;
    }
    if (argument == kRosArgsEnd) {
      in_ros_args = false;
      continue;
    }
    const bool has_value = i + 1 < arguments.size();
    if (argument == "--params-file") {
      if (!has_value) {
        throw_invalid_ros_args(
          error_prefix, "Couldn't parse trailing --params-file flag. No file path provided.",
          "<command line>", i);
      }
      const std::string & path = arguments[++i];
      auto rules = parse_parameters_file(path, error_prefix);
      parsed.parameter_rules.insert(parsed.parameter_rules.end(), rules.begin(), rules.end());
    } else if (argument == "-p" || argument == "--param") {
      if (!has_value) {
        throw_invalid_ros_args(
          error_prefix, "Couldn't parse trailing " + argument + " flag. No parameter assignment"
          " provided.", "<command line>", i);
      }
      const std::string & rule = arguments[++i];
      const std::string what =
        "Couldn't parse parameter override rule: '" + argument + " " + rule + "'. Error: ";
      const size_t separator = rule.find(":=");
      if (separator == std::string::npos || separator == 0) {
        throw_invalid_ros_args(
          error_prefix, what + "expected name:=value", "<command line>", i);
      }
      try {
        parsed.parameter_rules.push_back(
          ParameterOverrideRule{
            "/**", rule.substr(0, separator), parse_parameter_value(rule.substr(separator + 2))});
      } catch (const std::invalid_argument & error) {
        throw_invalid_ros_args(error_prefix, what + error.what(), "<command line>", i);
      }
    } else if (argument == "--log-level") {
      if (!has_value) {
        throw_invalid_ros_args(
          error_prefix, "Couldn't parse trailing --log-level flag. No log level provided.",
          "<command line>", i);
      }
      const std::string & rule = arguments[++i];
      const size_t separator = rule.find(":=");
      const std::string name = separator == std::string::npos ? "" : rule.substr(0, separator);
      const std::string level_text =
        separator == std::string::npos ? rule : rule.substr(separator + 2);
      bool ok = false;
      const auto level = parse_log_level(level_text, ok);
      if (!ok) {
        throw_invalid_ros_args(
          error_prefix, "Couldn't parse log level rule: '--log-level " + rule + "'",
          "<command line>", i);
      }
      parsed.log_levels.emplace_back(name, level);
    } else {
      unknown.push_back(argument);
    }
  }
  if (!unknown.empty()) {
    throw rclcpp::exceptions::UnknownROSArgsError(std::move(unknown));
  }
  return parsed;
}

std::vector<std::string> remove_ros_arguments(const std::vector<std::string> & arguments)
{
  std::vector<std::string> remaining;
  bool in_ros_args = false;
  for (const auto & argument : arguments) {
    if (argument == kRosArgsFlag) {
      in_ros_args = true;
    } else if (in_ros_args && argument == kRosArgsEnd) {
      in_ros_args = false;
    } else if (!in_ros_args) {
      remaining.push_back(argument);
    }
  }
  return remaining;
}

bool node_pattern_matches(const std::string & pattern, const std::string & node_fqn)
{
  const std::string absolute = !pattern.empty() && pattern.front() == '/' ? pattern : "/" + pattern;
  return match_tokens(split_tokens(absolute), 0, split_tokens(node_fqn), 0);
}

std::map<std::string, rclcpp::ParameterValue> resolve_parameter_overrides(
  const std::string & node_fqn, const std::vector<ParameterOverrideRule> & rules)
{
  std::map<std::string, rclcpp::ParameterValue> overrides;
  for (const auto & rule : rules) {
    if (node_pattern_matches(rule.node_pattern, node_fqn)) {
      overrides[rule.name] = rule.value;
    }
  }
  return overrides;
}

}  // namespace detail
}  // namespace rclcpp
