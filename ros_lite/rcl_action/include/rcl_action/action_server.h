#ifndef RCL_ACTION__ACTION_SERVER_H_
#define RCL_ACTION__ACTION_SERVER_H_

#include "rcl/allocator.h"
#include "rcl/time.h"
#include "rcl_action/default_qos.h"
#include "rcl_action/goal_handle.h"
#include "rcl_action/types.h"
#include "rmw/types.h"

// In process, `result_service_qos` limits how many result requests wait per unfinished goal
// (KEEP_LAST depth; KEEP_ALL or depth 0: no limit) and `result_timeout` how long a finished
// goal's result is kept; the other profiles are carried but have no effect.
typedef struct rcl_action_server_options_s
{
  rmw_qos_profile_t goal_service_qos;
  rmw_qos_profile_t cancel_service_qos;
  rmw_qos_profile_t result_service_qos;
  rmw_qos_profile_t feedback_topic_qos;
  rmw_qos_profile_t status_topic_qos;
  rcl_allocator_t allocator;
  rcl_duration_t result_timeout;
} rcl_action_server_options_t;

// Service profiles for the three services, the default topic profile for feedback, the status
// default for status, a result timeout of 15 minutes.
rcl_action_server_options_t rcl_action_server_get_default_options(void);

#endif  // RCL_ACTION__ACTION_SERVER_H_
