#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <memory>
#include <string>
#include <typeindex>
#include <utility>

#include "rclcpp/any_subscription_callback.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/message_info.hpp"
#include "rclcpp/message_memory_strategy.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_options.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

template<
  typename MessageT,
  typename AllocatorT = std::allocator<void>,
  typename MessageMemoryStrategyT =
  rclcpp::message_memory_strategy::MessageMemoryStrategy<MessageT, AllocatorT>>
class Subscription : public SubscriptionBase
{
public:
  using MessageMemoryStrategyType = MessageMemoryStrategyT;
  using ROSMessageType = MessageT;
  using SubscribedType = MessageT;

  RCLCPP_SMART_PTR_DEFINITIONS(Subscription)

  Subscription(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    const std::string & topic_name,
    const rclcpp::QoS & qos,
    AnySubscriptionCallback<MessageT, AllocatorT> callback,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options)
  : SubscriptionBase(
      node_base, topic_name, qos, std::type_index(typeid(MessageT)),
      rosidl_generator_traits::name<MessageT>(), options.ignore_local_publications),
    any_callback_(std::move(callback)),
    options_(options)
  {}

protected:
  void handle_message(
    const std::shared_ptr<const void> & message, const rclcpp::MessageInfo & message_info) override
  {
    any_callback_.dispatch(std::static_pointer_cast<const MessageT>(message), message_info);
  }

private:
  AnySubscriptionCallback<MessageT, AllocatorT> any_callback_;
  const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> options_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
