#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include <functional>
#include <memory>
#include <mutex>

#include "rcl/time.h"
#include "rclcpp/context.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp
{

class JumpHandler
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(JumpHandler)

  using pre_callback_t = std::function<void ()>;
  using post_callback_t = std::function<void (const rcl_time_jump_t &)>;

  JumpHandler(
    pre_callback_t pre_callback, post_callback_t post_callback,
    const rcl_jump_threshold_t & threshold);

  pre_callback_t pre_callback;
  post_callback_t post_callback;
  rcl_jump_threshold_t notice_threshold;
};

// System, steady or ROS time. ROS time follows the system clock: no time source overrides it in
// this process (there is no simulated clock), so ROS time is never "active" and no time jumps
// are ever reported to jump handlers.
class Clock
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  ~Clock();

  Time now();

  // Sleep until the clock reaches `until`; false if the context shut down first (or was not
  // valid). Throws std::runtime_error if `until` has another clock type.
  bool sleep_until(
    Time until,
    Context::SharedPtr context = contexts::get_global_default_context());
  bool sleep_for(
    Duration rel_time,
    Context::SharedPtr context = contexts::get_global_default_context());

  bool started();
  bool wait_until_started(Context::SharedPtr context = contexts::get_global_default_context());
  bool wait_until_started(
    const rclcpp::Duration & timeout,
    Context::SharedPtr context = contexts::get_global_default_context(),
    const rclcpp::Duration & wait_tick_ns = rclcpp::Duration(0, static_cast<uint32_t>(1e7)));

  bool ros_time_is_active();
  rcl_clock_t * get_clock_handle() noexcept;
  rcl_clock_type_t get_clock_type() const noexcept;
  std::mutex & get_clock_mutex() noexcept;

  JumpHandler::SharedPtr create_jump_callback(
    JumpHandler::pre_callback_t pre_callback,
    JumpHandler::post_callback_t post_callback,
    const rcl_jump_threshold_t & threshold);

private:
  rcl_clock_t rcl_clock_;
  std::mutex clock_mutex_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
