#include "rclcpp/node_interfaces/node_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/detail/ros_arguments.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace node_interfaces
{

namespace
{

// Refuses parameter mutations made from inside an on-set callback (same thread; other threads
// wait on the parameter lock instead).
class ParameterMutationRecursionGuard
{
public:
  explicit ParameterMutationRecursionGuard(bool & allow_modification)
  : allow_modification_(allow_modification)
  {
    if (!allow_modification_) {
      throw rclcpp::exceptions::ParameterModifiedInCallbackException(
              "cannot set or declare a parameter, or change the callback from within set callback");
    }
    allow_modification_ = false;
  }

  ~ParameterMutationRecursionGuard()
  {
    allow_modification_ = true;
  }

  ParameterMutationRecursionGuard(const ParameterMutationRecursionGuard &) = delete;
  ParameterMutationRecursionGuard & operator=(const ParameterMutationRecursionGuard &) = delete;

private:
  bool & allow_modification_;
};

rcl_interfaces::msg::SetParametersResult success()
{
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = true;
  return result;
}

rcl_interfaces::msg::SetParametersResult failure(const std::string & reason)
{
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = false;
  result.reason = reason;
  return result;
}

// A later condition in declare_parameter relies on this text starting with "Wrong parameter type".
std::string format_type_reason(
  const std::string & name, const std::string & old_type, const std::string & new_type)
{
  std::ostringstream ss;
  ss << "Wrong parameter type, parameter {" << name << "} is of type {" << old_type <<
    "}, setting it to {" << new_type << "} is not allowed.";
  return ss.str();
}

std::string format_range_reason(const std::string & name, const char * range_type)
{
  std::ostringstream ss;
  ss << "Parameter {" << name << "} doesn't comply with " << range_type << " range.";
  return ss.str();
}

bool are_doubles_equal(double x, double y, double ulp = 100.0)
{
  return std::abs(x - y) <= std::numeric_limits<double>::epsilon() * std::abs(x + y) * ulp;
}

rcl_interfaces::msg::SetParametersResult check_value_in_range(
  const rcl_interfaces::msg::ParameterDescriptor & descriptor,
  const rclcpp::ParameterValue & value)
{
  if (!descriptor.integer_range.empty() && value.get_type() == rclcpp::PARAMETER_INTEGER) {
    const int64_t v = value.get<int64_t>();
    const auto & range = descriptor.integer_range.at(0);
    if (v == range.from_value || v == range.to_value) {
      return success();
    }
    if (v < range.from_value || v > range.to_value) {
      return failure(format_range_reason(descriptor.name, "integer"));
    }
    if (range.step == 0 || ((v - range.from_value) % static_cast<int64_t>(range.step)) == 0) {
      return success();
    }
    return failure(format_range_reason(descriptor.name, "integer"));
  }
  if (!descriptor.floating_point_range.empty() && value.get_type() == rclcpp::PARAMETER_DOUBLE) {
    const double v = value.get<double>();
    const auto & range = descriptor.floating_point_range.at(0);
    if (are_doubles_equal(v, range.from_value) || are_doubles_equal(v, range.to_value)) {
      return success();
    }
    if (v < range.from_value || v > range.to_value) {
      return failure(format_range_reason(descriptor.name, "floating point"));
    }
    if (range.step == 0.0) {
      return success();
    }
    const double rounded_div = std::round((v - range.from_value) / range.step);
    if (are_doubles_equal(v, range.from_value + rounded_div * range.step)) {
      return success();
    }
    return failure(format_range_reason(descriptor.name, "floating point"));
  }
  return success();
}

std::map<std::string, rclcpp::ParameterValue> resolve_overrides(
  const std::string & node_fqn, const rclcpp::NodeOptions & options)
{
  std::map<std::string, rclcpp::ParameterValue> overrides;
  if (options.use_global_arguments()) {
    overrides = rclcpp::detail::resolve_parameter_overrides(
      node_fqn, options.context()->get_global_arguments().parameter_rules);
  }
  const auto node_arguments =
    rclcpp::detail::parse_ros_arguments(options.arguments(), "failed to parse arguments");
  for (const auto & [name, value] :
    rclcpp::detail::resolve_parameter_overrides(node_fqn, node_arguments.parameter_rules))
  {
    overrides[name] = value;
  }
  for (const auto & parameter : options.parameter_overrides()) {
    overrides[parameter.get_name()] = parameter.get_parameter_value();
  }
  return overrides;
}

}  // namespace

NodeParameters::NodeParameters(
  NodeBaseInterface * node_base,
  NodeLoggingInterface * node_logging,
  const rclcpp::NodeOptions & options)
: parameter_overrides_(resolve_overrides(node_base->get_fully_qualified_name(), options)),
  allow_undeclared_(options.allow_undeclared_parameters()),
  combined_name_(node_base->get_fully_qualified_name()),
  node_logging_(node_logging)
{
  if (options.automatically_declare_parameters_from_overrides()) {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    for (const auto & [name, value] : parameter_overrides_) {
      if (!has_parameter(name)) {
        declare_parameter(name, value, descriptor, true);
      }
    }
  }
}

const rclcpp::ParameterValue & NodeParameters::declare_parameter(
  const std::string & name,
  const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);
  return declare_parameter_helper(
    name, rclcpp::PARAMETER_NOT_SET, default_value, parameter_descriptor, ignore_override);
}

