#ifndef RCL_ACTION__ACTION_CLIENT_H_
#define RCL_ACTION__ACTION_CLIENT_H_

#include "rcl/allocator.h"
#include "rcl_action/default_qos.h"
#include "rcl_action/types.h"
#include "rmw/types.h"

// Carried for interface compatibility; the in-process client has no queues these would size.
typedef struct rcl_action_client_options_s
{
  rmw_qos_profile_t goal_service_qos;
  rmw_qos_profile_t result_service_qos;
  rmw_qos_profile_t cancel_service_qos;
  rmw_qos_profile_t feedback_topic_qos;
  rmw_qos_profile_t status_topic_qos;
  rcl_allocator_t allocator;
} rcl_action_client_options_t;

rcl_action_client_options_t rcl_action_client_get_default_options(void);

#endif  // RCL_ACTION__ACTION_CLIENT_H_
