#ifndef RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
#define RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "rclcpp/message_info.hpp"

namespace rclcpp
{

namespace detail
{
template<typename>
struct always_false : std::false_type {};
}  // namespace detail

// Holds a subscription callback of any accepted signature and calls it with a shared message:
//   void(const MessageT &), void(std::shared_ptr<const MessageT>),
//   void(const std::shared_ptr<const MessageT> &), void(std::shared_ptr<MessageT>),
//   void(std::unique_ptr<MessageT>), each optionally followed by const rclcpp::MessageInfo &.
// Mutable forms receive their own copy of the message.
template<typename MessageT, typename AllocatorT = std::allocator<void>>
class AnySubscriptionCallback
{
  using Dispatcher =
    std::function<void (const std::shared_ptr<const MessageT> &, const rclcpp::MessageInfo &)>;

public:
  template<typename CallbackT>
  AnySubscriptionCallback & set(CallbackT callback)
  {
    using C = std::decay_t<CallbackT>;
    using Info = const rclcpp::MessageInfo &;
    using ConstRef = const MessageT &;
    using ConstShared = std::shared_ptr<const MessageT>;
    using Shared = std::shared_ptr<MessageT>;
    using Unique = std::unique_ptr<MessageT>;
    C cb(std::move(callback));
    if constexpr (std::is_invocable_v<C &, ConstRef>) {
      dispatcher_ = [cb](const ConstShared & m, Info) mutable {cb(*m);};
    } else if constexpr (std::is_invocable_v<C &, ConstRef, Info>) {
      dispatcher_ = [cb](const ConstShared & m, Info i) mutable {cb(*m, i);};
    } else if constexpr (std::is_invocable_v<C &, ConstShared>) {
      dispatcher_ = [cb](const ConstShared & m, Info) mutable {cb(m);};
    } else if constexpr (std::is_invocable_v<C &, ConstShared, Info>) {
      dispatcher_ = [cb](const ConstShared & m, Info i) mutable {cb(m, i);};
    } else if constexpr (std::is_invocable_v<C &, Shared>) {
      dispatcher_ = [cb](const ConstShared & m, Info) mutable {cb(std::make_shared<MessageT>(*m));};
    } else if constexpr (std::is_invocable_v<C &, Shared, Info>) {
      dispatcher_ = [cb](const ConstShared & m, Info i) mutable {
          cb(std::make_shared<MessageT>(*m), i);
        };
    } else if constexpr (std::is_invocable_v<C &, Unique>) {
      dispatcher_ = [cb](const ConstShared & m, Info) mutable {cb(std::make_unique<MessageT>(*m));};
    } else if constexpr (std::is_invocable_v<C &, Unique, Info>) {
      dispatcher_ = [cb](const ConstShared & m, Info i) mutable {
          cb(std::make_unique<MessageT>(*m), i);
        };
    } else {
      static_assert(detail::always_false<C>::value, "unsupported subscription callback signature");
    }
    return *this;
  }

  void dispatch(
    const std::shared_ptr<const MessageT> & message, const rclcpp::MessageInfo & message_info)
  {
    if (!dispatcher_) {
      throw std::runtime_error("dispatch called on an unset AnySubscriptionCallback");
    }
    dispatcher_(message, message_info);
  }

private:
  Dispatcher dispatcher_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
