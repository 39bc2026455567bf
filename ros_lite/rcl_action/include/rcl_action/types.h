#ifndef RCL_ACTION__TYPES_H_
#define RCL_ACTION__TYPES_H_

#include <stddef.h>
#include <stdint.h>

#include "rcl/types.h"

#define RCL_RET_ACTION_NAME_INVALID 2000
#define RCL_RET_ACTION_GOAL_ACCEPTED 2100
#define RCL_RET_ACTION_GOAL_REJECTED 2101
#define RCL_RET_ACTION_CLIENT_INVALID 2102
#define RCL_RET_ACTION_CLIENT_TAKE_FAILED 2103
#define RCL_RET_ACTION_SERVER_INVALID 2200
#define RCL_RET_ACTION_SERVER_TAKE_FAILED 2201
#define RCL_RET_ACTION_GOAL_HANDLE_INVALID 2300
#define RCL_RET_ACTION_GOAL_EVENT_INVALID 2301

#define UUID_SIZE 16

// Same values as action_msgs/msg/GoalStatus.
typedef int8_t rcl_action_goal_state_t;
#define GOAL_STATE_UNKNOWN 0
#define GOAL_STATE_ACCEPTED 1
#define GOAL_STATE_EXECUTING 2
#define GOAL_STATE_CANCELING 3
#define GOAL_STATE_SUCCEEDED 4
#define GOAL_STATE_CANCELED 5
#define GOAL_STATE_ABORTED 6
#define GOAL_STATE_NUM_STATES 7

typedef enum rcl_action_goal_event_e
{
  GOAL_EVENT_EXECUTE = 0,
  GOAL_EVENT_CANCEL_GOAL,
  GOAL_EVENT_SUCCEED,
  GOAL_EVENT_ABORT,
  GOAL_EVENT_CANCELED,
  GOAL_EVENT_NUM_EVENTS
} rcl_action_goal_event_t;

// Plain-data twin of action_msgs/msg/GoalInfo, as the C layer sees it.
typedef struct rcl_action_uuid_s
{
  uint8_t uuid[UUID_SIZE];
} rcl_action_uuid_t;

typedef struct rcl_action_time_s
{
  int32_t sec;
  uint32_t nanosec;
} rcl_action_time_t;

typedef struct rcl_action_goal_info_s
{
  rcl_action_uuid_t goal_id;
  rcl_action_time_t stamp;
} rcl_action_goal_info_t;

rcl_action_goal_info_t rcl_action_get_zero_initialized_goal_info(void);

#endif  // RCL_ACTION__TYPES_H_
