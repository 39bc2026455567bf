#ifndef RCLCPP_ACTION__CLIENT_HPP_
#define RCLCPP_ACTION__CLIENT_HPP_

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "action_msgs/msg/goal_status.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rcl_action/action_client.h"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp/waitable.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/detail/action_registry.hpp"
#include "rclcpp_action/detail/callback_target.hpp"
#include "rclcpp_action/detail/client_core.hpp"
#include "rclcpp_action/detail/endpoints.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

class ClientBase;

namespace detail
{
// Makes the client's callbacks run in `group` (create_client's group argument).
void bindCallbackGroup(ClientBase & client, const rclcpp::CallbackGroup::SharedPtr & group);
}  // namespace detail

// What every action client has regardless of its action type: the name it looks its server up
// by, server discovery, goal ids and the callback group its callbacks run in.
class ClientBase : public rclcpp::Waitable
{
public:
  ~ClientBase() override;

  // A server for this action (same name and type) exists right now.
  bool action_server_is_ready() const;

  // Waits until a server exists (true), the timeout passes or the context shuts down (false).
  // A negative timeout waits without limit.
  template<typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_action_server(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    const std::chrono::duration<double, std::nano> requested(timeout);
    const auto longest = std::chrono::nanoseconds::max();
    return wait_for_action_server_nanoseconds(
      requested.count() >= static_cast<double>(longest.count()) ? std::chrono::nanoseconds(-1) :
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

protected:
  ClientBase(
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_base,
    const std::string & action_name, std::type_index server_type);

  bool wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout);
  GoalUUID generate_goal_id();

  const std::string & action_name() const;
  const std::shared_ptr<detail::CallbackTarget> & callback_target() const;

private:
  friend void detail::bindCallbackGroup(ClientBase & client, const rclcpp::CallbackGroup::SharedPtr & group);

  const std::string action_name_;
  const std::type_index server_type_;
  const rclcpp::Context::SharedPtr context_;
  const std::shared_ptr<detail::CallbackTarget> callback_target_;
  std::mutex random_mutex_;
  std::mt19937 random_engine_;
};

// An action client. Goal responses, feedback, results, cancel responses and the completion of
// the returned futures happen on the executor spinning the client's node. A request the server
// cannot answer (no server, server destroyed) is answered as if refused: a goal is rejected
// (nullptr handle), a result comes back with ResultCode::UNKNOWN, a cancel with an error code.
template<typename ActionT>
class Client : public ClientBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Client<ActionT>)

  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using GoalResponseCallback = std::function<void (typename GoalHandle::SharedPtr)>;
  using FeedbackCallback = typename GoalHandle::FeedbackCallback;
  using ResultCallback = typename GoalHandle::ResultCallback;
  using CancelRequest = typename ActionT::Impl::CancelGoalService::Request;
  using CancelResponse = typename ActionT::Impl::CancelGoalService::Response;
  using CancelCallback = std::function<void (typename CancelResponse::SharedPtr)>;

  struct SendGoalOptions
  {
    SendGoalOptions()
    : goal_response_callback(nullptr), feedback_callback(nullptr), result_callback(nullptr)
    {}

    GoalResponseCallback goal_response_callback;
    FeedbackCallback feedback_callback;
    ResultCallback result_callback;
  };

  Client(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeGraphInterface::SharedPtr node_graph,
    rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
    const std::string & action_name,
    const rcl_action_client_options_t & client_options = rcl_action_client_get_default_options())
  : ClientBase(node_base, action_name, std::type_index(typeid(Endpoint))),
    core_(std::make_shared<Core>(ClientBase::action_name(), callback_target()))
  {
    // Discovery goes through the process-wide server directory, nothing is logged, and the
    // client keeps no queues the options could size.
    (void)node_graph;
    (void)node_logging;
    (void)client_options;
  }

  std::shared_future<typename GoalHandle::SharedPtr>
  async_send_goal(const Goal & goal, const SendGoalOptions & options = SendGoalOptions())
  {
    auto request = std::make_shared<typename Core::GoalRequest>();
    request->goal_id.uuid = generate_goal_id();
    request->goal = goal;
    return core_->sendGoal(
      request, options.goal_response_callback, options.feedback_callback, options.result_callback);
  }

  std::shared_future<WrappedResult>
  async_get_result(typename GoalHandle::SharedPtr goal_handle, ResultCallback result_callback = nullptr)
  {
    core_->throwIfUnknown(goal_handle);
    if (result_callback) {
      goal_handle->set_result_callback(result_callback);
    }
    core_->makeResultAware(goal_handle);
    return goal_handle->async_get_result();
  }

  std::shared_future<typename CancelResponse::SharedPtr>
  async_cancel_goal(typename GoalHandle::SharedPtr goal_handle, CancelCallback cancel_callback = nullptr)
  {
    core_->throwIfUnknown(goal_handle);
    auto request = std::make_shared<CancelRequest>();
    request->goal_info.goal_id.uuid = goal_handle->get_goal_id();
    return core_->sendCancel(request, cancel_callback);
  }

  std::shared_future<typename CancelResponse::SharedPtr>
  async_cancel_all_goals(CancelCallback cancel_callback = nullptr)
  {
    return core_->sendCancel(std::make_shared<CancelRequest>(), cancel_callback);
  }

  std::shared_future<typename CancelResponse::SharedPtr>
  async_cancel_goals_before(const rclcpp::Time & stamp, CancelCallback cancel_callback = nullptr)
  {
    auto request = std::make_shared<CancelRequest>();
    request->goal_info.stamp = stamp;
    return core_->sendCancel(request, cancel_callback);
  }

  virtual ~Client()
  {
    core_->invalidateAll();
  }

private:
  using Endpoint = detail::ServerEndpoint<ActionT>;
  using Core = detail::ClientCore<ActionT>;

  const std::shared_ptr<Core> core_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_HPP_
