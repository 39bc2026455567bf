#ifndef RCLCPP__TEST__ROS_SCOPE_HPP_
#define RCLCPP__TEST__ROS_SCOPE_HPP_

// rclcpp's own suites cannot use ros_lite_testing: that package is built on rclcpp, so it would
// make a dependency cycle. They carry the two aids they need themselves, written against the
// public API only: a default context started per test with its own command line, and a bounded
// spin.

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "rclcpp/executor.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp_test
{

// Shuts the default context down if it runs and initialises it again with these command-line
// arguments (the program name is prepended), without signal handlers.
inline void restart(const std::vector<std::string> & arguments = {})
{
  if (rclcpp::ok()) {
    rclcpp::shutdown();
  }
  std::vector<const char *> argv{"rclcpp_test"};
  for (const auto & argument : arguments) {
    argv.push_back(argument.c_str());
  }
  rclcpp::init(
    static_cast<int>(argv.size()), argv.data(), rclcpp::InitOptions(),
    rclcpp::SignalHandlerOptions::None);
}

// restart() for the lifetime of a test; shuts down at the end.
class ScopedRos
{
public:
  explicit ScopedRos(const std::vector<std::string> & arguments = {}) {restart(arguments);}
  ~ScopedRos() {rclcpp::shutdown();}
  ScopedRos(const ScopedRos &) = delete;
  ScopedRos & operator=(const ScopedRos &) = delete;
};

// Spins the executor one callback at a time until `condition` holds; false at the deadline.
inline bool spin_until(
  rclcpp::Executor & executor, const std::function<bool()> & condition,
  std::chrono::nanoseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || !rclcpp::ok()) {
      return condition();
    }
    executor.spin_once(
      std::min<std::chrono::nanoseconds>(deadline - now, std::chrono::milliseconds(10)));
  }
  return true;
}

}  // namespace rclcpp_test

#endif  // RCLCPP__TEST__ROS_SCOPE_HPP_
