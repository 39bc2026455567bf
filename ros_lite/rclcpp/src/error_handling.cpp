#include "rcutils/error_handling.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

struct ThreadErrorState
{
  rcutils_error_state_t state{};
  bool is_set = false;
};

ThreadErrorState & thread_error_state()
{
  thread_local ThreadErrorState error_state;
  return error_state;
}

void copy_truncated(char * destination, size_t capacity, const char * source)
{
  std::snprintf(destination, capacity, "%s", source == nullptr ? "" : source);
}

}  // namespace

void rcutils_set_error_state(const char * error_string, const char * file, size_t line_number)
{
  auto & error_state = thread_error_state();
  copy_truncated(error_state.state.message, sizeof(error_state.state.message), error_string);
  copy_truncated(error_state.state.file, sizeof(error_state.state.file), file);
  error_state.state.line_number = line_number;
  error_state.is_set = true;
}

bool rcutils_error_is_set()
{
  return thread_error_state().is_set;
}

const rcutils_error_state_t * rcutils_get_error_state()
{
  return &thread_error_state().state;
}

rcutils_error_string_t rcutils_get_error_string()
{
  rcutils_error_string_t error_string{};
  const auto & error_state = thread_error_state();
  if (!error_state.is_set) {
    copy_truncated(error_string.str, sizeof(error_string.str), "error not set");
    return error_string;
  }
  const std::string text = std::string(error_state.state.message) + ", at " +
    error_state.state.file + ":" + std::to_string(error_state.state.line_number);
  copy_truncated(error_string.str, sizeof(error_string.str), text.c_str());
  return error_string;
}

void rcutils_reset_error()
{
  thread_error_state() = ThreadErrorState{};
}
