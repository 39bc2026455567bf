// Executors: what spin_some runs, cancel and shutdown, futures, node/group ownership, timers, the
// node work queue the action layer builds on, and mutual exclusion on several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/detail/node_work_queue.hpp"
#include "rclcpp/rclcpp.hpp"
#include "ros_scope.hpp"

namespace
{

using namespace std::chrono_literals;

class ExecutorTest : public ::testing::Test
{
protected:
  rclcpp_test::ScopedRos ros_;
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("executor_node");
  rclcpp::executors::SingleThreadedExecutor executor_;
};

// Runs `body` on a thread and reports whether it finished before the deadline.
bool finishes_within(std::future<void> & done, std::chrono::seconds deadline)
{
  return done.wait_for(deadline) == std::future_status::ready;
}

TEST_F(ExecutorTest, SpinSomeRunsOnlyWhatWasQueuedBefore)
{
  std::vector<std::string> ran;
  std::weak_ptr<rclcpp::node_interfaces::NodeBaseInterface> base = node_->get_node_base_interface();
  ASSERT_TRUE(
    rclcpp::detail::post(
      base, [&ran, base]() {
        ran.push_back("first");
        rclcpp::detail::post(base, [&ran]() {ran.push_back("posted meanwhile");});
      }));
  ASSERT_TRUE(rclcpp::detail::post(base, [&ran]() {ran.push_back("second");}));
  EXPECT_TRUE(ran.empty());

  executor_.add_node(node_);
  executor_.spin_some();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));
  executor_.spin_some();
  EXPECT_EQ(ran.back(), "posted meanwhile");
}

TEST_F(ExecutorTest, PostedWorkWaitsForAnExecutorAndFailsForAGoneNode)
{
  std::atomic<int> runs{0};
  auto temporary = std::make_shared<rclcpp::Node>("temporary");
  std::weak_ptr<rclcpp::node_interfaces::NodeBaseInterface> base =
    temporary->get_node_base_interface();
  rclcpp::detail::post(base, [&runs]() {++runs;});
  EXPECT_EQ(runs.load(), 0);
  rclcpp::spin_some(temporary);
  EXPECT_EQ(runs.load(), 1);
  temporary.reset();
  EXPECT_FALSE(rclcpp::detail::post(base, [&runs]() {++runs;}));
}

TEST_F(ExecutorTest, SpinningExecutorWakesForWorkPostedFromAnotherThread)
{
  executor_.add_node(node_);
  std::promise<std::thread::id> ran_on;
  auto spinning = std::async(std::launch::async, [this]() {executor_.spin();});
  rclcpp::detail::post(
    node_->get_node_base_interface(), [&ran_on]() {ran_on.set_value(std::this_thread::get_id());});
  auto ran_on_future = ran_on.get_future();
  ASSERT_EQ(ran_on_future.wait_for(5s), std::future_status::ready);
  EXPECT_NE(ran_on_future.get(), std::this_thread::get_id());
  executor_.cancel();
  EXPECT_TRUE(finishes_within(spinning, 5s));
}

TEST_F(ExecutorTest, ShutdownEndsSpin)
{
  executor_.add_node(node_);
  auto spinning = std::async(std::launch::async, [this]() {executor_.spin();});
  while (!executor_.is_spinning()) {
    std::this_thread::yield();
  }
  rclcpp::shutdown();
  EXPECT_TRUE(finishes_within(spinning, 5s));
}

