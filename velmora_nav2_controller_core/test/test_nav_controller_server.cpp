// The controller server end to end on the node: lifecycle, goal acceptance, and every way the
// control loop ends a goal (status, log line, stop), with scripted controllers registered under
// test names and a recording robot link on the communicator.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "controller/nav_controller_server.hpp"
#include "controller_base_fixture.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_core/exceptions.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmora/testing/log_capture.hpp"

namespace
{

using namespace std::chrono_literals;
using controller_base_test::kDeadline;
using controller_base_test::TestMap;
using velmora_communicator::CallKind;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using State = lifecycle_msgs::msg::State;

// A controller whose answers the test sets; it records when each of its operations ran.
class FakeController : public controller::NavControllerBase
{
public:
  using NavControllerBase::NavControllerBase;

  std::atomic<bool> accept_plan{true};
  std::atomic<bool> compute_succeeds{true};
  // Reports the goal reached in this cycle of the goal (1 = first); 0 never.
  std::atomic<int> reached_in_cycle{0};
  std::atomic<int> throw_in_set_plan{0};  // 0 no, 1 a runtime error, 2 a planner exception

  bool setPlan(std::shared_ptr<const Goal> goal) override
  {
    record("setPlan " + goal->controller_id);
    cycles_ = 0;
    if (throw_in_set_plan == 1) {
      throw std::runtime_error("plan unreadable");
    }
    if (throw_in_set_plan == 2) {
      throw nav2_core::PlannerException("no way through");
    }
    return accept_plan;
  }

  bool computeVelocity() override
  {
    record("computeVelocity");
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cycle_times_.push_back(std::chrono::steady_clock::now());
    }
    cmd_vel_.linear.x = 0.1;
    return compute_succeeds;
  }

  bool isGoalReached() override
  {
    ++cycles_;
    return reached_in_cycle > 0 && cycles_ >= reached_in_cycle;
  }

  std::vector<std::string> events() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<std::chrono::steady_clock::time_point> cycleTimes() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return cycle_times_;
  }
  int cycles() const {return cycles_;}

private:
  void record(const std::string & event)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }

  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<std::chrono::steady_clock::time_point> cycle_times_;
  std::atomic<int> cycles_{0};
};

class ControlLoopTest : public controller_base_test::ControllerBaseTest
{
protected:
  void SetUp() override
  {
    ControllerBaseTest::SetUp();
    placeRobot(1.0, 1.0, 0.0);
    log_ = std::make_unique<velmora::testing::LogCapture>();
    server_ = std::make_shared<controller::NavControllerServer>(grid_map_, rclcpp::NodeOptions());
    ASSERT_EQ(server_->configure().id(), State::PRIMARY_STATE_INACTIVE);
    fake_a_ = std::make_shared<FakeController>(server_, grid_map_);
    fake_b_ = std::make_shared<FakeController>(server_, grid_map_);
    server_->registerController("fake_a", fake_a_);
    server_->registerController("fake_b", fake_b_);

    client_node_ = std::make_shared<rclcpp::Node>("control_loop_test_client");
    client_ = rclcpp_action::create_client<Action>(client_node_, "control_to_goal");
    server_executor_.add_node(server_->get_node_base_interface());
    client_executor_.add_node(client_node_);
    server_thread_ = std::thread([this] {server_executor_.spin();});
    client_thread_ = std::thread([this] {client_executor_.spin();});
    while (!server_executor_.is_spinning() || !client_executor_.is_spinning()) {
      std::this_thread::yield();
    }
  }

  void TearDown() override
  {
    server_executor_.cancel();
    client_executor_.cancel();
    server_thread_.join();
    client_thread_.join();
    fake_a_.reset();
    fake_b_.reset();
    server_.reset();
    log_.reset();
    ControllerBaseTest::TearDown();
  }

  void activate() {ASSERT_EQ(server_->activate().id(), State::PRIMARY_STATE_ACTIVE);}

  static Action::Goal goal(const std::string & controller_id, int frequency = 50)
  {
    Action::Goal goal;
    goal.controller_id = controller_id;
    goal.controller_frequency = frequency;
    return goal;
  }

