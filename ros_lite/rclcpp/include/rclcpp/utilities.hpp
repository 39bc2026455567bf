#ifndef RCLCPP__UTILITIES_HPP_
#define RCLCPP__UTILITIES_HPP_

#include <chrono>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/init_options.hpp"

namespace rclcpp
{

enum class SignalHandlerOptions
{
  All,
  SigInt,
  SigTerm,
  None,
};

// Initialises the global default context with the process arguments. ROS arguments follow
// `--ros-args` (until `--`): `--params-file FILE`, `-p name:=value` / `--param name:=value`,
// `--log-level [logger:=]level`. Throws rclcpp::ContextAlreadyInitialized if already
// initialised, exceptions::UnknownROSArgsError for other ROS arguments and
// exceptions::RCLInvalidROSArgsError (naming the file and line, or the argument) for a params file
// or a value that cannot be parsed. SIGINT/SIGTERM then shut the context down.
void init(
  int argc, char const * const * argv,
  const InitOptions & init_options = InitOptions(),
  SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

bool install_signal_handlers(SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);
bool signal_handlers_installed();
SignalHandlerOptions get_current_signal_handler_options();
bool uninstall_signal_handlers();

std::vector<std::string> init_and_remove_ros_arguments(
  int argc, char const * const * argv, const InitOptions & init_options = InitOptions());
// The arguments without the ROS ones (and without the `--ros-args` / `--` markers).
std::vector<std::string> remove_ros_arguments(int argc, char const * const * argv);

// False before init and after shutdown.
bool ok(rclcpp::Context::SharedPtr context = nullptr);
bool is_initialized(rclcpp::Context::SharedPtr context = nullptr);
// Returns false if the context was already shut down.
bool shutdown(
  rclcpp::Context::SharedPtr context = nullptr,
  const std::string & reason = "user called rclcpp::shutdown()");
void on_shutdown(std::function<void()> callback, rclcpp::Context::SharedPtr context = nullptr);
// Returns false when interrupted by shutdown (or when the context is not valid).
bool sleep_for(
  const std::chrono::nanoseconds & nanoseconds,
  rclcpp::Context::SharedPtr context = nullptr);

template<typename T>
bool add_will_overflow(const T x, const T y)
{
  return (y > 0) && (x > (std::numeric_limits<T>::max() - y));
}

template<typename T>
bool add_will_underflow(const T x, const T y)
{
  return (y < 0) && (x < (std::numeric_limits<T>::min() - y));
}

template<typename T>
bool sub_will_overflow(const T x, const T y)
{
  return (y < 0) && (x > (std::numeric_limits<T>::max() + y));
}

template<typename T>
bool sub_will_underflow(const T x, const T y)
{
  return (y > 0) && (x < (std::numeric_limits<T>::min() + y));
}

const char * get_c_string(const char * string_in);
const char * get_c_string(const std::string & string_in);

}  // namespace rclcpp

#endif  // RCLCPP__UTILITIES_HPP_
