#ifndef RCLCPP__SUBSCRIPTION_BASE_HPP_
#define RCLCPP__SUBSCRIPTION_BASE_HPP_

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/message_info.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp
{

namespace detail
{
class TopicGraph;
}  // namespace detail

// Type-independent part of a subscription: its endpoint in the in-process graph and its queue.
// Delivered messages wait in the queue (at most `depth` for keep-last; the oldest is dropped)
// until the executor serving the subscription's callback group takes them one at a time.
class SubscriptionBase : public std::enable_shared_from_this<SubscriptionBase>
{
  friend class detail::TopicGraph;

public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(SubscriptionBase)

  SubscriptionBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    const std::string & topic_name,
    const rclcpp::QoS & qos,
    std::type_index message_type,
    const std::string & message_type_name,
    bool ignore_local_publications);
  SubscriptionBase(const SubscriptionBase &) = delete;
  SubscriptionBase & operator=(const SubscriptionBase &) = delete;
  virtual ~SubscriptionBase();

  const char * get_topic_name() const;
  rclcpp::QoS get_actual_qos() const;
  // Publishers of the same type and compatible QoS.
  size_t get_publisher_count() const;

  const std::type_index & get_message_type() const;
  const std::string & get_message_type_name() const;

  // Connects the subscription to the graph; its callbacks then run on the executor serving
  // `group`. Called once by the node's topics interface after construction.
  void activate(const rclcpp::CallbackGroup::SharedPtr & group);
  // Runs the callback on the oldest queued message, if any (executor thread).
  void execute_next();
  size_t get_queued_message_count() const;

protected:
  virtual void handle_message(
    const std::shared_ptr<const void> & message, const rclcpp::MessageInfo & message_info) = 0;

private:
  // Called by the graph, under its lock.
  void enqueue(std::shared_ptr<const void> message, const rmw_message_info_t & info);
  void schedule_locked();

  rclcpp::node_interfaces::NodeBaseInterface * node_base_;
  const std::string topic_name_;
  const rclcpp::QoS qos_;
  const std::type_index message_type_;
  const std::string message_type_name_;
  const bool ignore_local_publications_;
  bool registered_ = false;

  mutable std::mutex queue_mutex_;
  std::deque<std::pair<std::shared_ptr<const void>, rmw_message_info_t>> queue_;
  bool scheduled_ = false;
  uint64_t reception_sequence_number_ = 0;
  rclcpp::CallbackGroup::WeakPtr callback_group_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_BASE_HPP_
