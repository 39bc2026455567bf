// Action servers and clients on two nodes, each spun by its own executor thread: goal outcomes,
// cancellation, preemption, refusals, missing servers, result lifetime, the goal state machine
// and the threads callbacks run on.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "rclcpp/detail/node_work_queue.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"

namespace
{

using namespace std::chrono_literals;
using Controller = velmora_nav2_protocol::action::Controller;
using ServerHandle = rclcpp_action::ServerGoalHandle<Controller>;
using ClientHandle = rclcpp_action::ClientGoalHandle<Controller>;
using Client = rclcpp_action::Client<Controller>;
using WrappedResult = ClientHandle::WrappedResult;
using CancelResponse = action_msgs::srv::CancelGoal::Response;
using action_msgs::msg::GoalStatus;
using rclcpp_action::ResultCode;

constexpr auto kDeadline = 5s;

// Polls until `condition` holds or the deadline passes: for state that changes on another
// thread without a notification the test could wait on.
template<typename Condition>
bool eventually(Condition condition)
{
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

template<typename T>
T await(const std::shared_future<T> & future)
{
  if (future.wait_for(kDeadline) != std::future_status::ready) {
    throw std::runtime_error("future not completed before the deadline");
  }
  return future.get();
}

// One node spun by a SingleThreadedExecutor on its own thread.
class SpinThread
{
public:
  void start(const rclcpp::Node::SharedPtr & node)
  {
    node_ = node;
    executor_.add_node(node);
    thread_ = std::thread([this]() {executor_.spin();});
  }

  void stop()
  {
    // Cancelling from inside the spin makes sure the executor was spinning when it is asked to stop.
    rclcpp::detail::post(node_->get_node_base_interface(), [this]() {executor_.cancel();});
    thread_.join();
  }

  std::thread::id id() const
  {
    return thread_.get_id();
  }

private:
  rclcpp::Node::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread thread_;
};

// The threads a set of callbacks ran on.
class ThreadLog
{
public:
  void note()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.insert(std::this_thread::get_id());
  }

  std::set<std::thread::id> ids() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_;
  }

private:
  mutable std::mutex mutex_;
  std::set<std::thread::id> ids_;
};

// Returns once everything queued on the node so far has run, so no callback that refers to a
// probe about to be destroyed is still running or waiting.
void drain(const rclcpp::Node::SharedPtr & node)
{
  auto done = std::make_shared<std::promise<void>>();
  rclcpp::detail::post(node->get_node_base_interface(), [done]() {done->set_value();});
  if (done->get_future().wait_for(kDeadline) != std::future_status::ready) {
    ADD_FAILURE() << "node work queue not drained before the deadline";
  }
}

Controller::Result::SharedPtr result(bool value)
{
  auto message = std::make_shared<Controller::Result>();
  message->result = value;
  return message;
}

// A test server whose behaviour is chosen by the goal's controller_id: "reject" is refused,
// "defer" accepted without executing, "drop" accepted and its handle let go at once,
// "stubborn" refuses to be canceled, "preempting" aborts every goal still running; anything else
// is accepted and executed. Handles of accepted goals are kept for the test to drive.
class ServerProbe
{
public:
  ServerProbe(
    const rclcpp::Node::SharedPtr & node, const std::string & name,
    const rcl_action_server_options_t & options = rcl_action_server_get_default_options())
  : node_(node)
  {
    server_ = rclcpp_action::create_server<Controller>(
      node, name,
      [this](const rclcpp_action::GoalUUID &, std::shared_ptr<const Controller::Goal> goal) {
        threads.note();
        if (goal->controller_id == "reject") {
          return rclcpp_action::GoalResponse::REJECT;
        }
        return goal->controller_id == "defer" ? rclcpp_action::GoalResponse::ACCEPT_AND_DEFER :
        rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [this](std::shared_ptr<ServerHandle> handle) {
        threads.note();
        return handle->get_goal()->controller_id == "stubborn" ? rclcpp_action::CancelResponse::REJECT :
        rclcpp_action::CancelResponse::ACCEPT;
      },
      [this](std::shared_ptr<ServerHandle> handle) {
        threads.note();
        const std::string & id = handle->get_goal()->controller_id;
        std::lock_guard<std::mutex> lock(mutex_);
        executing_when_accepted_.push_back(handle->is_executing());
        if (id == "preempting") {
          for (const auto & running : handles_) {
            if (running->is_active()) {
              running->abort(result(false));
            }
          }
        }
        if (id != "drop") {
          handles_.push_back(handle);
        }
        ++accepted_;
      },
      options);
  }

  // The index-th kept handle, once the server has accepted that goal.
  std::shared_ptr<ServerHandle> handle(size_t index)
  {
    std::shared_ptr<ServerHandle> found;
    eventually(
      [&]() {
        std::lock_guard<std::mutex> lock(mutex_);
        found = index < handles_.size() ? handles_[index] : nullptr;
        return found != nullptr;
      });
    if (!found) {
      throw std::runtime_error("goal not accepted before the deadline");
    }
    return found;
  }

  bool executingWhenAccepted(size_t index) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return executing_when_accepted_.at(index);
  }

