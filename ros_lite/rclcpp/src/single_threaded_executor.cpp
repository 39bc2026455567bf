#include "rclcpp/executors/single_threaded_executor.hpp"

namespace rclcpp
{
namespace executors
{

SingleThreadedExecutor::SingleThreadedExecutor(const rclcpp::ExecutorOptions & options)
: rclcpp::Executor(options) {}

SingleThreadedExecutor::~SingleThreadedExecutor() {}

void SingleThreadedExecutor::spin()
{
  SpinningGuard guard(spinning, "spin() called while already spinning");
  while (rclcpp::ok(this->context_) && spinning.load()) {
    spin_once_impl(std::chrono::nanoseconds(-1));
  }
}

}  // namespace executors
}  // namespace rclcpp
