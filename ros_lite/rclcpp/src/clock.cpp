#include "rclcpp/clock.hpp"

#include <algorithm>
#include <memory>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace rclcpp
{

JumpHandler::JumpHandler(
  pre_callback_t pre_callback, post_callback_t post_callback,
  const rcl_jump_threshold_t & threshold)
: pre_callback(std::move(pre_callback)),
  post_callback(std::move(post_callback)),
  notice_threshold(threshold)
{}

Clock::Clock(rcl_clock_type_t clock_type)
: rcl_clock_{clock_type, rcl_get_default_allocator()}
{
  if (clock_type == RCL_CLOCK_UNINITIALIZED) {
    throw std::invalid_argument("clock type must not be RCL_CLOCK_UNINITIALIZED");
  }
}

Clock::~Clock() {}

Time Clock::now()
{
  int64_t ns = 0;
  if (rcl_clock_.type == RCL_STEADY_TIME) {
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch()).count();
  } else {
    ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
  }
  return Time(ns, rcl_clock_.type);
}

bool Clock::sleep_until(Time until, Context::SharedPtr context)
{
  if (!context || !context->is_valid()) {
    return false;
  }
  if (until.get_clock_type() != rcl_clock_.type) {
    throw std::runtime_error("until's clock type does not match this clock's type");
  }
  // Sleep in steps against the steady clock; system and ROS time are re-read after each step so
  // a clock change is followed.
  while (context->is_valid()) {
    const Time current = now();
    if (current >= until) {
      return true;
    }
    const auto remaining = std::chrono::nanoseconds((until - current).nanoseconds());
    const auto step = rcl_clock_.type == RCL_STEADY_TIME ?
      remaining : std::min<std::chrono::nanoseconds>(remaining, std::chrono::seconds(1));
    if (!context->sleep_for(step)) {
      return false;
    }
  }
  return false;
}

bool Clock::sleep_for(Duration rel_time, Context::SharedPtr context)
{
  return sleep_until(now() + rel_time, context);
}

bool Clock::started()
{
  return true;
}

bool Clock::wait_until_started(Context::SharedPtr context)
{
  return context && context->is_valid() && started();
}

bool Clock::wait_until_started(
  const rclcpp::Duration & timeout, Context::SharedPtr context,
  const rclcpp::Duration & wait_tick_ns)
{
  (void)timeout;
  (void)wait_tick_ns;
  return wait_until_started(context);
}

bool Clock::ros_time_is_active()
{
  return false;
}

rcl_clock_t * Clock::get_clock_handle() noexcept
{
  return &rcl_clock_;
}

rcl_clock_type_t Clock::get_clock_type() const noexcept
{
  return rcl_clock_.type;
}

std::mutex & Clock::get_clock_mutex() noexcept
{
  return clock_mutex_;
}

JumpHandler::SharedPtr Clock::create_jump_callback(
  JumpHandler::pre_callback_t pre_callback,
  JumpHandler::post_callback_t post_callback,
  const rcl_jump_threshold_t & threshold)
{
  // Nothing ever overrides this clock's time, so the handler is never called.
  return std::make_shared<JumpHandler>(
    std::move(pre_callback), std::move(post_callback), threshold);
}

}  // namespace rclcpp
