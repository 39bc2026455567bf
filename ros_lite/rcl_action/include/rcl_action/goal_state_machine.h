#ifndef RCL_ACTION__GOAL_STATE_MACHINE_H_
#define RCL_ACTION__GOAL_STATE_MACHINE_H_

#include "rcl_action/types.h"

// The state a goal in `state` moves to on `event`, or GOAL_STATE_UNKNOWN when the event is not
// allowed in that state:
//   ACCEPTED  --execute--> EXECUTING
//   ACCEPTED, EXECUTING --cancel_goal--> CANCELING
//   EXECUTING, CANCELING --succeed--> SUCCEEDED, --abort--> ABORTED
//   CANCELING --canceled--> CANCELED
rcl_action_goal_state_t
rcl_action_transition_goal_state(
  const rcl_action_goal_state_t state,
  const rcl_action_goal_event_t event);

#endif  // RCL_ACTION__GOAL_STATE_MACHINE_H_