  // Sends a goal; nullptr when the server rejected it (or never answered).
  ClientGoalHandle::SharedPtr send(const Action::Goal & goal)
  {
    auto options = rclcpp_action::Client<Action>::SendGoalOptions();
    options.feedback_callback =
      [this](ClientGoalHandle::SharedPtr, const std::shared_ptr<const Action::Feedback> f) {
        std::lock_guard<std::mutex> lock(feedback_mutex_);
        feedback_.push_back(f->running);
      };
    auto future = client_->async_send_goal(goal, options);
    if (future.wait_for(kDeadline) != std::future_status::ready) {
      return nullptr;
    }
    return future.get();
  }

  using ResultFuture = std::shared_future<ClientGoalHandle::WrappedResult>;

  // Asks for the result now, so that it arrives even if the server is gone by the time it ends.
  ResultFuture requestResult(const ClientGoalHandle::SharedPtr & handle)
  {
    return client_->async_get_result(handle);
  }

  ResultCode resultOf(const ClientGoalHandle::SharedPtr & handle)
  {
    if (!handle) {
      ADD_FAILURE() << "the goal was not accepted";
      return ResultCode::UNKNOWN;
    }
    return codeOf(requestResult(handle));
  }

  static ResultCode codeOf(const ResultFuture & future)
  {
    if (future.wait_for(kDeadline) != std::future_status::ready) {
      ADD_FAILURE() << "no result within the deadline";
      return ResultCode::UNKNOWN;
    }
    return future.get().code;
  }

  ResultCode run(const Action::Goal & goal) {return resultOf(send(goal));}

  // Waits until the controller has run `cycles` velocity cycles of its current goal.
  static bool awaitCycles(const FakeController & controller, int cycles)
  {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (controller.cycles() < cycles) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::size_t zeroVelocities() const {return link_->count(CallKind::zero_velocity);}

  // A cancelled goal gets its status before the robot is stopped, so the client may hear of it
  // first.
  std::size_t zeroVelocitiesOnceStopped(std::size_t expected) const
  {
    link_->waitForCount(CallKind::zero_velocity, expected, kDeadline);
    return zeroVelocities();
  }

  std::size_t logged(const std::string & fragment) const
  {
    return log_->linesContaining(fragment).size();
  }

  std::vector<bool> feedback()
  {
    std::lock_guard<std::mutex> lock(feedback_mutex_);
    return feedback_;
  }

  std::unique_ptr<velmora::testing::LogCapture> log_;
  std::shared_ptr<controller::NavControllerServer> server_;
  std::shared_ptr<FakeController> fake_a_;
  std::shared_ptr<FakeController> fake_b_;
  rclcpp::Node::SharedPtr client_node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor server_executor_;
  rclcpp::executors::SingleThreadedExecutor client_executor_;
  std::thread server_thread_;
  std::thread client_thread_;
  std::mutex feedback_mutex_;
  std::vector<bool> feedback_;
};

TEST_F(ControlLoopTest, GoalsAreRejectedUntilActivationAndStillServedAfterDeactivation)
{
  EXPECT_EQ(send(goal("fake_a")), nullptr);
  activate();
  fake_a_->reached_in_cycle = 1;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
  ASSERT_EQ(server_->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
}

TEST_F(ControlLoopTest, ReachedGoalSucceedsWithOneStopAndFeedbackOnlyForUnfinishedCycles)
{
  activate();
  fake_a_->reached_in_cycle = 1;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
  EXPECT_TRUE(feedback().empty()) << "a goal reached in its first cycle gets no feedback";
  EXPECT_EQ(zeroVelocities(), 1u);
  EXPECT_EQ(logged("fake_a isGoalReached"), 1u);

  fake_a_->reached_in_cycle = 4;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
  const auto received = feedback();
  EXPECT_EQ(received.size(), 3u);
  EXPECT_TRUE(std::all_of(received.begin(), received.end(), [](bool running) {return running;}));
  EXPECT_EQ(zeroVelocities(), 2u);
}

TEST_F(ControlLoopTest, RefusedPlanIsAbortedAfterOneStop)
{
  activate();
  fake_a_->accept_plan = false;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocities(), 1u);
  EXPECT_EQ(link_->count(CallKind::velocity), 0u);
  const auto lines = log_->linesContaining("setPlan");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("[INFO] start setPlan!"), std::string::npos);
  EXPECT_NE(lines[1].find("[INFO] finish setPlan!"), std::string::npos);
  EXPECT_NE(lines[2].find("NavControllerServer::computeControl::setPlan failed"),
    std::string::npos);
}

