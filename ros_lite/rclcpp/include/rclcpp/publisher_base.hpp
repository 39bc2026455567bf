#ifndef RCLCPP__PUBLISHER_BASE_HPP_
#define RCLCPP__PUBLISHER_BASE_HPP_

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <typeindex>

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp
{

namespace detail
{
class TopicGraph;
}  // namespace detail

// Type-independent part of a publisher: its endpoint in the in-process graph.
class PublisherBase : public std::enable_shared_from_this<PublisherBase>
{
  friend class detail::TopicGraph;

public:
  RCLCPP_SMART_PTR_DEFINITIONS(PublisherBase)

  // Registers the endpoint on the graph under the resolved topic name.
  PublisherBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    const std::string & topic,
    const rclcpp::QoS & qos,
    std::type_index message_type,
    const std::string & message_type_name);
  PublisherBase(const PublisherBase &) = delete;
  PublisherBase & operator=(const PublisherBase &) = delete;
  virtual ~PublisherBase();

  // Fully qualified, e.g. "/ns/cmd_vel".
  const char * get_topic_name() const;
  size_t get_queue_size() const;
  // Subscriptions of the same type and compatible QoS.
  size_t get_subscription_count() const;
  size_t get_intra_process_subscription_count() const;
  rclcpp::QoS get_actual_qos() const;
  bool assert_liveliness() const;
  bool can_loan_messages() const;

  const std::type_index & get_message_type() const;
  const std::string & get_message_type_name() const;

protected:
  // Hands the message to every matching subscription (dropped silently once the context is shut
  // down, as a publisher of a shut-down context does).
  void publish_erased(std::shared_ptr<const void> message);

private:
  rclcpp::node_interfaces::NodeBaseInterface * node_base_;
  rclcpp::Context::SharedPtr context_;
  const std::string topic_name_;
  const rclcpp::QoS qos_;
  const std::type_index message_type_;
  const std::string message_type_name_;
  uint64_t sequence_number_ = 0;
  // Last messages kept for late-joining subscriptions (transient local durability); guarded by
  // the graph.
  std::deque<std::shared_ptr<const void>> history_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_BASE_HPP_
