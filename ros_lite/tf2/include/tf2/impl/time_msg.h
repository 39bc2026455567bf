#ifndef TF2__IMPL__TIME_MSG_H_
#define TF2__IMPL__TIME_MSG_H_

#include <chrono>
#include <cstdint>

#include "builtin_interfaces/msg/time.hpp"
#include "tf2/time.h"

namespace tf2
{
namespace impl
{

// Stamps of messages and tf2 time points, shared by the buffer and the tf2_ros conversions.
inline TimePoint timeFromMsg(const builtin_interfaces::msg::Time & stamp)
{
  return TimePoint(std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec));
}

// A count of nanoseconds as a stamp or duration message (both hold sec and nanosec). Seconds
// are floored, so the nanoseconds stay in [0, 1e9) for negative counts too.
template<typename MsgT>
MsgT nanosecondsToMsg(int64_t ns)
{
  int64_t sec = ns / 1000000000LL;
  int64_t rest = ns % 1000000000LL;
  if (rest < 0) {
    rest += 1000000000LL;
    --sec;
  }
  MsgT msg;
  msg.sec = static_cast<int32_t>(sec);
  msg.nanosec = static_cast<uint32_t>(rest);
  return msg;
}

inline builtin_interfaces::msg::Time timeToMsg(const TimePoint & time)
{
  return nanosecondsToMsg<builtin_interfaces::msg::Time>(time.time_since_epoch().count());
}

}  // namespace impl
}  // namespace tf2

#endif  // TF2__IMPL__TIME_MSG_H_
