#ifndef RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
#define RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <utility>

#include "action_msgs/msg/goal_status.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

enum class ResultCode : int8_t
{
  UNKNOWN = action_msgs::msg::GoalStatus::STATUS_UNKNOWN,
  SUCCEEDED = action_msgs::msg::GoalStatus::STATUS_SUCCEEDED,
  CANCELED = action_msgs::msg::GoalStatus::STATUS_CANCELED,
  ABORTED = action_msgs::msg::GoalStatus::STATUS_ABORTED
};

template<typename ActionT>
class Client;

namespace detail
{
template<typename ActionT>
class ClientCore;
}  // namespace detail

// The client's view of one accepted goal. Its status follows the server's status updates; the
// callbacks run on the executor spinning the client's node.
template<typename ActionT>
class ClientGoalHandle
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(ClientGoalHandle)

  struct WrappedResult
  {
    GoalUUID goal_id;
    ResultCode code;
    typename ActionT::Result::SharedPtr result;
  };

  using Feedback = typename ActionT::Feedback;
  using Result = typename ActionT::Result;
  using FeedbackCallback = std::function<void (
        typename ClientGoalHandle<ActionT>::SharedPtr, const std::shared_ptr<const Feedback>)>;
  using ResultCallback = std::function<void (const WrappedResult & result)>;

  virtual ~ClientGoalHandle() = default;

  const GoalUUID & get_goal_id() const
  {
    return info_.goal_id.uuid;
  }

  rclcpp::Time get_goal_stamp() const
  {
    return rclcpp::Time(info_.stamp);
  }

  int8_t get_status()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }

  bool is_feedback_aware()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return feedback_callback_ != nullptr;
  }

  bool is_result_aware()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return is_result_aware_;
  }

private:
  friend class Client<ActionT>;
  friend class detail::ClientCore<ActionT>;

  ClientGoalHandle(const GoalInfo & info, FeedbackCallback feedback_callback, ResultCallback result_callback)
  : info_(info), result_future_(result_promise_.get_future()),
    feedback_callback_(std::move(feedback_callback)), result_callback_(std::move(result_callback))
  {}

  std::shared_future<WrappedResult> async_get_result()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!is_result_aware_) {
      throw exceptions::UnawareGoalHandleError();
    }
    return result_future_;
  }

  // False if the result was requested already.
  bool set_result_awareness(bool awareness)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool changed = is_result_aware_ != awareness;
    is_result_aware_ = awareness;
    return changed;
  }

  void set_status(int8_t status)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }

  void set_result_callback(ResultCallback callback)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_callback_ = std::move(callback);
  }

  void call_feedback_callback(
    typename ClientGoalHandle<ActionT>::SharedPtr shared_this, std::shared_ptr<const Feedback> feedback)
  {
    FeedbackCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      callback = feedback_callback_;
    }
    if (callback) {
      callback(std::move(shared_this), std::move(feedback));
    }
  }

  void set_result(const WrappedResult & wrapped_result)
  {
    ResultCallback callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (finished_) {
        return;
      }
      finished_ = true;
      status_ = static_cast<int8_t>(wrapped_result.code);
      result_promise_.set_value(wrapped_result);
      callback = result_callback_;
    }
    if (callback) {
      callback(wrapped_result);
    }
  }

  // The client went away: a result will never come, so whoever waits for it learns why.
  void invalidate(const exceptions::UnawareGoalHandleError & error)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) {
      return;
    }
    finished_ = true;
    is_result_aware_ = false;
    status_ = action_msgs::msg::GoalStatus::STATUS_UNKNOWN;
    result_promise_.set_exception(std::make_exception_ptr(error));
  }

  const GoalInfo info_;
  std::promise<WrappedResult> result_promise_;
  const std::shared_future<WrappedResult> result_future_;

  std::mutex mutex_;
  FeedbackCallback feedback_callback_;
  ResultCallback result_callback_;
  int8_t status_{action_msgs::msg::GoalStatus::STATUS_ACCEPTED};
  bool is_result_aware_{false};
  bool finished_{false};
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__CLIENT_GOAL_HANDLE_HPP_
