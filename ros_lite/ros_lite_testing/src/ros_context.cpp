#include "ros_lite/testing/ros_context.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "rclcpp/utilities.hpp"

namespace ros_lite
{
namespace testing
{

void restart(const std::vector<std::string> & arguments)
{
  if (rclcpp::ok()) {
    rclcpp::shutdown();
  }
  std::vector<const char *> argv{"ros_lite_test"};
  for (const auto & argument : arguments) {
    argv.push_back(argument.c_str());
  }
  rclcpp::init(
    static_cast<int>(argv.size()), argv.data(), rclcpp::InitOptions(),
    rclcpp::SignalHandlerOptions::None);
}

ScopedRos::ScopedRos(const std::vector<std::string> & arguments)
{
  restart(arguments);
}

ScopedRos::~ScopedRos()
{
  rclcpp::shutdown();
}

bool spin_until(
  rclcpp::Executor & executor, const std::function<bool()> & condition,
  std::chrono::nanoseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || !rclcpp::ok()) {
      return condition();
    }
    executor.spin_once(std::min<std::chrono::nanoseconds>(deadline - now, std::chrono::milliseconds(10)));
  }
  return true;
}

}  // namespace testing
}  // namespace ros_lite
