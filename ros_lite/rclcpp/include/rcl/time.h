#ifndef RCL__TIME_H_
#define RCL__TIME_H_

#include <cstdint>

#include "rcl/allocator.h"
#include "rcl/types.h"
#include "rcutils/time.h"

#define RCL_S_TO_NS RCUTILS_S_TO_NS
#define RCL_MS_TO_NS RCUTILS_MS_TO_NS
#define RCL_US_TO_NS RCUTILS_US_TO_NS
#define RCL_NS_TO_S RCUTILS_NS_TO_S
#define RCL_NS_TO_MS RCUTILS_NS_TO_MS
#define RCL_NS_TO_US RCUTILS_NS_TO_US

typedef enum rcl_clock_type_e
{
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
} rcl_clock_type_t;

typedef rcutils_time_point_value_t rcl_time_point_value_t;
typedef rcutils_duration_value_t rcl_duration_value_t;

typedef struct rcl_duration_s
{
  rcl_duration_value_t nanoseconds;
} rcl_duration_t;

typedef struct rcl_time_point_s
{
  rcl_time_point_value_t nanoseconds;
  rcl_clock_type_t clock_type;
} rcl_time_point_t;

typedef enum rcl_clock_change_e
{
  RCL_ROS_TIME_NO_CHANGE = 1,
  RCL_ROS_TIME_ACTIVATED = 2,
  RCL_ROS_TIME_DEACTIVATED = 3,
  RCL_SYSTEM_TIME_NO_CHANGE = 4
} rcl_clock_change_t;

typedef struct rcl_time_jump_s
{
  rcl_clock_change_t clock_change;
  rcl_duration_t delta;
} rcl_time_jump_t;

typedef struct rcl_jump_threshold_s
{
  bool on_clock_change;
  rcl_duration_t min_forward;
  rcl_duration_t min_backward;
} rcl_jump_threshold_t;

// Handle of a clock; the in-process clocks only need to know their type.
typedef struct rcl_clock_s
{
  rcl_clock_type_t type;
  rcl_allocator_t allocator;
} rcl_clock_t;

#endif  // RCL__TIME_H_