TEST_F(ControlLoopTest, FailedVelocityCycleIsAbortedWithAStopAndAWarning)
{
  activate();
  fake_a_->compute_succeeds = false;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocities(), 1u);
  EXPECT_EQ(link_->count(CallKind::velocity), 0u);
  const auto warnings = log_->linesContaining("fake_a failed!!!! error code is");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("[WARN]"), std::string::npos);
}

TEST_F(ControlLoopTest, CancelEndsTheGoalCanceledAndStopsTheRobot)
{
  activate();
  auto handle = send(goal("fake_a"));
  ASSERT_TRUE(awaitCycles(*fake_a_, 2));
  auto cancel = client_->async_cancel_goal(handle);
  ASSERT_EQ(cancel.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(resultOf(handle), ResultCode::CANCELED);
  EXPECT_EQ(zeroVelocitiesOnceStopped(1), 1u);
  EXPECT_EQ(logged("Goal was canceled. Stopping the robot."), 1u);
}

TEST_F(ControlLoopTest, CancelOfThePendingGoalEndsBothGoals)
{
  activate();
  // A low rate keeps the first goal between two cycles while the second arrives and is
  // cancelled, so the loop sees both requests at its next check.
  auto running = send(goal("fake_a", 1));
  ASSERT_TRUE(awaitCycles(*fake_a_, 1));
  auto pending = send(goal("fake_b"));
  auto cancel = client_->async_cancel_goal(pending);
  ASSERT_EQ(cancel.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(resultOf(pending), ResultCode::CANCELED);
  EXPECT_EQ(resultOf(running), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocitiesOnceStopped(1), 1u);
  EXPECT_TRUE(fake_b_->events().empty()) << "the cancelled goal never reached its controller";
}

TEST_F(ControlLoopTest, PreemptionSwitchesControllersWithinOneCycleWithoutAStop)
{
  activate();
  fake_b_->reached_in_cycle = 3;
  auto first = send(goal("fake_a"));
  ASSERT_TRUE(awaitCycles(*fake_a_, 2));
  auto second = send(goal("fake_b"));
  EXPECT_EQ(resultOf(first), ResultCode::ABORTED);
  EXPECT_EQ(resultOf(second), ResultCode::SUCCEEDED);

  // Only the end of the second goal stopped the robot.
  EXPECT_EQ(zeroVelocities(), 1u);
  const auto calls = link_->calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().kind, CallKind::zero_velocity);
  const auto b_events = fake_b_->events();
  ASSERT_GE(b_events.size(), 2u);
  EXPECT_EQ(b_events[0], "setPlan fake_b");
  EXPECT_EQ(b_events[1], "computeVelocity") << "the new controller runs in the same cycle";
  EXPECT_EQ(logged("current_controller is fake_b"), 0u) << "no log on preemption";
}

TEST_F(ControlLoopTest, CurrentControllerIsLoggedOnlyWhenTheNameChangesAtGoalStart)
{
  activate();
  fake_a_->reached_in_cycle = 1;
  fake_b_->reached_in_cycle = 1;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
  EXPECT_EQ(run(goal("fake_a")), ResultCode::SUCCEEDED);
  EXPECT_EQ(run(goal("fake_b")), ResultCode::SUCCEEDED);
  EXPECT_EQ(logged("current_controller is fake_a"), 1u);
  EXPECT_EQ(logged("current_controller is fake_b"), 1u);
}

TEST_F(ControlLoopTest, UnusableGoalsAreAbortedWithAZeroVelocity)
{
  activate();
  EXPECT_EQ(run(goal("")), ResultCode::ABORTED) << "a default goal names no controller";
  EXPECT_EQ(run(goal("warp_drive")), ResultCode::ABORTED);
  EXPECT_EQ(logged("No controller named \"warp_drive\""), 1u);
  EXPECT_EQ(run(goal("fake_a", 0)), ResultCode::ABORTED);
  EXPECT_EQ(run(goal("fake_a", -5)), ResultCode::ABORTED);
  EXPECT_EQ(logged("controller_frequency -5 is not a usable rate"), 1u);
  EXPECT_EQ(zeroVelocities(), 4u);
  EXPECT_TRUE(fake_a_->events().empty()) << "no plan is handed over for an unusable goal";
}

TEST_F(ControlLoopTest, ExceptionsEndTheGoalAndAreLoggedAtMostEveryTwoSeconds)
{
  activate();
  fake_a_->throw_in_set_plan = 1;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  fake_a_->throw_in_set_plan = 2;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocities(), 2u);
  EXPECT_EQ(logged("Exception: "), 0u) << "configuration counts as the last log";
  // The end line follows the status the client already saw.
  ASSERT_TRUE(log_->waitForLine("[nav2_core::PlannerException] terminate_current end", kDeadline));
  EXPECT_EQ(logged("[nav2_core::PlannerException] terminate_current start"), 1u);

  // The limit is a span of time, so the test has to let it pass.
  std::this_thread::sleep_for(2100ms);
  fake_a_->throw_in_set_plan = 1;
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  EXPECT_EQ(run(goal("fake_a")), ResultCode::ABORTED);
  EXPECT_EQ(logged("Exception: plan unreadable"), 1u);
  EXPECT_EQ(zeroVelocities(), 4u);
}

