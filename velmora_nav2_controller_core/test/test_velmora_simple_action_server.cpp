// The simple action server's goal slots and worker: preemption through the pending slot, the
// final status rules, the busy worker, cancel of a pending goal, shutdown with a goal running.
// A real action client on its own executor thread talks to the server on another.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmora_nav2_base_class/velmora_simple_action_server.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace
{
using Action = velmora_nav2_protocol::action::Controller;
using Server = nav2_util::VelmoraSimpleActionServer<Action>;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using namespace std::chrono_literals;

constexpr auto kDeadline = 5s;

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

// The execute callback under test control: each run records the goal it started with, then
// performs the script the test installed for it.
class ScriptedExecution
{
public:
  using Script = std::function<void(Server &)>;

  void setScript(Script script)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = std::move(script);
  }

  void run(Server & server)
  {
    Script script;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      script = script_;
      ++runs_;
    }
    changed_.notify_all();
    script(server);
  }

  bool waitForRuns(int runs)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kDeadline, [&] {return runs_ >= runs;});
  }

  // Blocks the calling execute callback until the test releases this hold (or the deadline).
  void hold()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const int hold = ++holds_;
    changed_.notify_all();
    changed_.wait_for(lock, kDeadline, [&] {return open_ || releases_ >= hold;});
  }
  // Waits until the callback has reached its `count`-th hold.
  bool waitForHold(int count)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kDeadline, [&] {return holds_ >= count;});
  }
  // Lets the callback go on from its latest hold.
  void release()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    releases_ = holds_;
    changed_.notify_all();
  }
  // No hold blocks any more, present or future.
  void open()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Script script_ = [](Server & server) {server.succeeded_current();};
  int runs_{0};
  int holds_{0};
  int releases_{0};
  bool open_{false};
};

class SimpleActionServerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    server_node_ = std::make_shared<rclcpp::Node>("simple_action_server_test");
    client_node_ = std::make_shared<rclcpp::Node>("simple_action_client_test");
    server_ = std::make_shared<Server>(
      server_node_, "control_to_goal", [this] {execution_.run(*server_);});
    client_ = rclcpp_action::create_client<Action>(client_node_, "control_to_goal");
    server_executor_.add_node(server_node_);
    client_executor_.add_node(client_node_);
    server_thread_ = std::thread([this] {server_executor_.spin();});
    client_thread_ = std::thread([this] {client_executor_.spin();});
    // cancel() before spin() has started would be lost and TearDown would wait forever.
    while (!server_executor_.is_spinning() || !client_executor_.is_spinning()) {
      std::this_thread::yield();
    }
  }

  void TearDown() override
  {
    execution_.open();
    server_.reset();
    server_executor_.cancel();
    client_executor_.cancel();
    server_thread_.join();
    client_thread_.join();
  }

  // Sends a goal and returns its handle once the server answered (nullptr when rejected).
  ClientGoalHandle::SharedPtr send(const std::string & controller_id)
  {
    Action::Goal goal;
    goal.controller_id = controller_id;
    auto options = rclcpp_action::Client<Action>::SendGoalOptions();
    auto future = client_->async_send_goal(goal, options);
    EXPECT_EQ(future.wait_for(kDeadline), std::future_status::ready);
    return future.get();
  }

  ResultCode resultOf(const ClientGoalHandle::SharedPtr & handle)
  {
    auto future = client_->async_get_result(handle);
    if (future.wait_for(kDeadline) != std::future_status::ready) {
      ADD_FAILURE() << "no result within the deadline";
      return ResultCode::UNKNOWN;
    }
    return future.get().code;
  }

  // The client hears "accepted" before the server has filed the goal in a slot; tests that need
  // the goal in the pending slot wait for it.
  void awaitPendingGoal()
  {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (!server_->is_preempt_requested()) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no goal reached the pending slot";
      std::this_thread::yield();
    }
  }

  void cancel(const ClientGoalHandle::SharedPtr & handle)
  {
    auto future = client_->async_cancel_goal(handle);
    ASSERT_EQ(future.wait_for(kDeadline), std::future_status::ready);
  }

  std::shared_ptr<rclcpp::Node> server_node_;
  std::shared_ptr<rclcpp::Node> client_node_;
  ScriptedExecution execution_;
  std::shared_ptr<Server> server_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  std::thread server_thread_;
  std::thread client_thread_;
};