  size_t accepted() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
  }

  ~ServerProbe()
  {
    destroyServer();
  }

  void destroyServer()
  {
    server_.reset();
    drain(node_);
  }

  ThreadLog threads;

private:
  const rclcpp::Node::SharedPtr node_;
  rclcpp_action::Server<Controller>::SharedPtr server_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<ServerHandle>> handles_;
  std::vector<bool> executing_when_accepted_;
  size_t accepted_{0};
};

// A client that records what its callbacks receive.
class ClientProbe
{
public:
  ClientProbe(const rclcpp::Node::SharedPtr & node, const std::string & name)
  : client(rclcpp_action::create_client<Controller>(node, name)), node_(node)
  {}

  ~ClientProbe()
  {
    client.reset();
    drain(node_);
  }

  std::shared_future<ClientHandle::SharedPtr> send(const std::string & controller_id, bool want_result = true)
  {
    Client::SendGoalOptions options;
    options.goal_response_callback = [this](ClientHandle::SharedPtr handle) {
        threads.note();
        std::lock_guard<std::mutex> lock(mutex_);
        responses_.push_back(handle != nullptr);
      };
    options.feedback_callback = [this](ClientHandle::SharedPtr, std::shared_ptr<const Controller::Feedback> feedback) {
        threads.note();
        std::lock_guard<std::mutex> lock(mutex_);
        feedback_.push_back(feedback->running);
      };
    if (want_result) {
      options.result_callback = [this](const WrappedResult & wrapped) {
          threads.note();
          std::lock_guard<std::mutex> lock(mutex_);
          results_.push_back(wrapped);
        };
    }
    Controller::Goal goal;
    goal.controller_id = controller_id;
    goal.controller_frequency = 20;
    return client->async_send_goal(goal, options);
  }

  ClientHandle::SharedPtr accepted(const std::string & controller_id, bool want_result = true)
  {
    auto handle = await(send(controller_id, want_result));
    if (!handle) {
      throw std::runtime_error("goal " + controller_id + " was rejected");
    }
    return handle;
  }

  // The result callback's argument for the goal, once it came.
  WrappedResult resultOf(const ClientHandle::SharedPtr & handle)
  {
    WrappedResult found{};
    const bool arrived = eventually(
      [&]() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto & wrapped : results_) {
          if (wrapped.goal_id == handle->get_goal_id()) {
            found = wrapped;
            return true;
          }
        }
        return false;
      });
    if (!arrived) {
      throw std::runtime_error("no result before the deadline");
    }
    return found;
  }

  std::vector<bool> responses() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return responses_;
  }

  std::vector<bool> feedback() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return feedback_;
  }

  Client::SharedPtr client;
  ThreadLog threads;

private:
  const rclcpp::Node::SharedPtr node_;
  mutable std::mutex mutex_;
  std::vector<bool> responses_;
  std::vector<bool> feedback_;
  std::vector<WrappedResult> results_;
};

CancelResponse::SharedPtr cancel(const Client::SharedPtr & client, const ClientHandle::SharedPtr & handle)
{
  return await(client->async_cancel_goal(handle));
}

std::vector<rclcpp_action::GoalUUID> canceling(const CancelResponse & response)
{
  std::vector<rclcpp_action::GoalUUID> ids;
  for (const auto & info : response.goals_canceling) {
    ids.push_back(info.goal_id.uuid);
  }
  return ids;
}

class ActionTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    rclcpp::init(0, nullptr);
  }

  static void TearDownTestSuite()
  {
    rclcpp::shutdown();
  }

  void SetUp() override
  {
    server_node_ = std::make_shared<rclcpp::Node>("action_server_node", "/robot");
    client_node_ = std::make_shared<rclcpp::Node>("action_client_node", "/robot");
    server_thread_.start(server_node_);
    client_thread_.start(client_node_);
  }

  void TearDown() override
  {
    client_thread_.stop();
    server_thread_.stop();
  }

  std::set<std::thread::id> serverThread() const
  {
    return {server_thread_.id()};
  }

  std::set<std::thread::id> clientThread() const
  {
    return {client_thread_.id()};
  }

  rclcpp::Node::SharedPtr server_node_;
  rclcpp::Node::SharedPtr client_node_;
  SpinThread server_thread_;
  SpinThread client_thread_;
};

TEST_F(ActionTest, GoalSucceedsWithFeedbackAndEachSideRunsOnItsOwnExecutor)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "/robot/follow_path");
  ASSERT_TRUE(client.client->wait_for_action_server(kDeadline));
  EXPECT_TRUE(client.client->action_server_is_ready());

  auto handle = client.accepted("dwb");
  auto served = server.handle(0);
  EXPECT_EQ(served->get_goal_id(), handle->get_goal_id());
  EXPECT_EQ("dwb", served->get_goal()->controller_id);
  EXPECT_EQ(20, served->get_goal()->controller_frequency);
  EXPECT_TRUE(server.executingWhenAccepted(0)) << "ACCEPT_AND_EXECUTE executes before handle_accepted";
  EXPECT_GT(handle->get_goal_stamp().nanoseconds(), 0);
  EXPECT_TRUE(eventually([&]() {return handle->get_status() == GoalStatus::STATUS_EXECUTING;}));
  EXPECT_TRUE(handle->is_feedback_aware());
  EXPECT_TRUE(handle->is_result_aware());

  auto feedback = std::make_shared<Controller::Feedback>();
  feedback->running = true;
  served->publish_feedback(feedback);
  feedback->running = false;
  served->publish_feedback(feedback);
  EXPECT_TRUE(eventually([&]() {return client.feedback().size() == 2;}));
  EXPECT_EQ((std::vector<bool>{true, false}), client.feedback());

  served->succeed(result(true));
  const WrappedResult wrapped = client.resultOf(handle);
  EXPECT_EQ(ResultCode::SUCCEEDED, wrapped.code);
  EXPECT_EQ(4, static_cast<int>(wrapped.code));
  ASSERT_NE(nullptr, wrapped.result);
  EXPECT_TRUE(wrapped.result->result);
  EXPECT_EQ(GoalStatus::STATUS_SUCCEEDED, handle->get_status());
  EXPECT_FALSE(served->is_active());

  EXPECT_EQ(serverThread(), server.threads.ids());
  EXPECT_EQ(clientThread(), client.threads.ids());
}

TEST_F(ActionTest, AcceptedCancelEndsCanceledAndRefusedCancelLeavesTheGoalRunning)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");

  auto handle = client.accepted("dwb");
  auto served = server.handle(0);
  std::promise<std::thread::id> cancel_callback_thread;
  const auto response = await(
    client.client->async_cancel_goal(
      handle, [&](CancelResponse::SharedPtr) {cancel_callback_thread.set_value(std::this_thread::get_id());}));
  EXPECT_EQ(CancelResponse::ERROR_NONE, response->return_code);
  EXPECT_EQ(std::vector<rclcpp_action::GoalUUID>{handle->get_goal_id()}, canceling(*response));
  EXPECT_EQ(client_thread_.id(), cancel_callback_thread.get_future().get());
  EXPECT_TRUE(served->is_canceling());
  EXPECT_TRUE(eventually([&]() {return handle->get_status() == GoalStatus::STATUS_CANCELING;}));
  served->canceled(result(false));
  EXPECT_EQ(ResultCode::CANCELED, client.resultOf(handle).code);
  EXPECT_EQ(5, handle->get_status());

  auto stubborn = client.accepted("stubborn");
  auto served_stubborn = server.handle(1);
  const auto refused = cancel(client.client, stubborn);
  EXPECT_EQ(CancelResponse::ERROR_REJECTED, refused->return_code);
  EXPECT_TRUE(refused->goals_canceling.empty());
  EXPECT_TRUE(served_stubborn->is_executing());
  served_stubborn->succeed(result(true));
  EXPECT_EQ(ResultCode::SUCCEEDED, client.resultOf(stubborn).code);

  EXPECT_EQ(serverThread(), server.threads.ids());
  EXPECT_EQ(clientThread(), client.threads.ids());
}

