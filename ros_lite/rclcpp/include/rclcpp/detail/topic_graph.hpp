#ifndef RCLCPP__DETAIL__TOPIC_GRAPH_HPP_
#define RCLCPP__DETAIL__TOPIC_GRAPH_HPP_

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <typeindex>
#include <vector>

#include "rclcpp/publisher_base.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp
{
namespace detail
{

// Observer of every message published on one topic, called synchronously inside publish()
// (under the graph lock, so it must not call back into the graph). Not a subscription: it is
// not counted and has no queue. Used by test tooling only.
class TopicTap
{
public:
  virtual ~TopicTap() = default;
  virtual void on_message(const std::shared_ptr<const void> & message) = 0;
};

// The process's communication graph: nodes, and the publishers and subscriptions of every
// topic. A publisher and a subscription are connected when they share topic and message type
// and their QoS are compatible (a best-effort publisher does not serve a reliable subscription,
// a volatile one does not serve a transient-local subscription).
class TopicGraph
{
public:
  static TopicGraph & instance();

  void add_node(const std::string & node_fqn);
  void remove_node(const std::string & node_fqn);
  std::vector<std::string> get_node_names() const;

  void add_publisher(PublisherBase * publisher);
  void remove_publisher(PublisherBase * publisher);
  // Registers the subscription and gives it what transient-local publishers kept.
  void add_subscription(SubscriptionBase * subscription);
  void remove_subscription(SubscriptionBase * subscription);

  // `topic_name` is fully qualified; only messages of `message_type` are passed on.
  void add_tap(const std::string & topic_name, std::type_index message_type, TopicTap * tap);
  void remove_tap(TopicTap * tap);

  // Queues the message on every connected subscription (and in the publisher's history when it
  // is transient local).
  void publish(PublisherBase & publisher, const std::shared_ptr<const void> & message);

  size_t count_publishers(const std::string & topic_name) const;
  size_t count_subscribers(const std::string & topic_name) const;
  size_t count_connected_subscriptions(const PublisherBase & publisher) const;
  size_t count_connected_publishers(const SubscriptionBase & subscription) const;
  std::map<std::string, std::vector<std::string>> get_topic_names_and_types() const;

  // How many messages a history with this QoS keeps (keep-all: unbounded; a keep-last depth of
  // 0, as the system-default profile has, keeps one).
  static size_t history_depth(const rclcpp::QoS & qos);

private:
  struct Topic
  {
    std::vector<PublisherBase *> publishers;
    std::vector<SubscriptionBase *> subscriptions;
  };

  struct Tap
  {
    std::string topic_name;
    std::type_index message_type;
    TopicTap * tap;
  };

  static bool connected(const PublisherBase & publisher, const SubscriptionBase & subscription);
  static void deliver(
    PublisherBase & publisher, SubscriptionBase & subscription,
    const std::shared_ptr<const void> & message);

  mutable std::mutex mutex_;
  std::map<std::string, Topic> topics_;
  std::multiset<std::string> nodes_;
  std::vector<Tap> taps_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__TOPIC_GRAPH_HPP_
