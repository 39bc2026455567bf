#ifndef RCLCPP_ACTION__DETAIL__CLIENT_CORE_HPP_
#define RCLCPP_ACTION__DETAIL__CLIENT_CORE_HPP_

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "action_msgs/msg/goal_status.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/detail/action_registry.hpp"
#include "rclcpp_action/detail/callback_target.hpp"
#include "rclcpp_action/detail/endpoints.hpp"
#include "rclcpp_action/detail/goal_store.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action::detail
{

// The working part of an action client: it sends requests to the server of its action, tracks
// the goals it got accepted and receives what the server sends back. Answers are handed to the
// client's executor first; once the client is gone they are dropped. Owned by the Client; work
// in flight refers to it weakly.
template<typename ActionT>
class ClientCore : public ClientEndpoint<ActionT>, public std::enable_shared_from_this<ClientCore<ActionT>>
{
public:
  using GoalHandle = ClientGoalHandle<ActionT>;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using Endpoint = ServerEndpoint<ActionT>;
  using GoalRequest = typename Endpoint::GoalRequest;
  using GoalResponse = typename Endpoint::GoalResponse;
  using GoalResponsePtr = std::shared_ptr<const GoalResponse>;
  using ResultResponse = typename Endpoint::ResultResponse;
  using ResultResponsePtr = std::shared_ptr<const ResultResponse>;
  using CancelRequest = typename Endpoint::CancelRequest;
  using CancelResponse = typename Endpoint::CancelResponse;
  using CancelResponsePtr = std::shared_ptr<CancelResponse>;
  using GoalResponseCallback = std::function<void (typename GoalHandle::SharedPtr)>;
  using CancelCallback = std::function<void (CancelResponsePtr)>;

  ClientCore(std::string action_name, std::shared_ptr<CallbackTarget> target)
  : action_name_(std::move(action_name)), target_(std::move(target))
  {}

  std::shared_ptr<Endpoint> findServer() const
  {
    return detail::findServer<Endpoint>(action_name_);
  }

  std::shared_future<typename GoalHandle::SharedPtr> sendGoal(
    std::shared_ptr<GoalRequest> request, GoalResponseCallback goal_response_callback,
    typename GoalHandle::FeedbackCallback feedback_callback,
    typename GoalHandle::ResultCallback result_callback)
  {
    auto promise = std::make_shared<std::promise<typename GoalHandle::SharedPtr>>();
    std::shared_future<typename GoalHandle::SharedPtr> future(promise->get_future());
    typename Endpoint::GoalReply reply(
      onExecutor<GoalResponsePtr>(
        [goal_id = request->goal_id.uuid, goal_response_callback, feedback_callback, result_callback,
        promise](ClientCore & core, GoalResponsePtr response) {
          if (!response->accepted) {
            promise->set_value(nullptr);
            if (goal_response_callback) {
              goal_response_callback(nullptr);
            }
            return;
          }
          GoalInfo info;
          info.goal_id.uuid = goal_id;
          info.stamp = response->stamp;
          typename GoalHandle::SharedPtr handle(new GoalHandle(info, feedback_callback, result_callback));
          core.track(handle);
          promise->set_value(handle);
          if (goal_response_callback) {
            goal_response_callback(handle);
          }
          if (result_callback) {
            core.makeResultAware(handle);
          }
        }),
      []() {return std::make_shared<const GoalResponse>();});
    if (auto server = findServer()) {
      server->sendGoal(request, reply, this->weak_from_this());
    } else {
      reply.decline();
    }
    return future;
  }

  // Asks the server for the goal's result, once per goal handle.
  void makeResultAware(const typename GoalHandle::SharedPtr & handle)
  {
    if (!handle->set_result_awareness(true)) {
      return;
    }
    typename Endpoint::ResultReply reply(
      onExecutor<ResultResponsePtr>(
        [handle](ClientCore & core, ResultResponsePtr response) {
          typename GoalHandle::WrappedResult wrapped;
          wrapped.goal_id = handle->get_goal_id();
          wrapped.code = static_cast<ResultCode>(response->status);
          wrapped.result = std::make_shared<typename ActionT::Result>(response->result);
          handle->set_result(wrapped);
          core.forget(handle->get_goal_id());
        }),
      []() {
        auto unknown = std::make_shared<ResultResponse>();
        unknown->status = action_msgs::msg::GoalStatus::STATUS_UNKNOWN;
        return ResultResponsePtr(unknown);
      });
    if (auto server = findServer()) {
      server->getResult(handle->get_goal_id(), reply);
    } else {
      reply.decline();
    }
  }

  std::shared_future<CancelResponsePtr>
  sendCancel(std::shared_ptr<CancelRequest> request, CancelCallback cancel_callback)
  {
    auto promise = std::make_shared<std::promise<CancelResponsePtr>>();
    std::shared_future<CancelResponsePtr> future(promise->get_future());
    // With no server to ask, answer as a server without goals would.
    const bool names_one_goal = !isZero(request->goal_info.goal_id.uuid) &&
      toNanoseconds(request->goal_info.stamp) == 0;
    const int8_t unanswered_code = names_one_goal ? CancelResponse::ERROR_UNKNOWN_GOAL_ID :
      CancelResponse::ERROR_REJECTED;
    typename Endpoint::CancelReply reply(
      onExecutor<CancelResponsePtr>(
        [promise, cancel_callback](ClientCore &, CancelResponsePtr response) {
          promise->set_value(response);
          if (cancel_callback) {
            cancel_callback(response);
          }
        }),
      [unanswered_code]() {
        auto response = std::make_shared<CancelResponse>();
        response->return_code = unanswered_code;
        return response;
      });
    if (auto server = findServer()) {
      server->cancelGoals(request, reply);
    } else {
      reply.decline();
    }
    return future;
  }

private:
  // A function that runs `handler(core, answer)` on the client's executor, if the client is
  // still there by then.
  template<typename T>
  std::function<void(T)> onExecutor(std::function<void(ClientCore &, T)> handler)
  {
    std::weak_ptr<ClientCore> weak_this = this->shared_from_this();
    return [weak_this, target = target_, handler = std::move(handler)](T answer) {
             target->post(
               [weak_this, handler, answer = std::move(answer)]() {
                 if (auto core = weak_this.lock()) {
                   handler(*core, answer);
                 }
               });
           };
  }

public:
  void receiveStatus(const GoalUUID & goal_id, int8_t status) override
  {
    target_->post(
      [weak_this = this->weak_from_this(), goal_id, status]() {
        if (auto core = weak_this.lock()) {
          if (auto handle = core->find(goal_id)) {
            handle->set_status(status);
          }
        }
      });
  }

  void receiveFeedback(std::shared_ptr<const FeedbackMessage> message) override
  {
    target_->post(
      [weak_this = this->weak_from_this(), message]() {
        if (auto core = weak_this.lock()) {
          if (auto handle = core->find(message->goal_id.uuid)) {
            handle->call_feedback_callback(
              handle, std::shared_ptr<const typename ActionT::Feedback>(message, &message->feedback));
          }
        }
      });
  }

  void track(const typename GoalHandle::SharedPtr & handle)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    goal_handles_[handle->get_goal_id()] = handle;
  }

  void forget(const GoalUUID & goal_id)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    goal_handles_.erase(goal_id);
  }

  void throwIfUnknown(const typename GoalHandle::SharedPtr & handle) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!handle || goal_handles_.count(handle->get_goal_id()) == 0) {
      throw exceptions::UnknownGoalHandleError();
    }
  }

  // The client is going away: results its goal handles still wait for will never arrive.
  void invalidateAll()
  {
    std::vector<typename GoalHandle::SharedPtr> handles;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const auto & entry : goal_handles_) {
        if (auto handle = entry.second.lock()) {
          handles.push_back(std::move(handle));
        }
      }
      goal_handles_.clear();
    }
    for (const auto & handle : handles) {
      handle->invalidate(exceptions::UnawareGoalHandleError());
    }
  }

private:
  // The tracked handle, if the user still holds it; a handle nobody holds is forgotten.
  typename GoalHandle::SharedPtr find(const GoalUUID & goal_id)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = goal_handles_.find(goal_id);
    if (found == goal_handles_.end()) {
      return nullptr;
    }
    auto handle = found->second.lock();
    if (!handle) {
      goal_handles_.erase(found);
    }
    return handle;
  }

  const std::string action_name_;
  const std::shared_ptr<CallbackTarget> target_;
  mutable std::mutex mutex_;
  std::map<GoalUUID, typename GoalHandle::WeakPtr> goal_handles_;
};

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__CLIENT_CORE_HPP_
