#ifndef GEOMETRY_ANGLES_UTILS_H
#define GEOMETRY_ANGLES_UTILS_H

#include <cmath>

namespace angles
{

// Degrees to radians.
static inline double from_degrees(double degrees)
{
  return degrees * M_PI / 180.0;
}

// Radians to degrees.
static inline double to_degrees(double radians)
{
  return radians * 180.0 / M_PI;
}

// The angle brought into [0, 2*pi).
static inline double normalize_angle_positive(double angle)
{
  const double result = std::fmod(angle, 2.0 * M_PI);
  if (result < 0) {
    return result + 2.0 * M_PI;
  }
  return result;
}

// The angle brought into (-pi, pi]: an angle of exactly -pi comes back as pi.
static inline double normalize_angle(double angle)
{
  const double result = std::fmod(angle + M_PI, 2.0 * M_PI);
  if (result <= 0.0) {
    return result + M_PI;
  }
  return result - M_PI;
}

// The signed turn of smallest size that takes `from` to `to`, in (-pi, pi]; positive is
// counter-clockwise.
static inline double shortest_angular_distance(double from, double to)
{
  return normalize_angle(to - from);
}

// The same turn taken the other way round the circle: angle - 2*pi for a positive angle,
// angle + 2*pi for a negative one, and 2*pi for zero. Angles beyond a full turn are first
// reduced to within one.
static inline double two_pi_complement(double angle)
{
  if (angle > 2 * M_PI || angle < -2.0 * M_PI) {
    angle = std::fmod(angle, 2.0 * M_PI);
  }
  if (angle < 0) {
    return 2 * M_PI + angle;
  } else if (angle > 0) {
    return -2 * M_PI + angle;
  }
  return 2 * M_PI;
}

}  // namespace angles

#endif  // GEOMETRY_ANGLES_UTILS_H
