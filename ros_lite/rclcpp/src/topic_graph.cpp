#include "rclcpp/detail/topic_graph.hpp"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace rclcpp
{
namespace detail
{

namespace
{

// Effective policies: system defaults behave as reliable and volatile.
bool is_best_effort(const rclcpp::QoS & qos)
{
  return qos.reliability() == rclcpp::ReliabilityPolicy::BestEffort;
}

bool is_transient_local(const rclcpp::QoS & qos)
{
  return qos.durability() == rclcpp::DurabilityPolicy::TransientLocal;
}

rmw_time_point_value_t now_ns()
{
  return static_cast<rmw_time_point_value_t>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count());
}

template<typename T>
void erase_value(std::vector<T *> & values, T * value)
{
  values.erase(std::remove(values.begin(), values.end(), value), values.end());
}

}  // namespace

TopicGraph & TopicGraph::instance()
{
  static TopicGraph graph;
  return graph;
}

size_t TopicGraph::history_depth(const rclcpp::QoS & qos)
{
  if (qos.history() == rclcpp::HistoryPolicy::KeepAll) {
    return std::numeric_limits<size_t>::max();
  }
  return std::max<size_t>(qos.depth(), 1);
}

void TopicGraph::add_node(const std::string & node_fqn)
{
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_.insert(node_fqn);
}

void TopicGraph::remove_node(const std::string & node_fqn)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = nodes_.find(node_fqn);
  if (it != nodes_.end()) {
    nodes_.erase(it);
  }
}

std::vector<std::string> TopicGraph::get_node_names() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<std::string>(nodes_.begin(), nodes_.end());
}

void TopicGraph::add_publisher(PublisherBase * publisher)
{
  std::lock_guard<std::mutex> lock(mutex_);
  topics_[publisher->topic_name_].publishers.push_back(publisher);
}

void TopicGraph::remove_publisher(PublisherBase * publisher)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(publisher->topic_name_);
  if (it == topics_.end()) {
    return;
  }
  erase_value(it->second.publishers, publisher);
  if (it->second.publishers.empty() && it->second.subscriptions.empty()) {
    topics_.erase(it);
  }
}

void TopicGraph::add_subscription(SubscriptionBase * subscription)
{
  std::lock_guard<std::mutex> lock(mutex_);
  auto & topic = topics_[subscription->topic_name_];
  topic.subscriptions.push_back(subscription);
  if (!is_transient_local(subscription->qos_)) {
    return;
  }
  for (PublisherBase * publisher : topic.publishers) {
    if (!connected(*publisher, *subscription)) {
      continue;
    }
    for (const auto & message : publisher->history_) {
      deliver(*publisher, *subscription, message);
    }
  }
}

void TopicGraph::remove_subscription(SubscriptionBase * subscription)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(subscription->topic_name_);
  if (it == topics_.end()) {
    return;
  }
  erase_value(it->second.subscriptions, subscription);
  if (it->second.publishers.empty() && it->second.subscriptions.empty()) {
    topics_.erase(it);
  }
}

void TopicGraph::add_tap(
  const std::string & topic_name, std::type_index message_type, TopicTap * tap)
{
  std::lock_guard<std::mutex> lock(mutex_);
  taps_.push_back(Tap{topic_name, message_type, tap});
}

void TopicGraph::remove_tap(TopicTap * tap)
{
  std::lock_guard<std::mutex> lock(mutex_);
  taps_.erase(
    std::remove_if(taps_.begin(), taps_.end(), [tap](const Tap & entry) {return entry.tap == tap;}),
    taps_.end());
}

void TopicGraph::publish(PublisherBase & publisher, const std::shared_ptr<const void> & message)
{
  std::lock_guard<std::mutex> lock(mutex_);
  ++publisher.sequence_number_;
  for (const auto & entry : taps_) {
    if (entry.topic_name == publisher.topic_name_ && entry.message_type == publisher.message_type_) {
      entry.tap->on_message(message);
    }
  }
  if (is_transient_local(publisher.qos_)) {
    publisher.history_.push_back(message);
    while (publisher.history_.size() > history_depth(publisher.qos_)) {
      publisher.history_.pop_front();
    }
  }
  const auto it = topics_.find(publisher.topic_name_);
  if (it == topics_.end()) {
    return;
  }
  for (SubscriptionBase * subscription : it->second.subscriptions) {
    if (connected(publisher, *subscription)) {
      deliver(publisher, *subscription, message);
    }
  }
}

size_t TopicGraph::count_publishers(const std::string & topic_name) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(topic_name);
  return it == topics_.end() ? 0 : it->second.publishers.size();
}

size_t TopicGraph::count_subscribers(const std::string & topic_name) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(topic_name);
  return it == topics_.end() ? 0 : it->second.subscriptions.size();
}

size_t TopicGraph::count_connected_subscriptions(const PublisherBase & publisher) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(publisher.topic_name_);
  if (it == topics_.end()) {
    return 0;
  }
  return static_cast<size_t>(
    std::count_if(
      it->second.subscriptions.begin(), it->second.subscriptions.end(),
      [&publisher](const SubscriptionBase * subscription) {
        return connected(publisher, *subscription);
      }));
}

size_t TopicGraph::count_connected_publishers(const SubscriptionBase & subscription) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = topics_.find(subscription.topic_name_);
  if (it == topics_.end()) {
    return 0;
  }
  return static_cast<size_t>(
    std::count_if(
      it->second.publishers.begin(), it->second.publishers.end(),
      [&subscription](const PublisherBase * publisher) {
        return connected(*publisher, subscription);
      }));
}

std::map<std::string, std::vector<std::string>> TopicGraph::get_topic_names_and_types() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, std::vector<std::string>> result;
  for (const auto & [name, topic] : topics_) {
    auto & types = result[name];
    auto add_type = [&types](const std::string & type) {
        if (std::find(types.begin(), types.end(), type) == types.end()) {
          types.push_back(type);
        }
      };
    for (const auto * publisher : topic.publishers) {
      add_type(publisher->message_type_name_);
    }
    for (const auto * subscription : topic.subscriptions) {
      add_type(subscription->message_type_name_);
    }
  }
  return result;
}

bool TopicGraph::connected(const PublisherBase & publisher, const SubscriptionBase & subscription)
{
  if (publisher.message_type_ != subscription.message_type_) {
    return false;
  }
  if (is_best_effort(publisher.qos_) && !is_best_effort(subscription.qos_)) {
    return false;
  }
  if (!is_transient_local(publisher.qos_) && is_transient_local(subscription.qos_)) {
    return false;
  }
  return true;
}

void TopicGraph::deliver(
  PublisherBase & publisher, SubscriptionBase & subscription,
  const std::shared_ptr<const void> & message)
{
  if (subscription.ignore_local_publications_ && subscription.node_base_ == publisher.node_base_) {
    return;
  }
  rmw_message_info_t info{};
  info.source_timestamp = now_ns();
  info.received_timestamp = info.source_timestamp;
  info.publication_sequence_number = publisher.sequence_number_;
  info.from_intra_process = true;
  subscription.enqueue(message, info);
}

}  // namespace detail
}  // namespace rclcpp