TEST_F(ActionTest, CancelRequestsNameGoalsByIdOrByStamp)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");
  ClientProbe other(client_node_, "follow_path");

  auto finished = client.accepted("dwb", false);
  server.handle(0)->succeed(result(true));
  ASSERT_TRUE(eventually([&]() {return finished->get_status() == GoalStatus::STATUS_SUCCEEDED;}));
  EXPECT_FALSE(finished->is_result_aware());
  EXPECT_EQ(CancelResponse::ERROR_GOAL_TERMINATED, cancel(client.client, finished)->return_code);
  EXPECT_THROW(other.client->async_cancel_goal(finished), rclcpp_action::exceptions::UnknownGoalHandleError);

  auto first = client.accepted("dwb");
  auto second = client.accepted("dwb");
  ASSERT_LT(first->get_goal_stamp(), second->get_goal_stamp());
  const auto before = await(client.client->async_cancel_goals_before(first->get_goal_stamp()));
  EXPECT_EQ(CancelResponse::ERROR_NONE, before->return_code);
  EXPECT_EQ(std::vector<rclcpp_action::GoalUUID>{first->get_goal_id()}, canceling(*before));
  const auto all = await(client.client->async_cancel_all_goals());
  EXPECT_EQ(std::vector<rclcpp_action::GoalUUID>{second->get_goal_id()}, canceling(*all))
    << "the first goal is canceling already";
  server.handle(1)->canceled(result(false));
  server.handle(2)->canceled(result(false));
  EXPECT_EQ(ResultCode::CANCELED, client.resultOf(first).code);
  EXPECT_EQ(ResultCode::CANCELED, client.resultOf(second).code);
  EXPECT_EQ(CancelResponse::ERROR_REJECTED, await(client.client->async_cancel_all_goals())->return_code)
    << "nothing left to cancel";
}

TEST_F(ActionTest, PreemptingGoalAbortsTheRunningOne)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe first_client(client_node_, "follow_path");
  ClientProbe second_client(client_node_, "follow_path");

  auto first = first_client.accepted("dwb");
  server.handle(0);
  auto second = second_client.accepted("preempting");
  const WrappedResult aborted = first_client.resultOf(first);
  EXPECT_EQ(ResultCode::ABORTED, aborted.code);
  EXPECT_EQ(6, static_cast<int>(aborted.code));
  EXPECT_FALSE(aborted.result->result);
  EXPECT_EQ(GoalStatus::STATUS_ABORTED, first->get_status());

  server.handle(1)->succeed(result(true));
  EXPECT_EQ(ResultCode::SUCCEEDED, second_client.resultOf(second).code);
}

TEST_F(ActionTest, RejectedGoalAndGoalToMissingServerAreReportedAsRejected)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");
  EXPECT_EQ(nullptr, await(client.send("reject")));
  // The future completes just before the goal response callback runs.
  EXPECT_TRUE(eventually([&]() {return client.responses() == std::vector<bool>{false};}));
  EXPECT_EQ(0u, server.accepted());

  ClientProbe lonely(client_node_, "nobody_serves_this");
  EXPECT_FALSE(lonely.client->action_server_is_ready());
  EXPECT_FALSE(lonely.client->wait_for_action_server(20ms));
  EXPECT_EQ(nullptr, await(lonely.send("dwb")));
  EXPECT_TRUE(eventually([&]() {return lonely.responses() == std::vector<bool>{false};}));
  EXPECT_EQ(clientThread(), lonely.threads.ids());

  ClientProbe namespaced(client_node_, "/elsewhere/follow_path");
  EXPECT_FALSE(namespaced.client->action_server_is_ready()) << "names resolve within the namespace";
}

TEST_F(ActionTest, WaitForActionServerReturnsWhenTheServerAppears)
{
  ClientProbe client(client_node_, "late_server");
  std::unique_ptr<ServerProbe> server;
  std::thread creator([&]() {server = std::make_unique<ServerProbe>(server_node_, "late_server");});
  EXPECT_TRUE(client.client->wait_for_action_server(kDeadline));
  creator.join();
  EXPECT_TRUE(client.client->action_server_is_ready());
  server.reset();
  EXPECT_FALSE(client.client->action_server_is_ready());
}

