#include "rclcpp/node_interfaces/node_topics_interface.hpp"

#include <stdexcept>
#include <string>

namespace rclcpp
{
namespace node_interfaces
{

NodeTopics::NodeTopics(NodeBaseInterface * node_base, NodeTimersInterface * node_timers)
: node_base_(node_base), node_timers_(node_timers)
{}

rclcpp::PublisherBase::SharedPtr NodeTopics::create_publisher(
  const std::string & topic_name,
  const rclcpp::PublisherFactory & publisher_factory,
  const rclcpp::QoS & qos)
{
  return publisher_factory.create_typed_publisher(node_base_, topic_name, qos);
}

void NodeTopics::add_publisher(
  rclcpp::PublisherBase::SharedPtr publisher,
  rclcpp::CallbackGroup::SharedPtr callback_group)
{
  (void)publisher;
  if (callback_group && !node_base_->callback_group_in_node(callback_group)) {
    throw std::runtime_error("Cannot create publisher, callback group not in node.");
  }
}

rclcpp::SubscriptionBase::SharedPtr NodeTopics::create_subscription(
  const std::string & topic_name,
  const rclcpp::SubscriptionFactory & subscription_factory,
  const rclcpp::QoS & qos)
{
  return subscription_factory.create_typed_subscription(node_base_, topic_name, qos);
}

void NodeTopics::add_subscription(
  rclcpp::SubscriptionBase::SharedPtr subscription,
  rclcpp::CallbackGroup::SharedPtr callback_group)
{
  if (!callback_group) {
    callback_group = node_base_->get_default_callback_group();
  } else if (!node_base_->callback_group_in_node(callback_group)) {
    throw std::runtime_error("Cannot create subscription, callback group not in node.");
  }
  callback_group->add_subscription(subscription);
  subscription->activate(callback_group);
  node_base_->get_notify_guard_condition().trigger();
}

rclcpp::node_interfaces::NodeBaseInterface * NodeTopics::get_node_base_interface() const
{
  return node_base_;
}

rclcpp::node_interfaces::NodeTimersInterface * NodeTopics::get_node_timers_interface() const
{
  return node_timers_;
}

std::string NodeTopics::resolve_topic_name(const std::string & name, bool only_expand) const
{
  return node_base_->resolve_topic_or_service_name(name, false, only_expand);
}

}  // namespace node_interfaces
}  // namespace rclcpp
