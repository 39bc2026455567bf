#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

// A periodic trigger on a clock. The executor serving the timer's callback group calls it when
// it is due; missed periods are skipped, never caught up.
class TimerBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(TimerBase)

  TimerBase(
    Clock::SharedPtr clock, std::chrono::nanoseconds period,
    rclcpp::Context::SharedPtr context);
  TimerBase(const TimerBase &) = delete;
  TimerBase & operator=(const TimerBase &) = delete;
  virtual ~TimerBase();

  void cancel();
  bool is_canceled();
  // Restarts the period from now (and un-cancels).
  void reset();

  // If the timer is due and not canceled, schedules the next trigger and returns true; the
  // caller then runs execute_callback().
  bool call();
  virtual void execute_callback() = 0;
  virtual bool is_steady() = 0;

  Clock::SharedPtr get_clock();
  // Time until the next trigger (<= 0 when due); nanoseconds::max() when canceled.
  std::chrono::nanoseconds time_until_trigger();
  bool is_ready();
  bool exchange_in_use_by_wait_set_state(bool in_use_state);

  // The group the timer was added to; cancel/reset wake the executor serving it.
  void set_callback_group(const std::weak_ptr<CallbackGroup> & group);

protected:
  Clock::SharedPtr clock_;

private:
  void notify_executor();

  rclcpp::Context::SharedPtr context_;
  std::mutex mutex_;
  int64_t period_ns_;
  int64_t next_call_ns_;
  bool canceled_ = false;
  std::weak_ptr<CallbackGroup> callback_group_;
  std::atomic<bool> in_use_by_wait_set_{false};
};

using VoidCallbackType = std::function<void ()>;
using TimerCallbackType = std::function<void (TimerBase &)>;

// Timer running a callback of signature void() or void(TimerBase &).
template<typename FunctorT>
class GenericTimer : public TimerBase
{
  static_assert(
    std::is_invocable_v<FunctorT &> || std::is_invocable_v<FunctorT &, TimerBase &>,
    "timer callback must be callable as void() or void(rclcpp::TimerBase &)");

public:
  RCLCPP_SMART_PTR_DEFINITIONS(GenericTimer)

  GenericTimer(
    Clock::SharedPtr clock, std::chrono::nanoseconds period, FunctorT && callback,
    rclcpp::Context::SharedPtr context)
  : TimerBase(std::move(clock), period, std::move(context)),
    callback_(std::forward<FunctorT>(callback))
  {}

  void execute_callback() override
  {
    if constexpr (std::is_invocable_v<FunctorT &, TimerBase &>) {
      callback_(*this);
    } else {
      callback_();
    }
  }

  bool is_steady() override
  {
    return clock_->get_clock_type() == RCL_STEADY_TIME;
  }

protected:
  FunctorT callback_;
};

// Timer on the steady clock.
template<typename FunctorT>
class WallTimer : public GenericTimer<FunctorT>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(WallTimer)

  WallTimer(
    std::chrono::nanoseconds period, FunctorT && callback, rclcpp::Context::SharedPtr context)
  : GenericTimer<FunctorT>(
      std::make_shared<Clock>(RCL_STEADY_TIME), period, std::forward<FunctorT>(callback),
      std::move(context))
  {}
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
