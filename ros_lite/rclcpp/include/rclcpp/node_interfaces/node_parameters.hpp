#ifndef RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_

#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp
{
namespace node_interfaces
{

struct ParameterInfo
{
  rclcpp::ParameterValue value;
  rcl_interfaces::msg::ParameterDescriptor descriptor;
};

// Parameter storage of a node with the declaration, typing and on-set callback rules of
// rclcpp. Overrides come, in increasing precedence, from the global ROS arguments (when the
// options use them), the ROS arguments in the options and the options' parameter overrides.
// On-set callbacks run synchronously, under the parameter lock, before values are stored;
// declaring, setting or changing callbacks from inside one throws
// ParameterModifiedInCallbackException.
class NodeParameters : public NodeParametersInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeParameters)

  NodeParameters(
    NodeBaseInterface * node_base,
    NodeLoggingInterface * node_logging,
    const rclcpp::NodeOptions & options);
  NodeParameters(const NodeParameters &) = delete;
  NodeParameters & operator=(const NodeParameters &) = delete;

  const rclcpp::ParameterValue & declare_parameter(
    const std::string & name,
    const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false) override;
  const rclcpp::ParameterValue & declare_parameter(
    const std::string & name,
    rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false) override;
  void undeclare_parameter(const std::string & name) override;
  bool has_parameter(const std::string & name) const override;
  std::vector<rcl_interfaces::msg::SetParametersResult>
  set_parameters(const std::vector<rclcpp::Parameter> & parameters) override;
  rcl_interfaces::msg::SetParametersResult
  set_parameters_atomically(const std::vector<rclcpp::Parameter> & parameters) override;
  std::vector<rclcpp::Parameter>
  get_parameters(const std::vector<std::string> & names) const override;
  rclcpp::Parameter get_parameter(const std::string & name) const override;
  bool get_parameter(const std::string & name, rclcpp::Parameter & parameter) const override;
  bool get_parameters_by_prefix(
    const std::string & prefix,
    std::map<std::string, rclcpp::Parameter> & parameters) const override;
  std::vector<rcl_interfaces::msg::ParameterDescriptor>
  describe_parameters(const std::vector<std::string> & names) const override;
  std::vector<uint8_t>
  get_parameter_types(const std::vector<std::string> & names) const override;
  OnSetParametersCallbackHandle::SharedPtr
  add_on_set_parameters_callback(OnParametersSetCallbackType callback) override;
  void remove_on_set_parameters_callback(
    const OnSetParametersCallbackHandle * const handler) override;
  const std::map<std::string, rclcpp::ParameterValue> &
  get_parameter_overrides() const override;

  using CallbacksContainerType = std::list<OnSetParametersCallbackHandle::WeakPtr>;

private:
  const rclcpp::ParameterValue & declare_parameter_helper(
    const std::string & name,
    rclcpp::ParameterType type,
    const rclcpp::ParameterValue & default_value,
    rcl_interfaces::msg::ParameterDescriptor parameter_descriptor,
    bool ignore_override);
  rcl_interfaces::msg::SetParametersResult declare_parameter_common(
    const std::string & name,
    const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
    bool ignore_override,
    std::map<std::string, ParameterInfo> & parameters_out,
    bool run_callbacks);
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically_common(
    const std::vector<rclcpp::Parameter> & parameters,
    std::map<std::string, ParameterInfo> & parameter_infos,
    bool run_callbacks);
  rcl_interfaces::msg::SetParametersResult check_parameters(
    const std::map<std::string, ParameterInfo> & parameter_infos,
    const std::vector<rclcpp::Parameter> & parameters) const;
  rcl_interfaces::msg::SetParametersResult call_on_set_callbacks(
    const std::vector<rclcpp::Parameter> & parameters);

  mutable std::recursive_mutex mutex_;
  // False while an on-set callback runs: mutations from inside it are refused.
  bool parameter_modification_enabled_ = true;
  CallbacksContainerType on_parameters_set_callback_container_;
  std::map<std::string, rclcpp::ParameterValue> parameter_overrides_;
  std::map<std::string, ParameterInfo> parameters_;
  bool allow_undeclared_ = false;
  std::string combined_name_;
  NodeLoggingInterface * node_logging_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_
