#ifndef RCUTILS__LOGGING_H_
#define RCUTILS__LOGGING_H_

#include <cstddef>

#include "rcutils/time.h"
#include "rcutils/types/rcutils_ret.h"

// Severities and the process-wide logging backend. Output lines look like
//   [INFO] [1700000000.123456789] [logger.name]: message
// on stderr (stdout when RCUTILS_LOGGING_USE_STDOUT=1).

enum RCUTILS_LOG_SEVERITY
{
  RCUTILS_LOG_SEVERITY_UNSET = 0,
  RCUTILS_LOG_SEVERITY_DEBUG = 10,
  RCUTILS_LOG_SEVERITY_INFO = 20,
  RCUTILS_LOG_SEVERITY_WARN = 30,
  RCUTILS_LOG_SEVERITY_ERROR = 40,
  RCUTILS_LOG_SEVERITY_FATAL = 50,
};

#define RCUTILS_DEFAULT_LOGGER_DEFAULT_LEVEL RCUTILS_LOG_SEVERITY_INFO

typedef struct rcutils_log_location_s
{
  const char * function_name;
  const char * file_name;
  size_t line_number;
} rcutils_log_location_t;

typedef rcutils_ret_t (* RclLogTimeSource)(rcutils_time_point_value_t *);

void rcutils_log(
  const rcutils_log_location_t * location, int severity, const char * name,
  const char * format, ...) __attribute__((format(printf, 4, 5)));

bool rcutils_logging_logger_is_enabled_for(const char * name, int severity);
int rcutils_logging_get_logger_effective_level(const char * name);
int rcutils_logging_get_logger_level(const char * name);
rcutils_ret_t rcutils_logging_set_logger_level(const char * name, int level);
int rcutils_logging_get_default_logger_level();
void rcutils_logging_set_default_logger_level(int level);
// Parses "debug", "INFO", ... into a severity; returns RCUTILS_RET_INVALID_ARGUMENT if unknown.
rcutils_ret_t rcutils_logging_severity_level_from_string(
  const char * severity_string, void * allocator, int * severity);

#endif  // RCUTILS__LOGGING_H_
