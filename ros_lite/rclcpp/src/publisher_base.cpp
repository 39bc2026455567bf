#include "rclcpp/publisher_base.hpp"

#include <string>
#include <utility>

#include "rclcpp/detail/topic_graph.hpp"

namespace rclcpp
{

PublisherBase::PublisherBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base,
  const std::string & topic,
  const rclcpp::QoS & qos,
  std::type_index message_type,
  const std::string & message_type_name)
: node_base_(node_base),
  context_(node_base->get_context()),
  topic_name_(node_base->resolve_topic_or_service_name(topic, false)),
  qos_(qos),
  message_type_(message_type),
  message_type_name_(message_type_name)
{
  detail::TopicGraph::instance().add_publisher(this);
}

PublisherBase::~PublisherBase()
{
  detail::TopicGraph::instance().remove_publisher(this);
}

const char * PublisherBase::get_topic_name() const
{
  return topic_name_.c_str();
}

size_t PublisherBase::get_queue_size() const
{
  return qos_.depth();
}

size_t PublisherBase::get_subscription_count() const
{
  return detail::TopicGraph::instance().count_connected_subscriptions(*this);
}

size_t PublisherBase::get_intra_process_subscription_count() const
{
  return get_subscription_count();
}

rclcpp::QoS PublisherBase::get_actual_qos() const
{
  return qos_;
}

bool PublisherBase::assert_liveliness() const
{
  return true;
}

bool PublisherBase::can_loan_messages() const
{
  return false;
}

const std::type_index & PublisherBase::get_message_type() const
{
  return message_type_;
}

const std::string & PublisherBase::get_message_type_name() const
{
  return message_type_name_;
}

void PublisherBase::publish_erased(std::shared_ptr<const void> message)
{
  if (!context_->is_valid()) {
    return;
  }
  detail::TopicGraph::instance().publish(*this, message);
}

}  // namespace rclcpp
