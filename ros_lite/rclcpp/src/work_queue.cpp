#include "rclcpp/detail/work_queue.hpp"

#include <atomic>
#include <utility>

namespace rclcpp
{
namespace detail
{

namespace
{
std::atomic<uint64_t> g_next_sequence{0};
}  // namespace

void WorkQueue::post(std::function<void()> work)
{
  std::shared_ptr<ExecutorNotifier> notifier;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(Item{g_next_sequence.fetch_add(1), std::move(work)});
    notifier = notifier_;
  }
  if (notifier) {
    notifier->notify();
  }
}

std::optional<uint64_t> WorkQueue::front_sequence() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (items_.empty()) {
    return std::nullopt;
  }
  return items_.front().sequence;
}

std::optional<WorkQueue::Item> WorkQueue::take_front(uint64_t sequence_limit)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (items_.empty() || items_.front().sequence >= sequence_limit) {
    return std::nullopt;
  }
  Item item = std::move(items_.front());
  items_.pop_front();
  return item;
}

std::size_t WorkQueue::size() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

void WorkQueue::set_notifier(std::shared_ptr<ExecutorNotifier> notifier)
{
  std::lock_guard<std::mutex> lock(mutex_);
  notifier_ = std::move(notifier);
}

void WorkQueue::notify() const
{
  std::shared_ptr<ExecutorNotifier> notifier;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    notifier = notifier_;
  }
  if (notifier) {
    notifier->notify();
  }
}

uint64_t WorkQueue::next_sequence()
{
  return g_next_sequence.load();
}

}  // namespace detail
}  // namespace rclcpp
