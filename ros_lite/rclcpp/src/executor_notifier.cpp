#include "rclcpp/detail/executor_notifier.hpp"

namespace rclcpp
{
namespace detail
{

void ExecutorNotifier::notify()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  condition_.notify_all();
}

uint64_t ExecutorNotifier::generation() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

void ExecutorNotifier::wait(uint64_t seen, std::chrono::steady_clock::time_point deadline) const
{
  std::unique_lock<std::mutex> lock(mutex_);
  condition_.wait_until(lock, deadline, [this, seen] {return generation_ != seen;});
}

}  // namespace detail
}  // namespace rclcpp
