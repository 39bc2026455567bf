#include "rclcpp/timer.hpp"

#include <chrono>
#include <limits>
#include <memory>
#include <stdexcept>
#include <utility>

namespace rclcpp
{

TimerBase::TimerBase(
  Clock::SharedPtr clock, std::chrono::nanoseconds period, rclcpp::Context::SharedPtr context)
: clock_(std::move(clock)),
  context_(std::move(context)),
  period_ns_(period.count())
{
  if (period_ns_ < 0) {
    throw std::invalid_argument("timer period cannot be negative");
  }
  next_call_ns_ = clock_->now().nanoseconds() + period_ns_;
}

TimerBase::~TimerBase() {}

void TimerBase::cancel()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    canceled_ = true;
  }
  notify_executor();
}

bool TimerBase::is_canceled()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return canceled_;
}

void TimerBase::reset()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    canceled_ = false;
    next_call_ns_ = clock_->now().nanoseconds() + period_ns_;
  }
  notify_executor();
}

bool TimerBase::call()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (canceled_) {
    return false;
  }
  const int64_t now = clock_->now().nanoseconds();
  if (now < next_call_ns_) {
    return false;
  }
  // Skip the periods that were missed rather than firing once for each.
  int64_t next_call = next_call_ns_ + period_ns_;
  if (next_call < now) {
    if (period_ns_ == 0) {
      next_call = now;
    } else {
      const int64_t now_ahead = now - next_call;
      const int64_t periods_ahead = 1 + (now_ahead - 1) / period_ns_;
      next_call += periods_ahead * period_ns_;
    }
  }
  next_call_ns_ = next_call;
  return true;
}

Clock::SharedPtr TimerBase::get_clock()
{
  return clock_;
}

std::chrono::nanoseconds TimerBase::time_until_trigger()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (canceled_) {
    return std::chrono::nanoseconds::max();
  }
  return std::chrono::nanoseconds(next_call_ns_ - clock_->now().nanoseconds());
}

bool TimerBase::is_ready()
{
  return time_until_trigger() <= std::chrono::nanoseconds::zero();
}

bool TimerBase::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

void TimerBase::set_callback_group(const std::weak_ptr<CallbackGroup> & group)
{
  std::lock_guard<std::mutex> lock(mutex_);
  callback_group_ = group;
}

void TimerBase::notify_executor()
{
  std::shared_ptr<CallbackGroup> group;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    group = callback_group_.lock();
  }
  if (group) {
    group->work_queue().notify();
  }
}

}  // namespace rclcpp
