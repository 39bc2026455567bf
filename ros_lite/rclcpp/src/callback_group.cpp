#include "rclcpp/callback_group.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include "rclcpp/subscription_base.hpp"
#include "rclcpp/timer.hpp"
#include "rclcpp/waitable.hpp"

namespace rclcpp
{

namespace
{

template<typename T>
void prune(std::vector<std::weak_ptr<T>> & entities)
{
  entities.erase(
    std::remove_if(
      entities.begin(), entities.end(),
      [](const std::weak_ptr<T> & entity) {return entity.expired();}),
    entities.end());
}

}  // namespace

CallbackGroup::CallbackGroup(
  CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
: type_(group_type),
  automatically_add_to_executor_with_node_(automatically_add_to_executor_with_node)
{}

const CallbackGroupType & CallbackGroup::type() const
{
  return type_;
}

std::atomic_bool & CallbackGroup::can_be_taken_from()
{
  return can_be_taken_from_;
}

std::atomic_bool & CallbackGroup::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

bool CallbackGroup::automatically_add_to_executor_with_node() const
{
  return automatically_add_to_executor_with_node_;
}

size_t CallbackGroup::size() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  size_t count = 0;
  for (const auto & s : subscriptions_) {count += s.expired() ? 0 : 1;}
  for (const auto & t : timers_) {count += t.expired() ? 0 : 1;}
  for (const auto & w : waitables_) {count += w.expired() ? 0 : 1;}
  return count;
}

void CallbackGroup::add_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> & subscription)
{
  std::lock_guard<std::mutex> lock(mutex_);
  prune(subscriptions_);
  subscriptions_.push_back(subscription);
}

void CallbackGroup::add_timer(const std::shared_ptr<rclcpp::TimerBase> & timer)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(timers_);
    timers_.push_back(timer);
  }
  // The executor serving the group must recompute when to wake up.
  work_queue_.notify();
}

void CallbackGroup::add_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable)
{
  std::lock_guard<std::mutex> lock(mutex_);
  prune(waitables_);
  waitables_.push_back(waitable);
}

void CallbackGroup::remove_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable) noexcept
{
  std::lock_guard<std::mutex> lock(mutex_);
  waitables_.erase(
    std::remove_if(
      waitables_.begin(), waitables_.end(),
      [&waitable](const std::weak_ptr<rclcpp::Waitable> & entry) {
        const auto locked = entry.lock();
        return !locked || locked == waitable;
      }),
    waitables_.end());
}

std::vector<std::shared_ptr<rclcpp::TimerBase>> CallbackGroup::get_timers() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::shared_ptr<rclcpp::TimerBase>> timers;
  for (const auto & weak_timer : timers_) {
    if (auto timer = weak_timer.lock()) {
      timers.push_back(timer);
    }
  }
  return timers;
}

bool CallbackGroup::has_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(
    waitables_.begin(), waitables_.end(),
    [&waitable](const std::weak_ptr<rclcpp::Waitable> & entry) {
      return entry.lock() == waitable;
    });
}

detail::WorkQueue & CallbackGroup::work_queue()
{
  return work_queue_;
}

}  // namespace rclcpp
