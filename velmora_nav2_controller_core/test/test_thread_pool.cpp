// The worker pool behind the action server: one worker runs tasks strictly in order, a long
// queue is reported, and destruction waits for the running task and drains the queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "velmora/testing/log_capture.hpp"
#include "velmora_nav2_base_class/thread_pool.hpp"

namespace
{

// A task that blocks its worker until released, so tests control what is running.
class Gate
{
public:
  void wait()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] {return open_;});
  }
  void awaitEntered()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, std::chrono::seconds(5), [this] {return entered_;}));
  }
  void open()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_{false};
  bool open_{false};
};

const char * const kBusyLine = "Worker thread pool is busy with";

}  // namespace

TEST(ThreadPool, OneWorkerRunsTasksOneAfterAnotherInOrder)
{
  std::vector<int> order;
  std::mutex order_mutex;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  {
    nav2_util::ThreadPool pool(1);
    for (int i = 0; i < 20; ++i) {
      pool.enqueue([&, i] {
          if (running.fetch_add(1) != 0) {overlapped = true;}
          std::this_thread::yield();
          {
            std::lock_guard<std::mutex> lock(order_mutex);
            order.push_back(i);
          }
          running.fetch_sub(1);
        });
    }
  }
  ASSERT_EQ(order.size(), 20u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(order[i], i);
  }
  EXPECT_FALSE(overlapped);
}

TEST(ThreadPool, BusyFlagFollowsTheRunningTask)
{
  Gate gate;
  nav2_util::ThreadPool pool(1);
  EXPECT_FALSE(pool.busy());
  std::promise<void> done;
  pool.enqueue([&] {gate.wait();});
  pool.enqueue([&] {done.set_value();});
  gate.awaitEntered();
  EXPECT_TRUE(pool.busy());
  gate.open();
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

TEST(ThreadPool, WarnsFromTheFifthWaitingTaskOn)
{
  velmora::testing::LogCapture log;
  Gate gate;
  {
    nav2_util::ThreadPool pool(1);
    pool.enqueue([&] {gate.wait();});
    gate.awaitEntered();
    for (int i = 0; i < 4; ++i) {
      pool.enqueue([] {});
    }
    EXPECT_TRUE(log.linesContaining(kBusyLine).empty()) << "four waiting tasks are not a busy pool";
    pool.enqueue([] {});
    pool.enqueue([] {});
    gate.open();
  }
  const auto busy = log.linesContaining(kBusyLine);
  ASSERT_EQ(busy.size(), 2u);
  EXPECT_EQ(busy[0].substr(4), "[WARN] Worker thread pool is busy with 5 tasks");
  EXPECT_EQ(busy[1].substr(4), "[WARN] Worker thread pool is busy with 6 tasks");
}

TEST(ThreadPool, DestructionWaitsForTheRunningTaskThenDrainsTheQueue)
{
  Gate gate;
  std::atomic<int> finished{0};
  auto pool = std::make_unique<nav2_util::ThreadPool>(1);
  pool->enqueue([&] {gate.wait(); ++finished;});
  pool->enqueue([&] {++finished;});
  pool->enqueue([&] {++finished;});
  gate.awaitEntered();

  auto destroyed = std::async(std::launch::async, [&] {pool.reset();});
  EXPECT_EQ(destroyed.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
    << "the destructor must not return while a task runs";
  gate.open();
  ASSERT_EQ(destroyed.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(finished.load(), 3);
}

TEST(ThreadPool, RefusesTasksOnceStopping)
{
  std::string refusal;
  {
    nav2_util::ThreadPool pool(1);
    // The running task keeps offering work until the destructor below has set the stop flag.
    pool.enqueue([&] {
        for (;;) {
          try {
            pool.enqueue([] {});
          } catch (const std::runtime_error & error) {
            refusal = error.what();
            return;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      });
  }
  EXPECT_EQ(refusal, "enqueue on stopped ThreadPool");
}
