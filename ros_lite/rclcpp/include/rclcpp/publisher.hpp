#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>
#include <utility>

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

template<typename MessageT, typename AllocatorT = std::allocator<void>>
class Publisher : public PublisherBase
{
public:
  using ROSMessageType = MessageT;
  using PublishedType = MessageT;
  using ROSMessageTypeAllocatorTraits = std::allocator_traits<std::allocator<MessageT>>;
  using ROSMessageTypeAllocator = std::allocator<MessageT>;
  using ROSMessageTypeDeleter = std::default_delete<MessageT>;
  using MessageAllocatorTraits = ROSMessageTypeAllocatorTraits;
  using MessageAllocator = ROSMessageTypeAllocator;
  using MessageDeleter = ROSMessageTypeDeleter;
  using MessageUniquePtr = std::unique_ptr<MessageT, MessageDeleter>;
  using MessageSharedPtr = std::shared_ptr<const MessageT>;

  RCLCPP_SMART_PTR_DEFINITIONS(Publisher<MessageT, AllocatorT>)

  Publisher(
    rclcpp::node_interfaces::NodeBaseInterface * node_base,
    const std::string & topic,
    const rclcpp::QoS & qos,
    const rclcpp::PublisherOptionsWithAllocator<AllocatorT> & options)
  : PublisherBase(
      node_base, topic, qos, std::type_index(typeid(MessageT)),
      rosidl_generator_traits::name<MessageT>()),
    options_(options)
  {}

  virtual ~Publisher() {}

  // Subscribers receive the message on their executor's thread, never inside this call.
  template<typename T>
  typename std::enable_if_t<std::is_same<T, ROSMessageType>::value>
  publish(std::unique_ptr<T, ROSMessageTypeDeleter> msg)
  {
    this->publish_erased(std::shared_ptr<const MessageT>(std::move(msg)));
  }

  template<typename T>
  typename std::enable_if_t<std::is_same<T, ROSMessageType>::value>
  publish(const T & msg)
  {
    this->publish_erased(std::make_shared<const MessageT>(msg));
  }

protected:
  const rclcpp::PublisherOptionsWithAllocator<AllocatorT> options_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
