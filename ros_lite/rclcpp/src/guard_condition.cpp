#include "rclcpp/guard_condition.hpp"

#include <utility>

namespace rclcpp
{

GuardCondition::GuardCondition(rclcpp::Context::SharedPtr context)
: context_(std::move(context))
{}

GuardCondition::~GuardCondition() = default;

rclcpp::Context::SharedPtr GuardCondition::get_context() const
{
  return context_;
}

void GuardCondition::trigger()
{
  std::function<void(size_t)> callback;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!on_trigger_callback_) {
      ++unread_count_;
      return;
    }
    callback = on_trigger_callback_;
  }
  callback(1);
}

bool GuardCondition::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

void GuardCondition::set_on_trigger_callback(std::function<void(size_t)> callback)
{
  size_t unread = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    on_trigger_callback_ = callback;
    if (callback) {
      unread = unread_count_;
      unread_count_ = 0;
    }
  }
  if (callback && unread > 0) {
    callback(unread);
  }
}

}  // namespace rclcpp
