#include "rclcpp_action/server_goal_handle.hpp"

#include <string>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_action
{

namespace
{

const char * stateName(rcl_action_goal_state_t state)
{
  switch (state) {
    case GOAL_STATE_ACCEPTED: return "ACCEPTED";
    case GOAL_STATE_EXECUTING: return "EXECUTING";
    case GOAL_STATE_CANCELING: return "CANCELING";
    case GOAL_STATE_SUCCEEDED: return "SUCCEEDED";
    case GOAL_STATE_CANCELED: return "CANCELED";
    case GOAL_STATE_ABORTED: return "ABORTED";
    default: return "UNKNOWN";
  }
}

const char * eventName(rcl_action_goal_event_t event)
{
  switch (event) {
    case GOAL_EVENT_EXECUTE: return "EXECUTE";
    case GOAL_EVENT_CANCEL_GOAL: return "CANCEL_GOAL";
    case GOAL_EVENT_SUCCEED: return "SUCCEED";
    case GOAL_EVENT_ABORT: return "ABORT";
    case GOAL_EVENT_CANCELED: return "CANCELED";
    default: return "UNKNOWN";
  }
}

}  // namespace

ServerGoalHandleBase::ServerGoalHandleBase(std::shared_ptr<rcl_action_goal_handle_t> rcl_handle)
: rcl_handle_(std::move(rcl_handle))
{}

ServerGoalHandleBase::~ServerGoalHandleBase() = default;

bool ServerGoalHandleBase::is_canceling() const
{
  return state() == GOAL_STATE_CANCELING;
}

bool ServerGoalHandleBase::is_active() const
{
  std::lock_guard<std::mutex> lock(rcl_handle_mutex_);
  return rcl_action_goal_handle_is_active(rcl_handle_.get());
}

bool ServerGoalHandleBase::is_executing() const
{
  return state() == GOAL_STATE_EXECUTING;
}

void ServerGoalHandleBase::_abort()
{
  update(GOAL_EVENT_ABORT);
}

void ServerGoalHandleBase::_succeed()
{
  update(GOAL_EVENT_SUCCEED);
}

void ServerGoalHandleBase::_cancel_goal()
{
  update(GOAL_EVENT_CANCEL_GOAL);
}

void ServerGoalHandleBase::_canceled()
{
  update(GOAL_EVENT_CANCELED);
}

void ServerGoalHandleBase::_execute()
{
  update(GOAL_EVENT_EXECUTE);
}

bool ServerGoalHandleBase::try_canceling() noexcept
{
  std::lock_guard<std::mutex> lock(rcl_handle_mutex_);
  if (rcl_action_goal_handle_is_cancelable(rcl_handle_.get())) {
    rcl_action_update_goal_state(rcl_handle_.get(), GOAL_EVENT_CANCEL_GOAL);
  }
  rcl_action_goal_state_t current = GOAL_STATE_UNKNOWN;
  rcl_action_goal_handle_get_status(rcl_handle_.get(), &current);
  if (current != GOAL_STATE_CANCELING) {
    return false;
  }
  return rcl_action_update_goal_state(rcl_handle_.get(), GOAL_EVENT_CANCELED) == RCL_RET_OK;
}

void ServerGoalHandleBase::update(rcl_action_goal_event_t event)
{
  std::lock_guard<std::mutex> lock(rcl_handle_mutex_);
  rcl_action_goal_state_t current = GOAL_STATE_UNKNOWN;
  rcl_action_goal_handle_get_status(rcl_handle_.get(), &current);
  if (rcl_action_update_goal_state(rcl_handle_.get(), event) != RCL_RET_OK) {
    throw rclcpp::exceptions::RCLError(
            std::string("goal_handle attempted invalid transition from state ") + stateName(current) +
            " with event " + eventName(event));
  }
}

rcl_action_goal_state_t ServerGoalHandleBase::state() const
{
  std::lock_guard<std::mutex> lock(rcl_handle_mutex_);
  rcl_action_goal_state_t current = GOAL_STATE_UNKNOWN;
  rcl_action_goal_handle_get_status(rcl_handle_.get(), &current);
  return current;
}

}  // namespace rclcpp_action
