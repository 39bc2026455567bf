#ifndef RCL_ACTION__GOAL_HANDLE_H_
#define RCL_ACTION__GOAL_HANDLE_H_

#include <stdbool.h>

#include "rcl_action/goal_state_machine.h"
#include "rcl_action/types.h"

// One goal as the server tracks it: who it is and where it stands in the state machine.
// The functions below may be called from any thread.
typedef struct rcl_action_goal_handle_s
{
  rcl_action_goal_info_t info;
  rcl_action_goal_state_t state;
} rcl_action_goal_handle_t;

// A handle for an accepted goal: state ACCEPTED.
rcl_action_goal_handle_t rcl_action_make_goal_handle(const rcl_action_goal_info_t * goal_info);

// RCL_RET_OK, RCL_RET_ACTION_GOAL_HANDLE_INVALID (null handle) or
// RCL_RET_ACTION_GOAL_EVENT_INVALID (event not allowed in the current state; state unchanged).
rcl_ret_t
rcl_action_update_goal_state(rcl_action_goal_handle_t * goal_handle, const rcl_action_goal_event_t goal_event);

rcl_ret_t
rcl_action_goal_handle_get_info(const rcl_action_goal_handle_t * goal_handle, rcl_action_goal_info_t * goal_info);

rcl_ret_t
rcl_action_goal_handle_get_status(const rcl_action_goal_handle_t * goal_handle, rcl_action_goal_state_t * status);

// ACCEPTED, EXECUTING or CANCELING.
bool rcl_action_goal_handle_is_active(const rcl_action_goal_handle_t * goal_handle);

// A cancel request may still move it to CANCELING: ACCEPTED or EXECUTING.
bool rcl_action_goal_handle_is_cancelable(const rcl_action_goal_handle_t * goal_handle);

#endif  // RCL_ACTION__GOAL_HANDLE_H_
