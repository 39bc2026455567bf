#ifndef TF2_ROS__TRANSFORM_LISTENER_H_
#define TF2_ROS__TRANSFORM_LISTENER_H_

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

// Feeds a buffer from the "/tf" and "/tf_static" topics.
//
// With spin_thread (the default) the two subscriptions sit in a callback group of their own that
// a private executor spins on a private thread, so transforms arrive whether or not anyone spins
// the node; the buffer is then told it has a dedicated thread, which enables timeouts.
// Without it, the subscriptions run in whatever executor spins the node.
class TransformListener
{
public:
  // Creates and uses a node of its own.
  explicit TransformListener(tf2::BufferCore & buffer, bool spin_thread = true);

  template<class NodeT, class AllocatorT = std::allocator<void>>
  TransformListener(
    tf2::BufferCore & buffer, NodeT && node, bool spin_thread = true,
    const rclcpp::QoS & qos = DynamicListenerQoS(),
    const rclcpp::QoS & static_qos = StaticListenerQoS(),
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options =
    rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>(),
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & static_options =
    rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>())
  : buffer_(buffer)
  {
    init(std::forward<NodeT>(node), spin_thread, qos, static_qos, options, static_options);
  }

  virtual ~TransformListener();

private:
  template<class NodeT, class AllocatorT>
  void init(
    NodeT && node, bool spin_thread, const rclcpp::QoS & qos, const rclcpp::QoS & static_qos,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & static_options)
  {
    logger_ = std::make_unique<rclcpp::Logger>(node->get_logger());
    auto dynamic_cb = [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
        subscription_callback(msg, false);
      };
    auto static_cb = [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
        subscription_callback(msg, true);
      };

    auto tf_options = options;
    auto tf_static_options = static_options;
    if (spin_thread) {
      callback_group_ = node->create_callback_group(
        rclcpp::CallbackGroupType::MutuallyExclusive, false);
      tf_options.callback_group = callback_group_;
      tf_static_options.callback_group = callback_group_;
    }
    message_subscription_tf_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
      node, "/tf", qos, std::move(dynamic_cb), tf_options);
    message_subscription_tf_static_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
      node, "/tf_static", static_qos, std::move(static_cb), tf_static_options);

    if (spin_thread) {
      executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
      executor_->add_callback_group(callback_group_, node->get_node_base_interface());
      startSpinning();
      buffer_.setUsingDedicatedThread(true);
    }
  }

  void startSpinning();
  void subscription_callback(tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static);

  tf2::BufferCore & buffer_;
  rclcpp::Node::SharedPtr optional_default_node_ = nullptr;
  std::unique_ptr<rclcpp::Logger> logger_;
  rclcpp::CallbackGroup::SharedPtr callback_group_{nullptr};
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
  std::thread dedicated_listener_thread_;
  std::atomic<bool> listener_thread_done_{false};
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_static_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_LISTENER_H_
