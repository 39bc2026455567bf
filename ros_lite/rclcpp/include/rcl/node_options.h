#ifndef RCL__NODE_OPTIONS_H_
#define RCL__NODE_OPTIONS_H_

#include "rcl/allocator.h"
#include "rmw/types.h"

typedef struct rcl_node_options_s
{
  rcl_allocator_t allocator;
  bool use_global_arguments;
  bool enable_rosout;
  rmw_qos_profile_t rosout_qos;
} rcl_node_options_t;

#endif  // RCL__NODE_OPTIONS_H_