TEST_F(ControlLoopTest, CyclesFollowTheGoalFrequency)
{
  activate();
  fake_a_->reached_in_cycle = 6;
  EXPECT_EQ(run(goal("fake_a", 10)), ResultCode::SUCCEEDED);
  const auto times = fake_a_->cycleTimes();
  ASSERT_EQ(times.size(), 6u);
  const auto span = times.back() - times.front();
  EXPECT_GE(span, 500ms - 5ms) << "five periods of 100 ms";
  EXPECT_LT(span, 1000ms);
}

TEST_F(ControlLoopTest, CleanupWithAGoalRunningAbortsItStopsTheRobotAndWithdrawsTheAction)
{
  activate();
  auto handle = send(goal("fake_a"));
  auto result = requestResult(handle);
  ASSERT_TRUE(awaitCycles(*fake_a_, 2));
  // The transitions run on the executor thread in a real host; here the test thread takes them.
  EXPECT_EQ(server_->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(server_->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(codeOf(result), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocities(), 1u);
  EXPECT_FALSE(client_->action_server_is_ready());

  // The parameters of the first configuration are still declared.
  EXPECT_NE(server_->configure().id(), State::PRIMARY_STATE_INACTIVE);
}

TEST_F(ControlLoopTest, DestructionWithAGoalRunningEndsItWithoutHanging)
{
  activate();
  auto handle = send(goal("fake_a"));
  auto result = requestResult(handle);
  ASSERT_TRUE(awaitCycles(*fake_a_, 2));
  server_executor_.cancel();
  server_thread_.join();
  server_thread_ = std::thread([] {});
  fake_a_.reset();
  fake_b_.reset();
  server_.reset();
  EXPECT_EQ(codeOf(result), ResultCode::ABORTED);
  EXPECT_EQ(zeroVelocities(), 1u);
}

using controller_base_test::ControllerBaseTest;

// The five controllers are created in the registry's order (teb, dwb, pid, straight-only pid,
// lateral move): when the DWB controller refuses its parameters, the TEB controller has declared
// its own and the lateral move controller has not been created yet.
TEST_F(ControllerBaseTest, ServerCreatesTheControllersInTheRegistryOrder)
{
  rclcpp::NodeOptions options;
  options.parameter_overrides(
    {rclcpp::Parameter("DwbPlanning.backward.min_vel_x", std::string("fast"))});
  auto server = std::make_shared<controller::NavControllerServer>(grid_map_, options);
  EXPECT_NE(server->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_TRUE(server->has_parameter("TebPlanning.max_vel_x"));
  EXPECT_FALSE(server->has_parameter("vel_judge"));
}

}  // namespace
