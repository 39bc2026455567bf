#ifndef RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_
#define RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace rclcpp
{
namespace detail
{

// Wakes an executor that waits for work. Every notify() bumps a generation counter, so a waiter
// that read the generation before looking for work cannot miss a notification that arrives
// between its look and its wait.
class ExecutorNotifier
{
public:
  void notify();
  uint64_t generation() const;
  // Returns when the generation differs from `seen` or at `deadline`, whichever comes first.
  void wait(uint64_t seen, std::chrono::steady_clock::time_point deadline) const;

private:
  mutable std::mutex mutex_;
  mutable std::condition_variable condition_;
  uint64_t generation_ = 0;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__EXECUTOR_NOTIFIER_HPP_