const rclcpp::ParameterValue & NodeParameters::declare_parameter(
  const std::string & name,
  rclcpp::ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);
  if (rclcpp::PARAMETER_NOT_SET == type) {
    throw std::invalid_argument{
            "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET"};
  }
  if (parameter_descriptor.dynamic_typing == true) {
    throw std::invalid_argument{
            "declare_parameter(): cannot declare parameter of specific type and pass descriptor"
            "with `dynamic_typing=true`"};
  }
  return declare_parameter_helper(
    name, type, rclcpp::ParameterValue{}, parameter_descriptor, ignore_override);
}

const rclcpp::ParameterValue & NodeParameters::declare_parameter_helper(
  const std::string & name,
  rclcpp::ParameterType type,
  const rclcpp::ParameterValue & default_value,
  rcl_interfaces::msg::ParameterDescriptor parameter_descriptor,
  bool ignore_override)
{
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (parameters_.find(name) != parameters_.end()) {
    throw rclcpp::exceptions::ParameterAlreadyDeclaredException(
            "parameter '" + name + "' has already been declared");
  }
  if (!parameter_descriptor.dynamic_typing) {
    if (rclcpp::PARAMETER_NOT_SET == type) {
      type = default_value.get_type();
    }
    if (rclcpp::PARAMETER_NOT_SET == type) {
      throw rclcpp::exceptions::InvalidParameterTypeException{
              name, "cannot declare a statically typed parameter with an uninitialized value"};
    }
    parameter_descriptor.type = static_cast<uint8_t>(type);
  }

  const auto result = declare_parameter_common(
    name, default_value, parameter_descriptor, ignore_override, parameters_, true);
  if (!result.successful) {
    constexpr const char type_error_msg_start[] = "Wrong parameter type";
    if (0u == std::strncmp(
        result.reason.c_str(), type_error_msg_start, sizeof(type_error_msg_start) - 1))
    {
      throw rclcpp::exceptions::InvalidParameterTypeException{name, result.reason};
    }
    throw rclcpp::exceptions::InvalidParameterValueException(
            "parameter '" + name + "' could not be set: " + result.reason);
  }
  return parameters_.at(name).value;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::declare_parameter_common(
  const std::string & name,
  const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override,
  std::map<std::string, ParameterInfo> & parameters_out,
  bool run_callbacks)
{
  std::map<std::string, ParameterInfo> parameter_infos {{name, ParameterInfo()}};
  parameter_infos.at(name).descriptor = parameter_descriptor;

  const rclcpp::ParameterValue * initial_value = &default_value;
  const auto overrides_it = parameter_overrides_.find(name);
  if (!ignore_override && overrides_it != parameter_overrides_.end()) {
    initial_value = &overrides_it->second;
  }

  if (initial_value->get_type() == rclcpp::PARAMETER_NOT_SET) {
    // Declared without a value.
    auto & info = parameter_infos.at(name);
    info.descriptor.name = name;
    info.descriptor.type = parameter_descriptor.dynamic_typing ?
      static_cast<uint8_t>(rclcpp::PARAMETER_NOT_SET) : parameter_descriptor.type;
    parameters_out[name] = info;
    return success();
  }

  const std::vector<rclcpp::Parameter> parameter_wrappers {rclcpp::Parameter(name, *initial_value)};
  const auto result =
    set_parameters_atomically_common(parameter_wrappers, parameter_infos, run_callbacks);
  if (!result.successful) {
    return result;
  }
  parameters_out[name] = parameter_infos.at(name);
  return result;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::check_parameters(
  const std::map<std::string, ParameterInfo> & parameter_infos,
  const std::vector<rclcpp::Parameter> & parameters) const
{
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    const auto it = parameter_infos.find(name);
    if (it != parameter_infos.end()) {
      descriptor = it->second.descriptor;
    } else {
      // Implicitly declared (undeclared parameters allowed): dynamically typed.
      descriptor.dynamic_typing = true;
    }
    if (descriptor.name.empty()) {
      descriptor.name = name;
    }
    const auto new_type = parameter.get_type();
    const auto specified_type = static_cast<rclcpp::ParameterType>(descriptor.type);
    if (!descriptor.dynamic_typing && specified_type != new_type) {
      return failure(
        format_type_reason(name, rclcpp::to_string(specified_type), rclcpp::to_string(new_type)));
    }
    const auto range_result = check_value_in_range(descriptor, parameter.get_parameter_value());
    if (!range_result.successful) {
      return range_result;
    }
  }
  return success();
}

rcl_interfaces::msg::SetParametersResult NodeParameters::call_on_set_callbacks(
  const std::vector<rclcpp::Parameter> & parameters)
{
  auto result = success();
  auto & container = on_parameters_set_callback_container_;
  for (auto it = container.begin(); it != container.end(); ) {
    auto shared_handle = it->lock();
    if (!shared_handle) {
      it = container.erase(it);
      continue;
    }
    result = shared_handle->callback(parameters);
    if (!result.successful) {
      return result;
    }
    ++it;
  }
  return result;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::set_parameters_atomically_common(
  const std::vector<rclcpp::Parameter> & parameters,
  std::map<std::string, ParameterInfo> & parameter_infos,
  bool run_callbacks)
{
  auto result = check_parameters(parameter_infos, parameters);
  if (!result.successful) {
    return result;
  }
  if (run_callbacks) {
    result = call_on_set_callbacks(parameters);
    if (!result.successful) {
      return result;
    }
  }
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    auto & info = parameter_infos[name];
    info.descriptor.name = name;
    info.descriptor.type = parameter.get_type();
    info.value = parameter.get_parameter_value();
  }
  return result;
}

void NodeParameters::undeclare_parameter(const std::string & name)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);
  const auto parameter_info = parameters_.find(name);
  if (parameter_info == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(
            "cannot undeclare parameter '" + name + "' which has not yet been declared");
  }
  if (parameter_info->second.descriptor.read_only) {
    throw rclcpp::exceptions::ParameterImmutableException(
            "cannot undeclare parameter '" + name + "' because it is read-only");
  }
  if (!parameter_info->second.descriptor.dynamic_typing) {
    throw rclcpp::exceptions::InvalidParameterTypeException{
            name, "cannot undeclare an statically typed parameter"};
  }
  parameters_.erase(parameter_info);
}

