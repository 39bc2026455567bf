#include "tf2/time.h"

#include <cmath>
#include <cstdio>

namespace tf2
{

TimePoint get_now()
{
  return std::chrono::time_point_cast<Duration>(std::chrono::system_clock::now());
}

Duration durationFromSec(double t_sec)
{
  return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(t_sec));
}

TimePoint timeFromSec(double t_sec)
{
  return TimePoint(durationFromSec(t_sec));
}

double durationToSec(const tf2::Duration & input)
{
  return std::chrono::duration<double>(input).count();
}

double timeToSec(const TimePoint & timepoint)
{
  return durationToSec(timepoint.time_since_epoch());
}

std::string displayTimePoint(const TimePoint & stamp)
{
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.6f", timeToSec(stamp));
  return buffer;
}

}  // namespace tf2
