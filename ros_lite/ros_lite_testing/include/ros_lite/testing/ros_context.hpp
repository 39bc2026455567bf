#ifndef ROS_LITE__TESTING__ROS_CONTEXT_HPP_
#define ROS_LITE__TESTING__ROS_CONTEXT_HPP_

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "rclcpp/executor.hpp"

namespace ros_lite
{
namespace testing
{

// Shuts the global default context down if it runs and initialises it again with these
// command-line arguments (the program name is prepended), without signal handlers. Lets each
// test start from its own `--ros-args ...` set.
void restart(const std::vector<std::string> & arguments = {});

// restart() for the lifetime of a test; shuts down at the end.
class ScopedRos
{
public:
  explicit ScopedRos(const std::vector<std::string> & arguments = {});
  ~ScopedRos();
  ScopedRos(const ScopedRos &) = delete;
  ScopedRos & operator=(const ScopedRos &) = delete;
};

// Spins the executor one callback at a time until `condition` holds; false at the deadline.
bool spin_until(
  rclcpp::Executor & executor, const std::function<bool()> & condition,
  std::chrono::nanoseconds timeout);

}  // namespace testing
}  // namespace ros_lite

#endif  // ROS_LITE__TESTING__ROS_CONTEXT_HPP_
