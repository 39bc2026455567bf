#ifndef RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_

#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/publisher_factory.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_factory.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeTopicsInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTopicsInterface)

  virtual ~NodeTopicsInterface() = default;

  virtual rclcpp::PublisherBase::SharedPtr create_publisher(
    const std::string & topic_name,
    const rclcpp::PublisherFactory & publisher_factory,
    const rclcpp::QoS & qos) = 0;
  virtual void add_publisher(
    rclcpp::PublisherBase::SharedPtr publisher,
    rclcpp::CallbackGroup::SharedPtr callback_group) = 0;
  virtual rclcpp::SubscriptionBase::SharedPtr create_subscription(
    const std::string & topic_name,
    const rclcpp::SubscriptionFactory & subscription_factory,
    const rclcpp::QoS & qos) = 0;
  // Connects the subscription; its callback runs on the executor serving `callback_group`
  // (nullptr: the default group). A group of another node throws std::runtime_error.
  virtual void add_subscription(
    rclcpp::SubscriptionBase::SharedPtr subscription,
    rclcpp::CallbackGroup::SharedPtr callback_group) = 0;
  virtual rclcpp::node_interfaces::NodeBaseInterface * get_node_base_interface() const = 0;
  virtual rclcpp::node_interfaces::NodeTimersInterface * get_node_timers_interface() const = 0;
  virtual std::string resolve_topic_name(const std::string & name, bool only_expand = false) const = 0;
};

class NodeTopics : public NodeTopicsInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTopics)

  NodeTopics(NodeBaseInterface * node_base, NodeTimersInterface * node_timers);

  rclcpp::PublisherBase::SharedPtr create_publisher(
    const std::string & topic_name,
    const rclcpp::PublisherFactory & publisher_factory,
    const rclcpp::QoS & qos) override;
  void add_publisher(
    rclcpp::PublisherBase::SharedPtr publisher,
    rclcpp::CallbackGroup::SharedPtr callback_group) override;
  rclcpp::SubscriptionBase::SharedPtr create_subscription(
    const std::string & topic_name,
    const rclcpp::SubscriptionFactory & subscription_factory,
    const rclcpp::QoS & qos) override;
  void add_subscription(
    rclcpp::SubscriptionBase::SharedPtr subscription,
    rclcpp::CallbackGroup::SharedPtr callback_group) override;
  rclcpp::node_interfaces::NodeBaseInterface * get_node_base_interface() const override;
  rclcpp::node_interfaces::NodeTimersInterface * get_node_timers_interface() const override;
  std::string resolve_topic_name(const std::string & name, bool only_expand = false) const override;

private:
  NodeBaseInterface * node_base_;
  NodeTimersInterface * node_timers_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TOPICS_INTERFACE_HPP_
