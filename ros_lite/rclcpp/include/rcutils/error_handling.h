#ifndef RCUTILS__ERROR_HANDLING_H_
#define RCUTILS__ERROR_HANDLING_H_

#include <cstddef>
#include <cstdint>

#define RCUTILS_ERROR_MESSAGE_MAX_LENGTH 1024
#define RCUTILS_ERROR_STATE_MESSAGE_MAX_LENGTH 768
#define RCUTILS_ERROR_STATE_FILE_MAX_LENGTH 229

// Error state of the calling thread, as the C layers keep it.
typedef struct rcutils_error_state_s
{
  char message[RCUTILS_ERROR_STATE_MESSAGE_MAX_LENGTH];
  char file[RCUTILS_ERROR_STATE_FILE_MAX_LENGTH];
  uint64_t line_number;
} rcutils_error_state_t;

typedef struct rcutils_error_string_s
{
  char str[RCUTILS_ERROR_MESSAGE_MAX_LENGTH];
} rcutils_error_string_t;

void rcutils_set_error_state(const char * error_string, const char * file, size_t line_number);
bool rcutils_error_is_set();
const rcutils_error_state_t * rcutils_get_error_state();
rcutils_error_string_t rcutils_get_error_string();
void rcutils_reset_error();

#define RCUTILS_SET_ERROR_MSG(msg) rcutils_set_error_state(msg, __FILE__, __LINE__)

#endif  // RCUTILS__ERROR_HANDLING_H_
