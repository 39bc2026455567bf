#ifndef VELMORA_NAV2_BASE_CLASS__THREAD_POOL_HPP_
#define VELMORA_NAV2_BASE_CLASS__THREAD_POOL_HPP_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace nav2_util
{

// A small task queue: tasks run on the pool's own threads, oldest first, so the thread that
// hands work over returns at once. With one worker, tasks run strictly one after another.
class ThreadPool
{
public:
  explicit ThreadPool(std::size_t thread_count);

  // Stops accepting tasks, lets the workers drain what is queued, and joins them. Returns only
  // when the running task has finished.
  ~ThreadPool();

  ThreadPool(const ThreadPool &) = delete;
  ThreadPool & operator=(const ThreadPool &) = delete;

  // Queues a task; throws std::runtime_error "enqueue on stopped ThreadPool" once stopping.
  // A task must not let an exception escape.
  void enqueue(std::function<void()> task);

  // Whether a worker is running a task at this moment. Read without the queue lock.
  bool busy() const {return busy_.load();}

private:
  void workerLoop();

  std::vector<std::thread> workers_;
  std::deque<std::function<void()>> tasks_;
  std::mutex queue_mutex_;
  std::condition_variable condition_;
  bool stop_{false};
  std::atomic<bool> busy_{false};
};

}  // namespace nav2_util

#endif  // VELMORA_NAV2_BASE_CLASS__THREAD_POOL_HPP_
