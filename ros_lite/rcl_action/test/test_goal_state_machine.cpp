// The goal state machine of the C action layer and the goal handles that follow it.
#include <gtest/gtest.h>

#include <vector>

#include "rcl_action/goal_handle.h"
#include "rcl_action/goal_state_machine.h"

namespace
{

TEST(GoalStateMachine, AllowsOnlyTheDocumentedTransitions)
{
  struct Case
  {
    rcl_action_goal_state_t from;
    rcl_action_goal_event_t event;
    rcl_action_goal_state_t to;
  };
  const std::vector<Case> allowed = {
    {GOAL_STATE_ACCEPTED, GOAL_EVENT_EXECUTE, GOAL_STATE_EXECUTING},
    {GOAL_STATE_ACCEPTED, GOAL_EVENT_CANCEL_GOAL, GOAL_STATE_CANCELING},
    {GOAL_STATE_EXECUTING, GOAL_EVENT_CANCEL_GOAL, GOAL_STATE_CANCELING},
    {GOAL_STATE_EXECUTING, GOAL_EVENT_SUCCEED, GOAL_STATE_SUCCEEDED},
    {GOAL_STATE_EXECUTING, GOAL_EVENT_ABORT, GOAL_STATE_ABORTED},
    {GOAL_STATE_CANCELING, GOAL_EVENT_SUCCEED, GOAL_STATE_SUCCEEDED},
    {GOAL_STATE_CANCELING, GOAL_EVENT_ABORT, GOAL_STATE_ABORTED},
    {GOAL_STATE_CANCELING, GOAL_EVENT_CANCELED, GOAL_STATE_CANCELED},
  };
  for (rcl_action_goal_state_t state = GOAL_STATE_UNKNOWN; state < GOAL_STATE_NUM_STATES; ++state) {
    for (int event = 0; event < GOAL_EVENT_NUM_EVENTS; ++event) {
      rcl_action_goal_state_t expected = GOAL_STATE_UNKNOWN;
      for (const auto & c : allowed) {
        if (c.from == state && c.event == event) {
          expected = c.to;
        }
      }
      EXPECT_EQ(expected, rcl_action_transition_goal_state(state, static_cast<rcl_action_goal_event_t>(event)))
        << "state " << int(state) << " event " << event;
    }
  }
}

TEST(GoalStateMachine, HandleRejectsInvalidEventWithoutChangingState)
{
  rcl_action_goal_info_t goal_info = rcl_action_get_zero_initialized_goal_info();
  rcl_action_goal_handle_t handle = rcl_action_make_goal_handle(&goal_info);
  EXPECT_TRUE(rcl_action_goal_handle_is_cancelable(&handle));
  EXPECT_EQ(RCL_RET_ACTION_GOAL_EVENT_INVALID, rcl_action_update_goal_state(&handle, GOAL_EVENT_SUCCEED));
  rcl_action_goal_state_t state = GOAL_STATE_UNKNOWN;
  ASSERT_EQ(RCL_RET_OK, rcl_action_goal_handle_get_status(&handle, &state));
  EXPECT_EQ(GOAL_STATE_ACCEPTED, state);
  ASSERT_EQ(RCL_RET_OK, rcl_action_update_goal_state(&handle, GOAL_EVENT_EXECUTE));
  ASSERT_EQ(RCL_RET_OK, rcl_action_update_goal_state(&handle, GOAL_EVENT_ABORT));
  EXPECT_FALSE(rcl_action_goal_handle_is_active(&handle));
  EXPECT_FALSE(rcl_action_goal_handle_is_cancelable(&handle));
  EXPECT_EQ(RCL_RET_ACTION_GOAL_HANDLE_INVALID, rcl_action_update_goal_state(nullptr, GOAL_EVENT_EXECUTE));
}

}  // namespace
