// The small node interfaces: logging, clock, timers, graph, waitables and time source.
#include <map>
#include <string>
#include <vector>

#include "rclcpp/detail/topic_graph.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp/node_interfaces/node_base.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_time_source_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables.hpp"

namespace rclcpp
{
namespace node_interfaces
{

namespace
{

// `group` itself when it belongs to the node, the default group when null; throws otherwise.
rclcpp::CallbackGroup::SharedPtr group_in_node(
  NodeBaseInterface * node_base, rclcpp::CallbackGroup::SharedPtr group, const char * entity)
{
  if (!group) {
    return node_base->get_default_callback_group();
  }
  if (!node_base->callback_group_in_node(group)) {
    throw std::runtime_error(std::string("Cannot create ") + entity + ", group not in node.");
  }
  return group;
}

}  // namespace

NodeLogging::NodeLogging(NodeBaseInterface * node_base)
: logger_(rclcpp::get_node_logger(node_base->get_rcl_node_handle()))
{}

rclcpp::Logger NodeLogging::get_logger() const
{
  return logger_;
}

const char * NodeLogging::get_logger_name() const
{
  return logger_.get_name();
}

NodeClock::NodeClock()
: clock_(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME))
{}

rclcpp::Clock::SharedPtr NodeClock::get_clock()
{
  return clock_;
}

rclcpp::Clock::ConstSharedPtr NodeClock::get_clock() const
{
  return clock_;
}

NodeTimers::NodeTimers(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeTimers::add_timer(
  rclcpp::TimerBase::SharedPtr timer, rclcpp::CallbackGroup::SharedPtr callback_group)
{
  const auto group = group_in_node(node_base_, callback_group, "timer");
  timer->set_callback_group(group);
  group->add_timer(timer);
  node_base_->get_notify_guard_condition().trigger();
}

NodeGraph::NodeGraph(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

std::map<std::string, std::vector<std::string>>
NodeGraph::get_topic_names_and_types(bool no_demangle) const
{
  (void)no_demangle;
  return detail::TopicGraph::instance().get_topic_names_and_types();
}

std::vector<std::string> NodeGraph::get_node_names() const
{
  return detail::TopicGraph::instance().get_node_names();
}

size_t NodeGraph::count_publishers(const std::string & topic_name) const
{
  return detail::TopicGraph::instance().count_publishers(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

size_t NodeGraph::count_subscribers(const std::string & topic_name) const
{
  return detail::TopicGraph::instance().count_subscribers(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

NodeWaitables::NodeWaitables(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeWaitables::add_waitable(
  rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  group_in_node(node_base_, group, "waitable")->add_waitable(waitable_ptr);
  node_base_->get_notify_guard_condition().trigger();
}

void NodeWaitables::remove_waitable(
  rclcpp::Waitable::SharedPtr waitable_ptr, rclcpp::CallbackGroup::SharedPtr group) noexcept
{
  if (!group) {
    group = node_base_->get_default_callback_group();
  }
  if (node_base_->callback_group_in_node(group)) {
    group->remove_waitable(waitable_ptr);
  }
}

NodeTimeSource::NodeTimeSource(
  NodeParametersInterface * node_parameters, NodeLoggingInterface * node_logging)
{
  const char * const use_sim_time_name = "use_sim_time";
  if (!node_parameters->has_parameter(use_sim_time_name)) {
    node_parameters->declare_parameter(use_sim_time_name, rclcpp::ParameterValue(false));
  }
  const auto use_sim_time = node_parameters->get_parameter(use_sim_time_name);
  if (use_sim_time.get_type() == rclcpp::PARAMETER_BOOL && use_sim_time.as_bool()) {
    RCLCPP_WARN(
      node_logging->get_logger(),
      "use_sim_time is true but no simulated clock exists in this process; the node clock "
      "follows the system clock");
  } else if (use_sim_time.get_type() != rclcpp::PARAMETER_BOOL) {
    throw std::invalid_argument("Invalid type for parameter 'use_sim_time', should be 'bool'");
  }
}

}  // namespace node_interfaces
}  // namespace rclcpp
