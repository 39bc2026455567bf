#include "tf2_ros/create_timer_ros.h"

#include <functional>
#include <stdexcept>

#include "rclcpp/create_timer.hpp"

namespace tf2_ros
{

CreateTimerROS::CreateTimerROS(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
  rclcpp::CallbackGroup::SharedPtr callback_group)
: node_base_(node_base), node_timers_(node_timers), callback_group_(callback_group)
{
}

TimerHandle CreateTimerROS::createTimer(
  rclcpp::Clock::SharedPtr clock, const tf2::Duration & period, TimerCallbackType callback)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const TimerHandle handle = next_timer_handle_index_++;
  auto timer = rclcpp::create_timer(
    node_base_, node_timers_, clock, rclcpp::Duration(period),
    std::function<void()>([this, handle, callback]() {timerCallback(handle, callback);}),
    callback_group_);
  timers_map_[handle] = timer;
  return handle;
}

void CreateTimerROS::cancel(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  cancelNoLock(timer_handle);
}

void CreateTimerROS::cancelNoLock(const TimerHandle & timer_handle)
{
  const auto it = timers_map_.find(timer_handle);
  if (it == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle in cancel()");
  }
  it->second->cancel();
}

void CreateTimerROS::reset(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const auto it = timers_map_.find(timer_handle);
  if (it == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle in reset()");
  }
  it->second->reset();
}

void CreateTimerROS::remove(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const auto it = timers_map_.find(timer_handle);
  if (it == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle in remove()");
  }
  it->second->cancel();
  timers_map_.erase(it);
}

void CreateTimerROS::timerCallback(const TimerHandle & timer_handle, TimerCallbackType callback)
{
  callback(timer_handle);
}

}  // namespace tf2_ros