TEST_F(ExecutorTest, SpinUntilFutureCompleteReportsSuccessTimeoutAndInterruption)
{
  std::promise<int> from_callback;
  auto future = from_callback.get_future().share();
  rclcpp::detail::post(node_->get_node_base_interface(), [&from_callback]() {from_callback.set_value(3);});
  EXPECT_EQ(rclcpp::spin_until_future_complete(node_, future, 5s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(future.get(), 3);

  std::promise<void> never;
  EXPECT_EQ(
    rclcpp::spin_until_future_complete(node_, never.get_future(), 20ms),
    rclcpp::FutureReturnCode::TIMEOUT);

  std::promise<void> from_thread;
  auto from_thread_future = from_thread.get_future();
  std::thread setter([&from_thread]() {from_thread.set_value();});
  EXPECT_EQ(
    rclcpp::spin_until_future_complete(node_, from_thread_future),
    rclcpp::FutureReturnCode::SUCCESS);
  setter.join();

  std::promise<void> interrupted;
  rclcpp::detail::post(node_->get_node_base_interface(), []() {rclcpp::shutdown();});
  EXPECT_EQ(
    rclcpp::spin_until_future_complete(node_, interrupted.get_future()),
    rclcpp::FutureReturnCode::INTERRUPTED);
}

TEST_F(ExecutorTest, OwnershipAndReentryErrors)
{
  executor_.add_node(node_);
  rclcpp::executors::SingleThreadedExecutor other;
  try {
    other.add_node(node_);
    FAIL();
  } catch (const std::runtime_error & error) {
    EXPECT_STREQ(error.what(), "Node '/executor_node' has already been added to an executor.");
  }
  auto stranger = std::make_shared<rclcpp::Node>("stranger");
  EXPECT_THROW(executor_.remove_node(stranger), std::runtime_error);

  std::string nested_error;
  rclcpp::detail::post(
    node_->get_node_base_interface(), [this, &nested_error]() {
      try {
        executor_.spin_some();
      } catch (const std::runtime_error & error) {
        nested_error = error.what();
      }
    });
  executor_.spin_some();
  EXPECT_EQ(nested_error, "spin_some() called while already spinning");

  executor_.remove_node(node_);
  EXPECT_NO_THROW(other.add_node(node_));
}

TEST_F(ExecutorTest, CallbackExceptionsLeaveTheExecutorUsable)
{
  rclcpp::detail::post(node_->get_node_base_interface(), []() {throw std::logic_error("boom");});
  int later = 0;
  rclcpp::detail::post(node_->get_node_base_interface(), [&later]() {++later;});
  executor_.add_node(node_);
  EXPECT_THROW(executor_.spin_some(), std::logic_error);
  EXPECT_FALSE(executor_.is_spinning());
  executor_.spin_some();
  EXPECT_EQ(later, 1);
}

TEST_F(ExecutorTest, WallTimersFireOnTheSpinningThreadUntilCanceled)
{
  int fired = 0;
  std::thread::id fired_on;
  rclcpp::TimerBase::SharedPtr timer;
  timer = node_->create_wall_timer(
    1ms, [&]() {
      fired_on = std::this_thread::get_id();
      if (++fired == 3) {
        timer->cancel();
      }
    });
  executor_.add_node(node_);
  EXPECT_TRUE(rclcpp_test::spin_until(executor_, [&fired]() {return fired == 3;}, 5s));
  EXPECT_EQ(fired_on, std::this_thread::get_id());
  EXPECT_TRUE(timer->is_canceled());
  executor_.spin_once(5ms);
  EXPECT_EQ(fired, 3);

  // A timer reset after cancel fires again; dropping the last handle stops it for good.
  timer->reset();
  EXPECT_TRUE(rclcpp_test::spin_until(executor_, [&fired]() {return fired == 4;}, 5s));
  EXPECT_THROW(node_->create_wall_timer(-1ms, []() {}), std::invalid_argument);
}

TEST_F(ExecutorTest, MutuallyExclusiveGroupNeverRunsConcurrently)
{
  auto exclusive = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> done{0};
  for (int i = 0; i < 20; ++i) {
    rclcpp::detail::post(
      exclusive, [&]() {
        if (inside.fetch_add(1) != 0) {
          ++overlaps;
        }
        std::this_thread::yield();
        inside.fetch_sub(1);
        ++done;
      });
  }
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node_);
  auto spinning = std::async(std::launch::async, [&executor]() {executor.spin();});
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (done.load() < 20 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  executor.cancel();
  EXPECT_TRUE(finishes_within(spinning, 5s));
  EXPECT_EQ(done.load(), 20);
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(executor.get_number_of_threads(), 4u);
}

}  // namespace
