#ifndef RCLCPP__DETAIL__WORK_QUEUE_HPP_
#define RCLCPP__DETAIL__WORK_QUEUE_HPP_

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "rclcpp/detail/executor_notifier.hpp"

namespace rclcpp
{
namespace detail
{

// The pending work of one callback group. Items carry a process-wide sequence number so that an
// executor serving several groups runs them in posting order.
class WorkQueue
{
public:
  struct Item
  {
    uint64_t sequence;
    std::function<void()> work;
  };

  // Appends the work and wakes the executor serving this queue, if any.
  void post(std::function<void()> work);
  // Sequence number of the oldest item, if any.
  std::optional<uint64_t> front_sequence() const;
  // Removes and returns the oldest item if its sequence number is below `sequence_limit`.
  std::optional<Item> take_front(uint64_t sequence_limit);
  std::size_t size() const;

  void set_notifier(std::shared_ptr<ExecutorNotifier> notifier);
  // Wakes the executor serving this queue (new timers, reset timers...).
  void notify() const;

  // Next sequence number that will be handed out; everything posted so far is below it.
  static uint64_t next_sequence();

private:
  mutable std::mutex mutex_;
  std::deque<Item> items_;
  std::shared_ptr<ExecutorNotifier> notifier_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__WORK_QUEUE_HPP_
