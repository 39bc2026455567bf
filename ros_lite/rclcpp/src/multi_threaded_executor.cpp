#include "rclcpp/executors/multi_threaded_executor.hpp"

#include <algorithm>
#include <thread>
#include <vector>

namespace rclcpp
{
namespace executors
{

MultiThreadedExecutor::MultiThreadedExecutor(
  const rclcpp::ExecutorOptions & options,
  size_t number_of_threads,
  bool yield_before_execute,
  std::chrono::nanoseconds timeout)
: rclcpp::Executor(options),
  number_of_threads_(
    number_of_threads > 0 ? number_of_threads :
    std::max<size_t>(std::thread::hardware_concurrency(), 2)),
  yield_before_execute_(yield_before_execute),
  next_exec_timeout_(timeout)
{}

MultiThreadedExecutor::~MultiThreadedExecutor() {}

void MultiThreadedExecutor::spin()
{
  SpinningGuard guard(spinning, "spin() called while already spinning");
  std::vector<std::thread> threads;
  for (size_t i = 1; i < number_of_threads_; ++i) {
    threads.emplace_back([this]() {run();});
  }
  run();
  for (auto & thread : threads) {
    thread.join();
  }
}

size_t MultiThreadedExecutor::get_number_of_threads()
{
  return number_of_threads_;
}

void MultiThreadedExecutor::run()
{
  while (rclcpp::ok(this->context_) && spinning.load()) {
    AnyExecutable any_executable;
    if (!wait_for_executable(any_executable, next_exec_timeout_)) {
      continue;
    }
    if (yield_before_execute_) {
      std::this_thread::yield();
    }
    execute_any_executable(any_executable);
  }
}

}  // namespace executors
}  // namespace rclcpp
