#include "velmora_nav2_base_class/thread_pool.hpp"

#include <stdexcept>
#include <utility>

#include "velmora/logger.hpp"

namespace nav2_util
{

namespace
{
// More waiting tasks than this means goals arrive faster than they are run.
constexpr std::size_t kBusyQueueLength = 4;
}  // namespace

ThreadPool::ThreadPool(std::size_t thread_count)
{
  workers_.reserve(thread_count);
  for (std::size_t i = 0; i < thread_count; ++i) {
    workers_.emplace_back([this] {workerLoop();});
  }
}

ThreadPool::~ThreadPool()
{
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    stop_ = true;
  }
  condition_.notify_all();
  for (auto & worker : workers_) {
    worker.join();
  }
}

void ThreadPool::enqueue(std::function<void()> task)
{
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (stop_) {
      throw std::runtime_error("enqueue on stopped ThreadPool");
    }
    tasks_.push_back(std::move(task));
    if (tasks_.size() > kBusyQueueLength) {
      VLOG_WARN("Worker thread pool is busy with {} tasks", tasks_.size());
    }
  }
  condition_.notify_one();
}

void ThreadPool::workerLoop()
{
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(queue_mutex_);
      condition_.wait(lock, [this] {return stop_ || !tasks_.empty();});
      if (stop_ && tasks_.empty()) {
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    busy_.exchange(true);
    task();
    busy_.exchange(false);
  }
}

}  // namespace nav2_util
