#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>

#include "builtin_interfaces/msg/duration.hpp"
#include "rcl/time.h"
#include "rmw/types.h"

namespace rclcpp
{

class Time;

class Duration
{
public:
  Duration(int32_t seconds, uint32_t nanoseconds);
  explicit Duration(std::chrono::nanoseconds nanoseconds);

  // Implicit from any chrono duration (truncated to nanoseconds).
  template<class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period> & duration)  // NOLINT(runtime/explicit)
  : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration))
  {}

  Duration(const builtin_interfaces::msg::Duration & duration_msg);  // NOLINT(runtime/explicit)
  explicit Duration(const rcl_duration_t & duration);
  Duration(const Duration & rhs);
  virtual ~Duration() = default;

  // Saturates at the limits of the message (int32 seconds).
  operator builtin_interfaces::msg::Duration() const;

  Duration & operator=(const Duration & rhs);
  Duration & operator=(const builtin_interfaces::msg::Duration & duration_msg);

  bool operator==(const rclcpp::Duration & rhs) const;
  bool operator!=(const rclcpp::Duration & rhs) const;
  bool operator<(const rclcpp::Duration & rhs) const;
  bool operator<=(const rclcpp::Duration & rhs) const;
  bool operator>=(const rclcpp::Duration & rhs) const;
  bool operator>(const rclcpp::Duration & rhs) const;

  // Throw std::overflow_error / std::underflow_error when the result leaves int64 nanoseconds.
  Duration operator+(const rclcpp::Duration & rhs) const;
  Duration operator-(const rclcpp::Duration & rhs) const;
  // Throws std::runtime_error for a non-finite scale, std::overflow_error on overflow.
  Duration operator*(double scale) const;

  static Duration max();

  rcl_duration_value_t nanoseconds() const;
  double seconds() const;

  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(rcl_duration_value_t nanoseconds);
  static Duration from_rmw_time(rmw_time_t duration);

  template<class DurationT>
  DurationT to_chrono() const
  {
    return std::chrono::duration_cast<DurationT>(std::chrono::nanoseconds(this->nanoseconds()));
  }

  // Throws std::runtime_error for a negative duration.
  rmw_time_t to_rmw_time() const;

private:
  rcl_duration_t rcl_duration_;
  Duration() = default;

  friend class Time;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
