#include "rclcpp/subscription_base.hpp"

#include <memory>
#include <string>
#include <utility>

#include "rclcpp/detail/topic_graph.hpp"

namespace rclcpp
{

SubscriptionBase::SubscriptionBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base,
  const std::string & topic_name,
  const rclcpp::QoS & qos,
  std::type_index message_type,
  const std::string & message_type_name,
  bool ignore_local_publications)
: node_base_(node_base),
  topic_name_(node_base->resolve_topic_or_service_name(topic_name, false)),
  qos_(qos),
  message_type_(message_type),
  message_type_name_(message_type_name),
  ignore_local_publications_(ignore_local_publications)
{}

SubscriptionBase::~SubscriptionBase()
{
  if (registered_) {
    detail::TopicGraph::instance().remove_subscription(this);
  }
}

const char * SubscriptionBase::get_topic_name() const
{
  return topic_name_.c_str();
}

rclcpp::QoS SubscriptionBase::get_actual_qos() const
{
  return qos_;
}

size_t SubscriptionBase::get_publisher_count() const
{
  return detail::TopicGraph::instance().count_connected_publishers(*this);
}

const std::type_index & SubscriptionBase::get_message_type() const
{
  return message_type_;
}

const std::string & SubscriptionBase::get_message_type_name() const
{
  return message_type_name_;
}

void SubscriptionBase::activate(const rclcpp::CallbackGroup::SharedPtr & group)
{
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (registered_) {
      throw std::runtime_error("subscription already added to a node");
    }
    callback_group_ = group;
    registered_ = true;
  }
  detail::TopicGraph::instance().add_subscription(this);
}

void SubscriptionBase::execute_next()
{
  std::pair<std::shared_ptr<const void>, rmw_message_info_t> entry;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    scheduled_ = false;
    if (queue_.empty()) {
      return;
    }
    entry = std::move(queue_.front());
    queue_.pop_front();
    // The rest waits behind whatever else was posted meanwhile.
    if (!queue_.empty()) {
      schedule_locked();
    }
  }
  handle_message(entry.first, rclcpp::MessageInfo(entry.second));
}

size_t SubscriptionBase::get_queued_message_count() const
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  return queue_.size();
}

void SubscriptionBase::enqueue(std::shared_ptr<const void> message, const rmw_message_info_t & info)
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  auto stamped = info;
  stamped.reception_sequence_number = ++reception_sequence_number_;
  queue_.emplace_back(std::move(message), stamped);
  while (queue_.size() > detail::TopicGraph::history_depth(qos_)) {
    queue_.pop_front();
  }
  schedule_locked();
}

void SubscriptionBase::schedule_locked()
{
  if (scheduled_) {
    return;
  }
  const auto group = callback_group_.lock();
  if (!group) {
    return;
  }
  scheduled_ = true;
  std::weak_ptr<SubscriptionBase> weak_self = weak_from_this();
  group->work_queue().post(
    [weak_self]() {
      if (auto self = weak_self.lock()) {
        self->execute_next();
      }
    });
}

}  // namespace rclcpp
