#ifndef RCLCPP_ACTION__DETAIL__SERVER_CORE_HPP_
#define RCLCPP_ACTION__DETAIL__SERVER_CORE_HPP_

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "action_msgs/msg/goal_status.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp_action/detail/callback_target.hpp"
#include "rclcpp_action/detail/endpoints.hpp"
#include "rclcpp_action/detail/goal_store.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

enum class GoalResponse : int8_t
{
  REJECT = 1,
  ACCEPT_AND_EXECUTE = 2,
  ACCEPT_AND_DEFER = 3,
};

enum class CancelResponse : int8_t
{
  REJECT = 1,
  ACCEPT = 2,
};

namespace detail
{

// Settings of a server core that do not depend on the action type.
struct ServerSettings
{
  std::shared_ptr<CallbackTarget> target;
  rclcpp::Clock::SharedPtr clock;
  rclcpp::Logger logger;
  std::chrono::nanoseconds result_timeout;
  size_t max_waiting_result_requests;  // 0: no limit
};

// Everything an action server does, apart from being a handle the user owns: it answers the
// requests of clients on the executor of the server's node, runs the user's callbacks there,
// drives goal handles through their states and sends status, feedback and results back to the
// client that owns each goal. Owned by the Server; everything else refers to it weakly, so once
// the Server is gone requests fall back to their "unknown server" answers.
template<typename ActionT>
class ServerCore : public ServerEndpoint<ActionT>, public std::enable_shared_from_this<ServerCore<ActionT>>
{
public:
  using Endpoint = ServerEndpoint<ActionT>;
  using GoalHandle = ServerGoalHandle<ActionT>;
  using Goal = typename ActionT::Goal;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using GoalCallback = std::function<GoalResponse(const GoalUUID &, std::shared_ptr<const Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<GoalHandle>)>;
  using AcceptedCallback = std::function<void (std::shared_ptr<GoalHandle>)>;

  ServerCore(
    ServerSettings settings, GoalCallback handle_goal, CancelCallback handle_cancel,
    AcceptedCallback handle_accepted)
  : settings_(std::move(settings)), handle_goal_(std::move(handle_goal)),
    handle_cancel_(std::move(handle_cancel)), handle_accepted_(std::move(handle_accepted)),
    store_(settings_.result_timeout, settings_.max_waiting_result_requests)
  {}

  void sendGoal(
    std::shared_ptr<const typename Endpoint::GoalRequest> request, typename Endpoint::GoalReply reply,
    std::weak_ptr<ClientEndpoint<ActionT>> client) override
  {
    onExecutor(
      [request, reply, client](ServerCore & core) {
        core.executeGoalRequest(*request, request, reply, client);
      });
  }

  void cancelGoals(
    std::shared_ptr<const typename Endpoint::CancelRequest> request,
    typename Endpoint::CancelReply reply) override
  {
    onExecutor([request, reply](ServerCore & core) {core.executeCancelRequest(*request, reply);});
  }

  void getResult(const GoalUUID & goal_id, typename Endpoint::ResultReply reply) override
  {
    onExecutor(
      [goal_id, reply](ServerCore & core) {
        core.expireResults();
        core.store_.requestResult(goal_id, reply);
      });
  }

private:
  using ResultResponsePtr = std::shared_ptr<const typename Endpoint::ResultResponse>;

  struct ActiveGoal
  {
    std::weak_ptr<GoalHandle> handle;
    std::shared_ptr<rcl_action_goal_handle_t> rcl_handle;
    std::weak_ptr<ClientEndpoint<ActionT>> client;
  };

  // A request queued here keeps only a weak reference: if the server is destroyed first, the
  // work is dropped and the request's Reply answers with its fallback.
  void onExecutor(std::function<void(ServerCore &)> work)
  {
    std::weak_ptr<ServerCore> weak_this = this->shared_from_this();
    settings_.target->post(
      [weak_this, work = std::move(work)]() {
        if (auto core = weak_this.lock()) {
          work(*core);
        }
      });
  }

  int64_t now() const
  {
    return settings_.clock->now().nanoseconds();
  }

  void expireResults()
  {
    store_.expire(now());
  }

