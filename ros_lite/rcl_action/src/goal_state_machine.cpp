#include "rcl_action/goal_state_machine.h"

rcl_action_goal_info_t rcl_action_get_zero_initialized_goal_info(void)
{
  return rcl_action_goal_info_t{};
}

rcl_action_goal_state_t
rcl_action_transition_goal_state(const rcl_action_goal_state_t state, const rcl_action_goal_event_t event)
{
  switch (event) {
    case GOAL_EVENT_EXECUTE:
      return state == GOAL_STATE_ACCEPTED ? GOAL_STATE_EXECUTING : GOAL_STATE_UNKNOWN;
    case GOAL_EVENT_CANCEL_GOAL:
      return state == GOAL_STATE_ACCEPTED || state == GOAL_STATE_EXECUTING ?
             GOAL_STATE_CANCELING : GOAL_STATE_UNKNOWN;
    case GOAL_EVENT_SUCCEED:
      return state == GOAL_STATE_EXECUTING || state == GOAL_STATE_CANCELING ?
             GOAL_STATE_SUCCEEDED : GOAL_STATE_UNKNOWN;
    case GOAL_EVENT_ABORT:
      return state == GOAL_STATE_EXECUTING || state == GOAL_STATE_CANCELING ?
             GOAL_STATE_ABORTED : GOAL_STATE_UNKNOWN;
    case GOAL_EVENT_CANCELED:
      return state == GOAL_STATE_CANCELING ? GOAL_STATE_CANCELED : GOAL_STATE_UNKNOWN;
    case GOAL_EVENT_NUM_EVENTS:
      break;
  }
  return GOAL_STATE_UNKNOWN;
}