TEST_F(SimpleActionServerTest, RejectsGoalsUntilActivated)
{
  EXPECT_FALSE(server_->is_server_active());
  EXPECT_EQ(send("a"), nullptr);
  server_->activate();
  EXPECT_TRUE(server_->is_server_active());
  auto handle = send("a");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(resultOf(handle), ResultCode::SUCCEEDED);
}

TEST_F(SimpleActionServerTest, NewerGoalsWaitInThePendingSlotAndTheLatestOneRuns)
{
  server_->activate();
  std::vector<std::string> started;
  execution_.setScript([&](Server & server) {
      auto goal = server.get_current_goal();
      started.push_back(goal->controller_id);
      if (goal->controller_id == "first") {
        execution_.hold();
        ASSERT_TRUE(server.is_preempt_requested());
        auto next = server.accept_pending_goal();
        ASSERT_NE(next, nullptr);
        started.push_back(next->controller_id);
        EXPECT_FALSE(server.is_preempt_requested());
      }
      server.succeeded_current();
    });

  auto first = send("first");
  ASSERT_TRUE(execution_.waitForHold(1));
  auto second = send("second");
  auto third = send("third");
  ASSERT_NE(second, nullptr);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(resultOf(second), ResultCode::ABORTED) << "a replaced pending goal is aborted";
  execution_.release();

  EXPECT_EQ(resultOf(first), ResultCode::ABORTED) << "a preempted goal is aborted";
  EXPECT_EQ(resultOf(third), ResultCode::SUCCEEDED);
  EXPECT_EQ(started, (std::vector<std::string>{"first", "third"}));
}

TEST_F(SimpleActionServerTest, PendingGoalLeftByTheCallbackRunsOnTheSameWorker)
{
  server_->activate();
  std::vector<std::string> started;
  execution_.setScript([&](Server & server) {
      auto goal = server.get_current_goal();
      started.push_back(goal->controller_id);
      if (goal->controller_id == "first") {
        execution_.hold();
        // Returns without ending its goal and without taking the pending one.
        return;
      }
      server.succeeded_current();
    });

  auto first = send("first");
  ASSERT_TRUE(execution_.waitForHold(1));
  auto second = send("second");
  awaitPendingGoal();
  execution_.release();
  EXPECT_EQ(resultOf(first), ResultCode::ABORTED)
    << "a goal the callback leaves active is aborted";
  EXPECT_EQ(resultOf(second), ResultCode::SUCCEEDED);
  EXPECT_EQ(started, (std::vector<std::string>{"first", "second"}));
}

TEST_F(SimpleActionServerTest, GoalArrivingWhileTheWorkerFinishesIsStillExecuted)
{
  server_->activate();
  int runs = 0;
  execution_.setScript([&](Server & server) {
      ++runs;
      server.succeeded_current();
      if (runs == 1) {
        // The goal has its status but the worker has not finished its pass yet.
        execution_.hold();
      }
    });
  auto first = send("first");
  ASSERT_TRUE(execution_.waitForHold(1));
  EXPECT_EQ(resultOf(first), ResultCode::SUCCEEDED);
  auto second = send("second");
  awaitPendingGoal();
  execution_.release();
  EXPECT_EQ(resultOf(second), ResultCode::SUCCEEDED);
  EXPECT_TRUE(execution_.waitForRuns(2));

  // And one arriving once the worker is idle again starts a new pass.
  auto third = send("third");
  EXPECT_EQ(resultOf(third), ResultCode::SUCCEEDED);
}

