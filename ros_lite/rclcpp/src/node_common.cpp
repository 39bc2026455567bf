#include "rclcpp/detail/node_common.hpp"

#include <memory>
#include <string>
#include <vector>

#include "rclcpp/node_interfaces/node_parameters.hpp"
#include "rclcpp/node_interfaces/node_waitables.hpp"

namespace rclcpp
{
namespace detail
{

NodeCommon::NodeCommon(
  const std::string & node_name,
  const std::string & namespace_,
  const rclcpp::NodeOptions & options)
: node_options_(options),
  sub_namespace_(""),
  node_base_(
    std::make_shared<rclcpp::node_interfaces::NodeBase>(
      node_name, namespace_, options.context(), *options.get_rcl_node_options(),
      options.use_intra_process_comms(), options.enable_topic_statistics())),
  effective_namespace_(node_base_->get_namespace())
{
  node_graph_ = std::make_shared<rclcpp::node_interfaces::NodeGraph>(node_base_.get());
  node_logging_ = std::make_shared<rclcpp::node_interfaces::NodeLogging>(node_base_.get());
  node_timers_ = std::make_shared<rclcpp::node_interfaces::NodeTimers>(node_base_.get());
  node_topics_ = std::make_shared<rclcpp::node_interfaces::NodeTopics>(
    node_base_.get(), node_timers_.get());
  node_clock_ = std::make_shared<rclcpp::node_interfaces::NodeClock>();
  node_parameters_ = std::make_shared<rclcpp::node_interfaces::NodeParameters>(
    node_base_.get(), node_logging_.get(), options);
  node_time_source_ = std::make_shared<rclcpp::node_interfaces::NodeTimeSource>(
    node_parameters_.get(), node_logging_.get());
  node_waitables_ = std::make_shared<rclcpp::node_interfaces::NodeWaitables>(node_base_.get());
}

NodeCommon::~NodeCommon() = default;

const char * NodeCommon::get_name() const {return node_base_->get_name();}
const char * NodeCommon::get_namespace() const {return node_base_->get_namespace();}

const char * NodeCommon::get_fully_qualified_name() const
{
  return node_base_->get_fully_qualified_name();
}

rclcpp::Logger NodeCommon::get_logger() const {return node_logging_->get_logger();}

rclcpp::CallbackGroup::SharedPtr NodeCommon::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  return node_base_->create_callback_group(group_type, automatically_add_to_executor_with_node);
}

const rclcpp::ParameterValue & NodeCommon::declare_parameter(
  const std::string & name,
  const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override)
{
  return node_parameters_->declare_parameter(
    name, default_value, parameter_descriptor, ignore_override);
}

const rclcpp::ParameterValue & NodeCommon::declare_parameter(
  const std::string & name,
  rclcpp::ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override)
{
  return node_parameters_->declare_parameter(name, type, parameter_descriptor, ignore_override);
}

void NodeCommon::undeclare_parameter(const std::string & name)
{
  node_parameters_->undeclare_parameter(name);
}

bool NodeCommon::has_parameter(const std::string & name) const
{
  return node_parameters_->has_parameter(name);
}

rcl_interfaces::msg::SetParametersResult
NodeCommon::set_parameter(const rclcpp::Parameter & parameter)
{
  return set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult>
NodeCommon::set_parameters(const std::vector<rclcpp::Parameter> & parameters)
{
  return node_parameters_->set_parameters(parameters);
}

rcl_interfaces::msg::SetParametersResult
NodeCommon::set_parameters_atomically(const std::vector<rclcpp::Parameter> & parameters)
{
  return node_parameters_->set_parameters_atomically(parameters);
}

rclcpp::Parameter NodeCommon::get_parameter(const std::string & name) const
{
  return node_parameters_->get_parameter(name);
}

bool NodeCommon::get_parameter(const std::string & name, rclcpp::Parameter & parameter) const
{
  return node_parameters_->get_parameter(name, parameter);
}

std::vector<rclcpp::Parameter>
NodeCommon::get_parameters(const std::vector<std::string> & names) const
{
  return node_parameters_->get_parameters(names);
}

rcl_interfaces::msg::ParameterDescriptor
NodeCommon::describe_parameter(const std::string & name) const
{
  const auto result = node_parameters_->describe_parameters({name});
  if (result.empty()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
  if (result.size() > 1) {
    throw std::runtime_error("number of described parameters unexpectedly more than one");
  }
  return result.front();
}

std::vector<rcl_interfaces::msg::ParameterDescriptor>
NodeCommon::describe_parameters(const std::vector<std::string> & names) const
{
  return node_parameters_->describe_parameters(names);
}

std::vector<uint8_t>
NodeCommon::get_parameter_types(const std::vector<std::string> & names) const
{
  return node_parameters_->get_parameter_types(names);
}

NodeCommon::OnSetParametersCallbackHandle::SharedPtr
NodeCommon::add_on_set_parameters_callback(OnParametersSetCallbackType callback)
{
  return node_parameters_->add_on_set_parameters_callback(callback);
}

void NodeCommon::remove_on_set_parameters_callback(
  const OnSetParametersCallbackHandle * const handler)
{
  node_parameters_->remove_on_set_parameters_callback(handler);
}

size_t NodeCommon::count_publishers(const std::string & topic_name) const
{
  return node_graph_->count_publishers(topic_name);
}

size_t NodeCommon::count_subscribers(const std::string & topic_name) const
{
  return node_graph_->count_subscribers(topic_name);
}

rclcpp::Clock::SharedPtr NodeCommon::get_clock() {return node_clock_->get_clock();}

rclcpp::Clock::ConstSharedPtr NodeCommon::get_clock() const
{
  return node_clock_->get_clock();
}

Time NodeCommon::now() const
{
  return node_clock_->get_clock()->now();
}

rclcpp::node_interfaces::NodeBaseInterface::SharedPtr NodeCommon::get_node_base_interface()
{
  return node_base_;
}

rclcpp::node_interfaces::NodeClockInterface::SharedPtr NodeCommon::get_node_clock_interface()
{
  return node_clock_;
}

rclcpp::node_interfaces::NodeGraphInterface::SharedPtr NodeCommon::get_node_graph_interface()
{
  return node_graph_;
}

rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr NodeCommon::get_node_logging_interface()
{
  return node_logging_;
}

rclcpp::node_interfaces::NodeTimersInterface::SharedPtr NodeCommon::get_node_timers_interface()
{
  return node_timers_;
}

rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr NodeCommon::get_node_topics_interface()
{
  return node_topics_;
}

rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr
NodeCommon::get_node_waitables_interface()
{
  return node_waitables_;
}

rclcpp::node_interfaces::NodeParametersInterface::SharedPtr
NodeCommon::get_node_parameters_interface()
{
  return node_parameters_;
}

rclcpp::node_interfaces::NodeTimeSourceInterface::SharedPtr
NodeCommon::get_node_time_source_interface()
{
  return node_time_source_;
}

const std::string & NodeCommon::get_sub_namespace() const {return sub_namespace_;}
const std::string & NodeCommon::get_effective_namespace() const {return effective_namespace_;}
const rclcpp::NodeOptions & NodeCommon::get_node_options() const {return node_options_;}

}  // namespace detail
}  // namespace rclcpp