TEST_F(ActionTest, ServerDestroyedWhileAGoalRunsAnswersTheResultAsUnknown)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");
  auto handle = client.accepted("dwb");
  auto served = server.handle(0);
  ASSERT_TRUE(eventually([&]() {return handle->get_status() == GoalStatus::STATUS_EXECUTING;}));

  server.destroyServer();
  const WrappedResult unknown = client.resultOf(handle);
  EXPECT_EQ(ResultCode::UNKNOWN, unknown.code);
  served->succeed(result(true));  // nobody to tell any more; must not reach the client
  EXPECT_EQ(nullptr, await(client.send("dwb")));
}

TEST_F(ActionTest, ResultIsKeptForTheResultTimeoutThenForgotten)
{
  auto options = rcl_action_server_get_default_options();
  const auto timeout = 1s;
  options.result_timeout.nanoseconds = std::chrono::nanoseconds(timeout).count();
  ServerProbe server(server_node_, "follow_path", options);
  ClientProbe client(client_node_, "follow_path");

  auto kept = client.accepted("dwb", false);
  auto forgotten = client.accepted("dwb", false);
  // The server times results on the node clock, which follows the system clock; the steady
  // clock may run at a slightly different rate.
  const auto finished_at = std::chrono::system_clock::now();
  server.handle(0)->succeed(result(true));
  server.handle(1)->succeed(result(true));

  EXPECT_EQ(ResultCode::SUCCEEDED, await(client.client->async_get_result(kept)).code);
  EXPECT_TRUE(
    eventually(
      [&]() {
        return cancel(client.client, forgotten)->return_code == CancelResponse::ERROR_UNKNOWN_GOAL_ID;
      }));
  EXPECT_GE(std::chrono::system_clock::now() - finished_at, timeout);
  const WrappedResult late = await(client.client->async_get_result(forgotten));
  EXPECT_EQ(ResultCode::UNKNOWN, late.code);
  EXPECT_EQ(GoalStatus::STATUS_UNKNOWN, forgotten->get_status());
}

TEST_F(ActionTest, GoalStateMachineRejectsInvalidTransitions)
{
  using rclcpp::exceptions::RCLError;
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");
  auto handle = client.accepted("defer");
  auto served = server.handle(0);

  EXPECT_FALSE(server.executingWhenAccepted(0));
  EXPECT_TRUE(served->is_active());
  EXPECT_FALSE(served->is_executing());
  EXPECT_THROW(served->succeed(result(true)), RCLError);
  EXPECT_THROW(served->abort(result(true)), RCLError);
  EXPECT_THROW(served->canceled(result(true)), RCLError);

  served->execute();
  EXPECT_TRUE(served->is_executing());
  EXPECT_TRUE(eventually([&]() {return handle->get_status() == GoalStatus::STATUS_EXECUTING;}));
  EXPECT_THROW(served->execute(), RCLError);
  EXPECT_THROW(served->canceled(result(true)), RCLError);

  served->succeed(result(true));
  EXPECT_THROW(served->abort(result(false)), RCLError);
  EXPECT_THROW(served->succeed(result(false)), RCLError);
  EXPECT_FALSE(served->is_active());
  const WrappedResult wrapped = client.resultOf(handle);
  EXPECT_EQ(ResultCode::SUCCEEDED, wrapped.code);
  EXPECT_TRUE(wrapped.result->result);
}

TEST_F(ActionTest, DroppingTheLastServerHandleCancelsTheGoal)
{
  ServerProbe server(server_node_, "follow_path");
  ClientProbe client(client_node_, "follow_path");
  auto handle = client.accepted("drop");
  const WrappedResult wrapped = client.resultOf(handle);
  EXPECT_EQ(ResultCode::CANCELED, wrapped.code);
  EXPECT_FALSE(wrapped.result->result);
  EXPECT_EQ(GoalStatus::STATUS_CANCELED, handle->get_status());
}

TEST_F(ActionTest, DestroyedClientFailsTheResultsItStillWaitedFor)
{
  ServerProbe server(server_node_, "follow_path");
  auto client = std::make_unique<ClientProbe>(client_node_, "follow_path");
  auto handle = client->accepted("dwb", false);
  auto result_future = client->client->async_get_result(handle);
  server.handle(0);
  client.reset();
  ASSERT_EQ(std::future_status::ready, result_future.wait_for(kDeadline));
  EXPECT_THROW(result_future.get(), rclcpp_action::exceptions::UnawareGoalHandleError);
}

}  // namespace