  void executeGoalRequest(
    const typename Endpoint::GoalRequest & request,
    const std::shared_ptr<const typename Endpoint::GoalRequest> & request_ptr,
    const typename Endpoint::GoalReply & reply, const std::weak_ptr<ClientEndpoint<ActionT>> & client)
  {
    expireResults();
    const GoalUUID & uuid = request.goal_id.uuid;
    auto response = std::make_shared<typename Endpoint::GoalResponse>();
    if (store_.contains(uuid)) {
      RCLCPP_WARN(settings_.logger, "Rejected goal %s: its id is already in use", to_string(uuid).c_str());
      reply(response);
      return;
    }
    // The goal lives inside the request message; share it instead of copying.
    std::shared_ptr<const Goal> goal(request_ptr, &request.goal);
    const GoalResponse decision = handle_goal_(uuid, goal);
    GoalInfo info;
    info.goal_id.uuid = uuid;
    info.stamp = toStamp(now());
    response->stamp = info.stamp;
    const bool accept = decision == GoalResponse::ACCEPT_AND_EXECUTE ||
      decision == GoalResponse::ACCEPT_AND_DEFER;
    auto rcl_handle = accept ? store_.accept(info) : nullptr;
    response->accepted = rcl_handle != nullptr;
    if (!rcl_handle) {
      reply(response);
      return;
    }
    RCLCPP_DEBUG(settings_.logger, "Accepted goal %s", to_string(uuid).c_str());
    std::shared_ptr<GoalHandle> handle(
      new GoalHandle(
        rcl_handle, uuid, goal,
        [weak_this = this->weak_from_this()](const GoalUUID & goal_id, std::shared_ptr<void> result) {
          if (auto core = weak_this.lock()) {
            core->onTerminalState(goal_id, std::static_pointer_cast<const typename Endpoint::ResultResponse>(result));
          }
        },
        [weak_this = this->weak_from_this()](const GoalUUID & goal_id) {
          if (auto core = weak_this.lock()) {
            core->publishStatus(goal_id);
          }
        },
        [weak_this = this->weak_from_this()](std::shared_ptr<FeedbackMessage> feedback) {
          if (auto core = weak_this.lock()) {
            core->publishFeedback(std::move(feedback));
          }
        }));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      active_[uuid] = ActiveGoal{handle, rcl_handle, client};
    }
    // Answered once the goal can be canceled, and before any status or feedback of it is sent.
    reply(response);
    if (decision == GoalResponse::ACCEPT_AND_EXECUTE) {
      handle->execute();
    } else {
      publishStatus(uuid);
    }
    handle_accepted_(std::move(handle));
  }

  void executeCancelRequest(
    const typename Endpoint::CancelRequest & request, const typename Endpoint::CancelReply & reply)
  {
    expireResults();
    const CancelSelection selection = store_.selectForCancel(request.goal_info);
    auto response = std::make_shared<typename Endpoint::CancelResponse>();
    response->return_code = selection.return_code;
    for (const GoalInfo & info : selection.goals) {
      if (callCancelCallback(info.goal_id.uuid) == CancelResponse::ACCEPT) {
        response->goals_canceling.push_back(info);
        publishStatus(info.goal_id.uuid);
      }
    }
    // Turning down every goal it names turns down the request.
    if (!selection.goals.empty() && response->goals_canceling.empty()) {
      response->return_code = action_msgs::srv::CancelGoal::Response::ERROR_REJECTED;
    }
    reply(response);
  }

  CancelResponse callCancelCallback(const GoalUUID & uuid)
  {
    std::shared_ptr<GoalHandle> handle = activeHandle(uuid);
    if (!handle) {
      return CancelResponse::REJECT;
    }
    if (handle_cancel_(handle) != CancelResponse::ACCEPT) {
      return CancelResponse::REJECT;
    }
    try {
      handle->_cancel_goal();
    } catch (const rclcpp::exceptions::RCLError & error) {
      // The goal finished while the callback decided.
      RCLCPP_DEBUG(settings_.logger, "Cannot cancel goal %s: %s", to_string(uuid).c_str(), error.what());
      return CancelResponse::REJECT;
    }
    return CancelResponse::ACCEPT;
  }

  std::shared_ptr<GoalHandle> activeHandle(const GoalUUID & uuid) const
  {
    std::weak_ptr<GoalHandle> handle;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = active_.find(uuid);
      if (found != active_.end()) {
        handle = found->second.handle;
      }
    }
    return handle.lock();
  }

  std::shared_ptr<ClientEndpoint<ActionT>> owner(const GoalUUID & uuid) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = active_.find(uuid);
    return found == active_.end() ? nullptr : found->second.client.lock();
  }

  void publishStatus(const GoalUUID & uuid)
  {
    std::shared_ptr<ClientEndpoint<ActionT>> client;
    rcl_action_goal_state_t state = GOAL_STATE_UNKNOWN;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = active_.find(uuid);
      if (found == active_.end()) {
        return;
      }
      client = found->second.client.lock();
      rcl_action_goal_handle_get_status(found->second.rcl_handle.get(), &state);
    }
    if (client) {
      client->receiveStatus(uuid, state);
    }
  }

  void publishFeedback(std::shared_ptr<FeedbackMessage> feedback)
  {
    if (auto client = owner(feedback->goal_id.uuid)) {
      client->receiveFeedback(std::move(feedback));
    }
  }

  void onTerminalState(const GoalUUID & uuid, ResultResponsePtr result)
  {
    store_.storeResult(uuid, std::move(result), now());
    publishStatus(uuid);
    std::lock_guard<std::mutex> lock(mutex_);
    active_.erase(uuid);
  }

  const ServerSettings settings_;
  const GoalCallback handle_goal_;
  const CancelCallback handle_cancel_;
  const AcceptedCallback handle_accepted_;
  GoalStore<ResultResponsePtr> store_;
  mutable std::mutex mutex_;
  std::unordered_map<GoalUUID, ActiveGoal> active_;
};

}  // namespace detail
}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__DETAIL__SERVER_CORE_HPP_