TEST_F(SimpleActionServerTest, CancelIsReportedForThePendingGoalWhileOneWaits)
{
  server_->activate();
  bool cancel_seen_before_pending = true;
  bool cancel_of_pending_seen = false;
  execution_.setScript([&](Server & server) {
      execution_.hold();
      // The current goal is being cancelled, but a pending goal hides that.
      cancel_seen_before_pending = server.is_cancel_requested();
      execution_.hold();
      cancel_of_pending_seen = server.is_cancel_requested();
      server.terminate_all();
    });

  auto first = send("first");
  ASSERT_TRUE(execution_.waitForHold(1));
  auto second = send("second");
  awaitPendingGoal();
  cancel(first);
  execution_.release();
  ASSERT_TRUE(execution_.waitForHold(2));
  cancel(second);
  execution_.release();

  EXPECT_EQ(resultOf(first), ResultCode::CANCELED);
  EXPECT_EQ(resultOf(second), ResultCode::CANCELED);
  EXPECT_FALSE(cancel_seen_before_pending);
  EXPECT_TRUE(cancel_of_pending_seen);
}

TEST_F(SimpleActionServerTest, TerminateGivesCanceledWhenCancellingAndAbortedOtherwise)
{
  server_->activate();
  execution_.setScript([&](Server & server) {
      execution_.hold();
      server.terminate_all();
    });
  auto cancelled = send("cancelled");
  ASSERT_TRUE(execution_.waitForHold(1));
  auto waiting = send("waiting");
  awaitPendingGoal();
  cancel(cancelled);
  execution_.release();
  EXPECT_EQ(resultOf(cancelled), ResultCode::CANCELED);
  EXPECT_EQ(resultOf(waiting), ResultCode::ABORTED);
}

TEST_F(SimpleActionServerTest, ExceptionInTheCallbackEndsBothGoals)
{
  server_->activate();
  execution_.setScript([&](Server &) {
      execution_.hold();
      throw std::runtime_error("controller exploded");
    });
  auto first = send("first");
  ASSERT_TRUE(execution_.waitForHold(1));
  auto second = send("second");
  awaitPendingGoal();
  execution_.release();
  EXPECT_EQ(resultOf(first), ResultCode::ABORTED);
  EXPECT_EQ(resultOf(second), ResultCode::ABORTED);
}

TEST_F(SimpleActionServerTest, EmptySlotsAnswerEmptyOrFalse)
{
  EXPECT_EQ(server_->get_current_goal(), nullptr);
  EXPECT_EQ(server_->accept_pending_goal(), nullptr);
  EXPECT_FALSE(server_->is_cancel_requested());
  EXPECT_FALSE(server_->is_preempt_requested());
  server_->publish_feedback(std::make_shared<Action::Feedback>());
}

TEST_F(SimpleActionServerTest, FeedbackReachesTheClientWithRunningSet)
{
  server_->activate();
  execution_.setScript([&](Server & server) {
      auto feedback = std::make_shared<Action::Feedback>();
      feedback->running = true;
      server.publish_feedback(feedback);
      execution_.hold();
      server.succeeded_current();
    });
  std::promise<bool> received;
  auto options = rclcpp_action::Client<Action>::SendGoalOptions();
  options.feedback_callback =
    [&received](ClientGoalHandle::SharedPtr, const std::shared_ptr<const Action::Feedback> f) {
      received.set_value(f->running);
    };
  auto future = client_->async_send_goal(Action::Goal(), options);
  ASSERT_EQ(future.wait_for(kDeadline), std::future_status::ready);
  auto running = received.get_future();
  ASSERT_EQ(running.wait_for(kDeadline), std::future_status::ready);
  EXPECT_TRUE(running.get());
  ASSERT_TRUE(execution_.waitForHold(1));
  execution_.release();
  EXPECT_EQ(resultOf(future.get()), ResultCode::SUCCEEDED);
}

TEST_F(SimpleActionServerTest, ShutdownWithAGoalRunningEndsItAndJoins)
{
  server_->activate();
  execution_.setScript([&](Server & server) {
      // A control loop: runs until the server says it is no longer active.
      while (server.is_server_active()) {
        std::this_thread::sleep_for(1ms);
      }
      server.terminate_current();
    });
  auto handle = send("long");
  ASSERT_TRUE(execution_.waitForRuns(1));
  server_->shutdown();
  EXPECT_EQ(resultOf(handle), ResultCode::ABORTED);
  EXPECT_EQ(send("late"), nullptr) << "no goal is accepted after shutdown";
}

}  // namespace
