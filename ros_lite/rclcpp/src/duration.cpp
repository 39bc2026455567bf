#include "rclcpp/duration.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
{
  rcl_duration_.nanoseconds = RCL_S_TO_NS(static_cast<int64_t>(seconds));
  rcl_duration_.nanoseconds += nanoseconds;
}

Duration::Duration(std::chrono::nanoseconds nanoseconds)
{
  rcl_duration_.nanoseconds = nanoseconds.count();
}

Duration::Duration(const Duration & rhs) = default;

Duration::Duration(const builtin_interfaces::msg::Duration & duration_msg)
{
  rcl_duration_.nanoseconds = RCL_S_TO_NS(static_cast<rcl_duration_value_t>(duration_msg.sec));
  rcl_duration_.nanoseconds += static_cast<rcl_duration_value_t>(duration_msg.nanosec);
}

Duration::Duration(const rcl_duration_t & duration)
: rcl_duration_(duration)
{}

Duration::operator builtin_interfaces::msg::Duration() const
{
  builtin_interfaces::msg::Duration msg_duration;
  constexpr rcl_duration_value_t kDivisor = RCL_S_TO_NS(1);
  constexpr int32_t max_s = std::numeric_limits<int32_t>::max();
  constexpr int32_t min_s = std::numeric_limits<int32_t>::min();
  constexpr uint32_t max_ns = static_cast<uint32_t>(kDivisor - 1);
  const auto result = std::div(rcl_duration_.nanoseconds, kDivisor);
  if (result.rem >= 0) {
    if (result.quot > max_s) {
      msg_duration.sec = max_s;
      msg_duration.nanosec = max_ns;
    } else {
      msg_duration.sec = static_cast<int32_t>(result.quot);
      msg_duration.nanosec = static_cast<uint32_t>(result.rem);
    }
  } else {
    if (result.quot <= min_s) {
      msg_duration.sec = min_s;
      msg_duration.nanosec = 0u;
    } else {
      msg_duration.sec = static_cast<int32_t>(result.quot - 1);
      msg_duration.nanosec = static_cast<uint32_t>(kDivisor + result.rem);
    }
  }
  return msg_duration;
}

Duration & Duration::operator=(const Duration & rhs) = default;

Duration & Duration::operator=(const builtin_interfaces::msg::Duration & duration_msg)
{
  *this = Duration(duration_msg);
  return *this;
}

bool Duration::operator==(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds == rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator!=(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds != rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator<(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds < rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator<=(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds <= rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator>=(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds >= rhs.rcl_duration_.nanoseconds;
}

bool Duration::operator>(const rclcpp::Duration & rhs) const
{
  return rcl_duration_.nanoseconds > rhs.rcl_duration_.nanoseconds;
}

Duration Duration::operator+(const rclcpp::Duration & rhs) const
{
  if (rclcpp::add_will_overflow(rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds)) {
    throw std::overflow_error("addition leads to int64_t overflow");
  }
  if (rclcpp::add_will_underflow(rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds)) {
    throw std::underflow_error("addition leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(rcl_duration_.nanoseconds + rhs.rcl_duration_.nanoseconds);
}

Duration Duration::operator-(const rclcpp::Duration & rhs) const
{
  if (rclcpp::sub_will_overflow(rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds)) {
    throw std::overflow_error("duration subtraction leads to int64_t overflow");
  }
  if (rclcpp::sub_will_underflow(rcl_duration_.nanoseconds, rhs.rcl_duration_.nanoseconds)) {
    throw std::underflow_error("duration subtraction leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(rcl_duration_.nanoseconds - rhs.rcl_duration_.nanoseconds);
}

Duration Duration::operator*(double scale) const
{
  if (!std::isfinite(scale)) {
    throw std::runtime_error("abnormal scale in rclcpp::Duration");
  }
  const long double scaled = static_cast<long double>(rcl_duration_.nanoseconds) * scale;
  if (scaled > static_cast<long double>(std::numeric_limits<rcl_duration_value_t>::max())) {
    throw std::overflow_error("duration scaling leads to int64_t overflow");
  }
  if (scaled < static_cast<long double>(std::numeric_limits<rcl_duration_value_t>::min())) {
    throw std::underflow_error("duration scaling leads to int64_t underflow");
  }
  return Duration::from_nanoseconds(static_cast<rcl_duration_value_t>(scaled));
}

Duration Duration::max()
{
  return Duration(std::numeric_limits<int32_t>::max(), 999999999);
}

rcl_duration_value_t Duration::nanoseconds() const
{
  return rcl_duration_.nanoseconds;
}

double Duration::seconds() const
{
  return std::chrono::duration<double>(std::chrono::nanoseconds(rcl_duration_.nanoseconds)).count();
}

Duration Duration::from_seconds(double seconds)
{
  Duration ret;
  ret.rcl_duration_.nanoseconds = static_cast<int64_t>(RCL_S_TO_NS(seconds));
  return ret;
}

Duration Duration::from_nanoseconds(rcl_duration_value_t nanoseconds)
{
  Duration ret;
  ret.rcl_duration_.nanoseconds = nanoseconds;
  return ret;
}

Duration Duration::from_rmw_time(rmw_time_t duration)
{
  Duration ret;
  constexpr rcl_duration_value_t limit_ns = std::numeric_limits<rcl_duration_value_t>::max();
  constexpr rcl_duration_value_t limit_sec = RCL_NS_TO_S(limit_ns);
  if (duration.sec > static_cast<uint64_t>(limit_sec) ||
    duration.nsec > static_cast<uint64_t>(limit_ns))
  {
    ret.rcl_duration_.nanoseconds = limit_ns;
  } else {
    const uint64_t total_ns = RCL_S_TO_NS(duration.sec) + duration.nsec;
    ret.rcl_duration_.nanoseconds = total_ns > static_cast<uint64_t>(limit_ns) ?
      limit_ns : static_cast<rcl_duration_value_t>(total_ns);
  }
  return ret;
}

rmw_time_t Duration::to_rmw_time() const
{
  if (rcl_duration_.nanoseconds < 0) {
    throw std::runtime_error("rmw_time_t cannot be negative");
  }
  constexpr rcl_duration_value_t kDivisor = RCL_S_TO_NS(1);
  const auto result = std::div(rcl_duration_.nanoseconds, kDivisor);
  rmw_time_t result_time;
  result_time.sec = static_cast<uint64_t>(result.quot);
  result_time.nsec = static_cast<uint64_t>(result.rem);
  return result_time;
}

}  // namespace rclcpp
