#ifndef RCLCPP_ACTION__DETAIL__ENDPOINTS_HPP_
#define RCLCPP_ACTION__DETAIL__ENDPOINTS_HPP_

#include <cstdint>
#include <memory>

#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp_action/detail/reply.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action::detail
{

// The in-process stand-in for an action's topics: what a server sends to the client that owns
// a goal. Every call may come from any thread; the client hands the work to its own executor.
template<typename ActionT>
class ClientEndpoint
{
public:
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;

  virtual ~ClientEndpoint() = default;
  virtual void receiveStatus(const GoalUUID & goal_id, int8_t status) = 0;
  virtual void receiveFeedback(std::shared_ptr<const FeedbackMessage> feedback_message) = 0;
};

// The in-process stand-in for an action's services: the requests a client sends to a server.
// Each request is owed exactly one answer through its Reply; a request the server can no
// longer answer gets the Reply's fallback.
template<typename ActionT>
class ServerEndpoint
{
public:
  using GoalRequest = typename ActionT::Impl::SendGoalService::Request;
  using GoalResponse = typename ActionT::Impl::SendGoalService::Response;
  using ResultResponse = typename ActionT::Impl::GetResultService::Response;
  using CancelRequest = action_msgs::srv::CancelGoal::Request;
  using CancelResponse = action_msgs::srv::CancelGoal::Response;

  using GoalReply = Reply<std::shared_ptr<const GoalResponse>>;
  using ResultReply = Reply<std::shared_ptr<const ResultResponse>>;
  using CancelReply = Reply<std::shared_ptr<CancelResponse>>;

  virtual ~ServerEndpoint() = default;
  // `client` receives the status changes and feedback of the goal if it is accepted.
  virtual void sendGoal(
    std::shared_ptr<const GoalRequest> request, GoalReply reply,
    std::weak_ptr<ClientEndpoint<ActionT>> client) = 0;
  virtual void cancelGoals(std::shared_ptr<const CancelRequest> request, CancelReply reply) = 0;
  virtual void getResult(const GoalUUID & goal_id, ResultReply reply) = 0;
};

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__ENDPOINTS_HPP_
