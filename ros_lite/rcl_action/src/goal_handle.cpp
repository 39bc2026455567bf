#include "rcl_action/goal_handle.h"

#include <mutex>

namespace
{
// Goal states are read by the server's request handling and written by whichever thread
// finishes the goal; every access is a few instructions, so one lock for all handles is enough.
std::mutex handle_mutex;
}  // namespace

rcl_action_goal_handle_t rcl_action_make_goal_handle(const rcl_action_goal_info_t * goal_info)
{
  return rcl_action_goal_handle_t{*goal_info, GOAL_STATE_ACCEPTED};
}

rcl_ret_t
rcl_action_update_goal_state(rcl_action_goal_handle_t * goal_handle, const rcl_action_goal_event_t goal_event)
{
  if (goal_handle == nullptr) {
    return RCL_RET_ACTION_GOAL_HANDLE_INVALID;
  }
  std::lock_guard<std::mutex> lock(handle_mutex);
  const rcl_action_goal_state_t next = rcl_action_transition_goal_state(goal_handle->state, goal_event);
  if (next == GOAL_STATE_UNKNOWN) {
    return RCL_RET_ACTION_GOAL_EVENT_INVALID;
  }
  goal_handle->state = next;
  return RCL_RET_OK;
}

rcl_ret_t
rcl_action_goal_handle_get_info(const rcl_action_goal_handle_t * goal_handle, rcl_action_goal_info_t * goal_info)
{
  if (goal_handle == nullptr) {
    return RCL_RET_ACTION_GOAL_HANDLE_INVALID;
  }
  if (goal_info == nullptr) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  std::lock_guard<std::mutex> lock(handle_mutex);
  *goal_info = goal_handle->info;
  return RCL_RET_OK;
}

rcl_ret_t
rcl_action_goal_handle_get_status(const rcl_action_goal_handle_t * goal_handle, rcl_action_goal_state_t * status)
{
  if (goal_handle == nullptr) {
    return RCL_RET_ACTION_GOAL_HANDLE_INVALID;
  }
  if (status == nullptr) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  std::lock_guard<std::mutex> lock(handle_mutex);
  *status = goal_handle->state;
  return RCL_RET_OK;
}

bool rcl_action_goal_handle_is_active(const rcl_action_goal_handle_t * goal_handle)
{
  rcl_action_goal_state_t state = GOAL_STATE_UNKNOWN;
  if (rcl_action_goal_handle_get_status(goal_handle, &state) != RCL_RET_OK) {
    return false;
  }
  return state == GOAL_STATE_ACCEPTED || state == GOAL_STATE_EXECUTING || state == GOAL_STATE_CANCELING;
}

bool rcl_action_goal_handle_is_cancelable(const rcl_action_goal_handle_t * goal_handle)
{
  rcl_action_goal_state_t state = GOAL_STATE_UNKNOWN;
  if (rcl_action_goal_handle_get_status(goal_handle, &state) != RCL_RET_OK) {
    return false;
  }
  return rcl_action_transition_goal_state(state, GOAL_EVENT_CANCEL_GOAL) == GOAL_STATE_CANCELING;
}
