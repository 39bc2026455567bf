#ifndef TF2__LINEARMATH__SCALAR_H_
#define TF2__LINEARMATH__SCALAR_H_

#include <cfloat>
#include <cmath>

// tf2's linear algebra is double precision throughout.
typedef double tf2Scalar;

#define TF2SIMD_FORCE_INLINE inline
#define TF2SIMD_PI tf2Scalar(3.1415926535897932384626433832795029)
#define TF2SIMD_2_PI (tf2Scalar(2.0) * TF2SIMD_PI)
#define TF2SIMD_HALF_PI (TF2SIMD_PI * tf2Scalar(0.5))
#define TF2SIMD_RADS_PER_DEG (TF2SIMD_2_PI / tf2Scalar(360.0))
#define TF2SIMD_DEGS_PER_RAD (tf2Scalar(360.0) / TF2SIMD_2_PI)
#define TF2SIMD_EPSILON DBL_EPSILON
#define TF2SIMD_INFINITY DBL_MAX

inline tf2Scalar tf2Sqrt(tf2Scalar x) {return std::sqrt(x);}
inline tf2Scalar tf2Fabs(tf2Scalar x) {return std::fabs(x);}
inline tf2Scalar tf2Cos(tf2Scalar x) {return std::cos(x);}
inline tf2Scalar tf2Sin(tf2Scalar x) {return std::sin(x);}
inline tf2Scalar tf2Tan(tf2Scalar x) {return std::tan(x);}
inline tf2Scalar tf2Atan(tf2Scalar x) {return std::atan(x);}
inline tf2Scalar tf2Atan2(tf2Scalar y, tf2Scalar x) {return std::atan2(y, x);}
inline tf2Scalar tf2Exp(tf2Scalar x) {return std::exp(x);}
inline tf2Scalar tf2Log(tf2Scalar x) {return std::log(x);}
inline tf2Scalar tf2Pow(tf2Scalar x, tf2Scalar y) {return std::pow(x, y);}
inline tf2Scalar tf2Fmod(tf2Scalar x, tf2Scalar y) {return std::fmod(x, y);}

// acos/asin clamp their argument: rounding can push a cosine a hair past +-1.
inline tf2Scalar tf2Acos(tf2Scalar x)
{
  if (x < tf2Scalar(-1)) {x = tf2Scalar(-1);}
  if (x > tf2Scalar(1)) {x = tf2Scalar(1);}
  return std::acos(x);
}
inline tf2Scalar tf2Asin(tf2Scalar x)
{
  if (x < tf2Scalar(-1)) {x = tf2Scalar(-1);}
  if (x > tf2Scalar(1)) {x = tf2Scalar(1);}
  return std::asin(x);
}

inline bool tf2FuzzyZero(tf2Scalar x) {return tf2Fabs(x) < TF2SIMD_EPSILON;}
inline bool tf2Equal(tf2Scalar a, tf2Scalar eps) {return (a <= eps) && !(a < -eps);}
inline bool tf2GreaterEqual(tf2Scalar a, tf2Scalar eps) {return !(a <= eps);}
inline int tf2IsNegative(tf2Scalar x) {return x < tf2Scalar(0.0) ? 1 : 0;}
inline tf2Scalar tf2Radians(tf2Scalar x) {return x * TF2SIMD_RADS_PER_DEG;}
inline tf2Scalar tf2Degrees(tf2Scalar x) {return x * TF2SIMD_DEGS_PER_RAD;}

// Wraps an angle into [-pi, pi].
inline tf2Scalar tf2NormalizeAngle(tf2Scalar angle_in_radians)
{
  angle_in_radians = tf2Fmod(angle_in_radians, TF2SIMD_2_PI);
  if (angle_in_radians < -TF2SIMD_PI) {
    return angle_in_radians + TF2SIMD_2_PI;
  } else if (angle_in_radians > TF2SIMD_PI) {
    return angle_in_radians - TF2SIMD_2_PI;
  }
  return angle_in_radians;
}

#endif  // TF2__LINEARMATH__SCALAR_H_