bool NodeParameters::has_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return parameters_.find(name) != parameters_.end();
}

std::vector<rcl_interfaces::msg::SetParametersResult>
NodeParameters::set_parameters(const std::vector<rclcpp::Parameter> & parameters)
{
  std::vector<rcl_interfaces::msg::SetParametersResult> results;
  results.reserve(parameters.size());
  for (const auto & parameter : parameters) {
    results.push_back(set_parameters_atomically({parameter}));
  }
  return results;
}

rcl_interfaces::msg::SetParametersResult
NodeParameters::set_parameters_atomically(const std::vector<rclcpp::Parameter> & parameters)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);

  // Undeclared names (when allowed) are declared in a staging area first, so that nothing is
  // stored unless the whole set succeeds.
  std::map<std::string, ParameterInfo> staged_parameter_changes;
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (name.empty()) {
      throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
    }
    const auto declared = parameters_.find(name);
    if (declared != parameters_.end()) {
      if (declared->second.descriptor.read_only) {
        return failure("parameter '" + name + "' cannot be set because it is read-only");
      }
      continue;
    }
    if (staged_parameter_changes.find(name) != staged_parameter_changes.end()) {
      continue;
    }
    if (!allow_undeclared_) {
      throw rclcpp::exceptions::ParameterNotDeclaredException(
              "parameter '" + name + "' cannot be set because it was not declared");
    }
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    const auto result = declare_parameter_common(
      name, parameter.get_parameter_value(), descriptor, true, staged_parameter_changes, false);
    if (!result.successful) {
      return result;
    }
  }

  // A NOT_SET value undeclares a (dynamically typed) parameter.
  std::vector<rclcpp::Parameter> parameters_to_set;
  std::vector<std::string> parameters_to_undeclare;
  for (const auto & parameter : parameters) {
    const auto declared = parameters_.find(parameter.get_name());
    if (parameter.get_type() == rclcpp::PARAMETER_NOT_SET && declared != parameters_.end()) {
      if (!declared->second.descriptor.dynamic_typing) {
        return failure(
          format_type_reason(
            parameter.get_name(),
            rclcpp::to_string(static_cast<rclcpp::ParameterType>(
              declared->second.descriptor.type)),
            rclcpp::to_string(rclcpp::PARAMETER_NOT_SET)));
      }
      parameters_to_undeclare.push_back(parameter.get_name());
    }
    parameters_to_set.push_back(parameter);
  }

  auto combined = parameters_;
  for (const auto & [name, info] : staged_parameter_changes) {
    combined[name] = info;
  }
  const auto result = set_parameters_atomically_common(parameters_to_set, combined, true);
  if (!result.successful) {
    return result;
  }
  parameters_ = std::move(combined);
  for (const auto & name : parameters_to_undeclare) {
    parameters_.erase(name);
  }
  return result;
}

