#ifndef TF2__IMPL__UTILS_H_
#define TF2__IMPL__UTILS_H_

#include <cmath>

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/transform_datatypes.h"

namespace tf2
{
namespace impl
{

inline tf2::Quaternion toQuaternion(const tf2::Quaternion & q)
{
  return q;
}

template<typename T>
tf2::Quaternion toQuaternion(const tf2::Stamped<T> & t)
{
  return toQuaternion(static_cast<const T &>(t));
}

// Any message with a conversion to tf2::Quaternion (geometry_msgs::msg::Quaternion needs
// tf2_geometry_msgs/tf2_geometry_msgs.hpp); found by argument-dependent lookup when used.
template<typename T>
tf2::Quaternion toQuaternion(const T & t)
{
  tf2::Quaternion q;
  fromMsg(t, q);
  return q;
}

// Z-Y-X (yaw, pitch, roll) decomposition of a quaternion of any length. At pitch +-pi/2 yaw and
// roll turn about the same axis; the whole rotation is then reported as yaw.
inline void getEulerYPR(const tf2::Quaternion & q, double & yaw, double & pitch, double & roll)
{
  const double norm2 = q.x() * q.x() + q.y() * q.y() + q.z() * q.z() + q.w() * q.w();
  const double sin_pitch = 2.0 * (q.w() * q.y() - q.x() * q.z()) / norm2;
  if (std::abs(sin_pitch) >= 0.99999) {
    pitch = std::copysign(TF2SIMD_HALF_PI, sin_pitch);
    roll = 0.0;
    const double half = std::atan2(q.z(), q.w());
    yaw = std::atan2(std::sin(2.0 * half), std::cos(2.0 * half));
    return;
  }
  pitch = std::asin(sin_pitch);
  roll = std::atan2(
    2.0 * (q.w() * q.x() + q.y() * q.z()),
    q.w() * q.w() - q.x() * q.x() - q.y() * q.y() + q.z() * q.z());
  yaw = std::atan2(
    2.0 * (q.w() * q.z() + q.x() * q.y()),
    q.w() * q.w() + q.x() * q.x() - q.y() * q.y() - q.z() * q.z());
}

inline double getYaw(const tf2::Quaternion & q)
{
  double yaw;
  double pitch;
  double roll;
  getEulerYPR(q, yaw, pitch, roll);
  return yaw;
}

}  // namespace impl
}  // namespace tf2

#endif  // TF2__IMPL__UTILS_H_
