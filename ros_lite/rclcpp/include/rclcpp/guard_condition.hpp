#ifndef RCLCPP__GUARD_CONDITION_HPP_
#define RCLCPP__GUARD_CONDITION_HPP_

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

// A condition another thread can trigger to wake whoever waits on it. Here the waiter registers
// an on-trigger callback; triggers that happen before one is set are counted and reported to it
// when it is set.
class GuardCondition
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(GuardCondition)

  explicit GuardCondition(
    rclcpp::Context::SharedPtr context = rclcpp::contexts::get_global_default_context());
  GuardCondition(const GuardCondition &) = delete;
  GuardCondition & operator=(const GuardCondition &) = delete;
  virtual ~GuardCondition();

  rclcpp::Context::SharedPtr get_context() const;
  void trigger();
  bool exchange_in_use_by_wait_set_state(bool in_use_state);
  void set_on_trigger_callback(std::function<void(size_t)> callback);

private:
  rclcpp::Context::SharedPtr context_;
  std::atomic_bool in_use_by_wait_set_{false};
  std::mutex mutex_;
  std::function<void(size_t)> on_trigger_callback_;
  size_t unread_count_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__GUARD_CONDITION_HPP_