std::vector<rclcpp::Parameter>
NodeParameters::get_parameters(const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<rclcpp::Parameter> results;
  results.reserve(names.size());
  for (const auto & name : names) {
    const auto found = parameters_.find(name);
    if (found != parameters_.end()) {
      results.emplace_back(name, found->second.value);
    } else if (allow_undeclared_) {
      results.emplace_back(name, rclcpp::ParameterValue());
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

rclcpp::Parameter NodeParameters::get_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const auto param_iter = parameters_.find(name);
  if (param_iter != parameters_.end() &&
    (param_iter->second.value.get_type() != rclcpp::PARAMETER_NOT_SET ||
    param_iter->second.descriptor.dynamic_typing))
  {
    return rclcpp::Parameter{name, param_iter->second.value};
  } else if (allow_undeclared_) {
    return rclcpp::Parameter{};
  } else if (param_iter == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  } else {
    throw rclcpp::exceptions::ParameterUninitializedException(name);
  }
}

bool NodeParameters::get_parameter(const std::string & name, rclcpp::Parameter & parameter) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const auto param_iter = parameters_.find(name);
  if (param_iter != parameters_.end() &&
    param_iter->second.value.get_type() != rclcpp::PARAMETER_NOT_SET)
  {
    parameter = {name, param_iter->second.value};
    return true;
  }
  return false;
}

bool NodeParameters::get_parameters_by_prefix(
  const std::string & prefix,
  std::map<std::string, rclcpp::Parameter> & parameters) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string prefix_with_dot = prefix.empty() ? prefix : prefix + ".";
  bool ret = false;
  for (const auto & [name, info] : parameters_) {
    if (name.compare(0, prefix_with_dot.size(), prefix_with_dot) == 0) {
      const std::string short_name = name.substr(prefix_with_dot.size());
      parameters[short_name] = rclcpp::Parameter(name, info.value);
      ret = true;
    }
  }
  return ret;
}

std::vector<rcl_interfaces::msg::ParameterDescriptor>
NodeParameters::describe_parameters(const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<rcl_interfaces::msg::ParameterDescriptor> results;
  results.reserve(names.size());
  for (const auto & name : names) {
    const auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      results.push_back(it->second.descriptor);
    } else if (allow_undeclared_) {
      rcl_interfaces::msg::ParameterDescriptor default_description;
      default_description.name = name;
      results.push_back(default_description);
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

std::vector<uint8_t>
NodeParameters::get_parameter_types(const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<uint8_t> results;
  results.reserve(names.size());
  for (const auto & name : names) {
    const auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      results.push_back(it->second.value.get_type());
    } else if (allow_undeclared_) {
      results.push_back(rcl_interfaces::msg::ParameterType::PARAMETER_NOT_SET);
    } else {
      throw rclcpp::exceptions::ParameterNotDeclaredException(name);
    }
  }
  return results;
}

OnSetParametersCallbackHandle::SharedPtr
NodeParameters::add_on_set_parameters_callback(OnParametersSetCallbackType callback)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);
  auto handle = std::make_shared<OnSetParametersCallbackHandle>();
  handle->callback = callback;
  // The most recently added callback runs first.
  on_parameters_set_callback_container_.emplace_front(handle);
  return handle;
}

void NodeParameters::remove_on_set_parameters_callback(
  const OnSetParametersCallbackHandle * const handler)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ParameterMutationRecursionGuard guard(parameter_modification_enabled_);
  auto & container = on_parameters_set_callback_container_;
  const auto it = std::find_if(
    container.begin(), container.end(),
    [handler](const OnSetParametersCallbackHandle::WeakPtr & weak_handle) {
      return handler == weak_handle.lock().get();
    });
  if (it == container.end()) {
    throw std::runtime_error("Callback doesn't exist");
  }
  container.erase(it);
}

const std::map<std::string, rclcpp::ParameterValue> &
NodeParameters::get_parameter_overrides() const
{
  return parameter_overrides_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
