#ifndef RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "action_msgs/msg/goal_status.hpp"
#include "rcl_action/goal_handle.h"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

namespace detail
{
template<typename ActionT>
class ServerCore;
}  // namespace detail

// The state-machine half of a server goal handle. The transition methods throw
// rclcpp::exceptions::RCLError when the goal's state does not allow them.
class ServerGoalHandleBase
{
public:
  bool is_canceling() const;
  bool is_active() const;
  bool is_executing() const;

  virtual ~ServerGoalHandleBase();

protected:
  explicit ServerGoalHandleBase(std::shared_ptr<rcl_action_goal_handle_t> rcl_handle);

  void _abort();
  void _succeed();
  void _cancel_goal();
  void _canceled();
  void _execute();

  // Moves an active goal to CANCELED by way of CANCELING; true if it got there.
  bool try_canceling() noexcept;

private:
  void update(rcl_action_goal_event_t event);
  rcl_action_goal_state_t state() const;

  std::shared_ptr<rcl_action_goal_handle_t> rcl_handle_;
  mutable std::mutex rcl_handle_mutex_;
};

template<typename ActionT>
class ServerGoalHandle : public ServerGoalHandleBase
{
public:
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using ResultResponse = typename ActionT::Impl::GetResultService::Response;

  // Sends feedback to the client that sent the goal.
  void publish_feedback(std::shared_ptr<typename ActionT::Feedback> feedback_msg)
  {
    auto message = std::make_shared<FeedbackMessage>();
    message->goal_id.uuid = uuid_;
    message->feedback = *feedback_msg;
    publish_feedback_(message);
  }

  void abort(typename ActionT::Result::SharedPtr result_msg)
  {
    _abort();
    finish(action_msgs::msg::GoalStatus::STATUS_ABORTED, result_msg);
  }

  void succeed(typename ActionT::Result::SharedPtr result_msg)
  {
    _succeed();
    finish(action_msgs::msg::GoalStatus::STATUS_SUCCEEDED, result_msg);
  }

  void canceled(typename ActionT::Result::SharedPtr result_msg)
  {
    _canceled();
    finish(action_msgs::msg::GoalStatus::STATUS_CANCELED, result_msg);
  }

  void execute()
  {
    _execute();
    on_executing_(uuid_);
  }

  const std::shared_ptr<const typename ActionT::Goal> get_goal() const
  {
    return goal_;
  }

  const GoalUUID & get_goal_id() const
  {
    return uuid_;
  }

  virtual ~ServerGoalHandle()
  {
    // Nobody can finish the goal any more: it ends canceled, so its client is not left waiting.
    if (try_canceling()) {
      finish(action_msgs::msg::GoalStatus::STATUS_CANCELED, nullptr);
    }
  }

protected:
  ServerGoalHandle(
    std::shared_ptr<rcl_action_goal_handle_t> rcl_handle, GoalUUID uuid,
    std::shared_ptr<const typename ActionT::Goal> goal,
    std::function<void(const GoalUUID &, std::shared_ptr<void>)> on_terminal_state,
    std::function<void(const GoalUUID &)> on_executing,
    std::function<void(std::shared_ptr<FeedbackMessage>)> publish_feedback)
  : ServerGoalHandleBase(std::move(rcl_handle)), goal_(std::move(goal)), uuid_(uuid),
    on_terminal_state_(std::move(on_terminal_state)), on_executing_(std::move(on_executing)),
    publish_feedback_(std::move(publish_feedback))
  {}

private:
  friend class detail::ServerCore<ActionT>;

  void finish(int8_t status, const typename ActionT::Result::SharedPtr & result_msg)
  {
    auto response = std::make_shared<ResultResponse>();
    response->status = status;
    if (result_msg) {
      response->result = *result_msg;
    }
    on_terminal_state_(uuid_, response);
  }

  const std::shared_ptr<const typename ActionT::Goal> goal_;
  const GoalUUID uuid_;
  const std::function<void(const GoalUUID &, std::shared_ptr<void>)> on_terminal_state_;
  const std::function<void(const GoalUUID &)> on_executing_;
  const std::function<void(std::shared_ptr<FeedbackMessage>)> publish_feedback_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_GOAL_HANDLE_HPP_
