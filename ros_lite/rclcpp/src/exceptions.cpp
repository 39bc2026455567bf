#include "rclcpp/exceptions/exceptions.hpp"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp
{
namespace exceptions
{

std::string
NameValidationError::format_error(
  const char * name_type, const char * name, const char * error_msg, size_t invalid_index)
{
  std::string msg;
  msg += std::string("Invalid ") + name_type + ": " + error_msg + ":\n";
  msg += std::string("  ") + name + "\n";
  msg += std::string("  ") + std::string(invalid_index, ' ') + "^\n";
  return msg;
}

RCLErrorBase::RCLErrorBase(rcl_ret_t ret_, const rcl_error_state_t * error_state)
: ret(ret_), message(error_state->message), file(error_state->file),
  line(error_state->line_number),
  formatted_message(
    std::string(error_state->message) + ", at " + error_state->file + ":" +
    std::to_string(error_state->line_number))
{}

namespace
{

// Error of in-process code: no rcl source location, the message is the whole text.
RCLErrorBase message_error_base(const std::string & message)
{
  rcl_error_state_t error_state{};
  RCLErrorBase base(RCL_RET_ERROR, &error_state);
  base.message = message;
  base.formatted_message = message;
  return base;
}

std::string prefixed(const std::string & prefix, const std::string & message)
{
  return prefix.empty() ? message : prefix + ": " + message;
}

}  // namespace

RCLError::RCLError(
  rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLError(RCLErrorBase(ret, error_state), prefix)
{}

RCLError::RCLError(const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::runtime_error(prefixed(prefix, base_exc.formatted_message))
{}

RCLError::RCLError(const std::string & message_text)
: RCLErrorBase(message_error_base(message_text)), std::runtime_error(message_text)
{}

RCLBadAlloc::RCLBadAlloc(rcl_ret_t ret, const rcl_error_state_t * error_state)
: RCLBadAlloc(RCLErrorBase(ret, error_state))
{}

RCLBadAlloc::RCLBadAlloc(const RCLErrorBase & base_exc)
: RCLErrorBase(base_exc), std::bad_alloc()
{}

RCLInvalidArgument::RCLInvalidArgument(
  rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLInvalidArgument(RCLErrorBase(ret, error_state), prefix)
{}

RCLInvalidArgument::RCLInvalidArgument(const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::invalid_argument(prefixed(prefix, base_exc.formatted_message))
{}

RCLInvalidROSArgsError::RCLInvalidROSArgsError(
  rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLInvalidROSArgsError(RCLErrorBase(ret, error_state), prefix)
{}

RCLInvalidROSArgsError::RCLInvalidROSArgsError(
  const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::runtime_error(prefixed(prefix, base_exc.formatted_message))
{}

namespace
{

std::string join_unknown_args(const std::vector<std::string> & unknown_ros_args)
{
  std::string joined;
  for (const auto & arg : unknown_ros_args) {
    joined += (joined.empty() ? "'" : ", '") + arg + "'";
  }
  return "found unknown ROS arguments: " + joined;
}

}  // namespace

UnknownROSArgsError::UnknownROSArgsError(std::vector<std::string> && unknown_ros_args_in)
: std::runtime_error(join_unknown_args(unknown_ros_args_in)),
  unknown_ros_args(std::move(unknown_ros_args_in))
{}

void
throw_from_rcl_error(
  rcl_ret_t ret,
  const std::string & prefix,
  const rcl_error_state_t * error_state,
  reset_error_function_t reset_error)
{
  if (RCL_RET_OK == ret) {
    throw std::invalid_argument("ret is RCL_RET_OK");
  }
  if (!error_state) {
    error_state = rcl_get_error_state();
  }
  if (!error_state) {
    throw std::runtime_error("rcl error state is not set");
  }
  const RCLErrorBase base_exc(ret, error_state);
  if (reset_error) {
    reset_error();
  }
  switch (ret) {
    case RCL_RET_BAD_ALLOC:
      throw RCLBadAlloc(base_exc);
    case RCL_RET_INVALID_ARGUMENT:
      throw RCLInvalidArgument(base_exc, prefix);
    case RCL_RET_INVALID_ROS_ARGS:
      throw RCLInvalidROSArgsError(base_exc, prefix);
    default:
      throw RCLError(base_exc, prefix);
  }
}

}  // namespace exceptions
}  // namespace rclcpp
