#ifndef RCL__NODE_H_
#define RCL__NODE_H_

#include "rcl/allocator.h"
#include "rcl/node_options.h"
#include "rcl/types.h"

// Node handle as the C layer hands it out. The in-process node keeps its names here so that
// code holding only the handle (e.g. rclcpp::get_node_logger) can still find them.
typedef struct rcl_node_s
{
  const char * name;
  const char * namespace_;
  const char * logger_name;
} rcl_node_t;

#endif  // RCL__NODE_H_
