#ifndef TF2__LINEARMATH__QUATERNION_H_
#define TF2__LINEARMATH__QUATERNION_H_

#include "tf2/LinearMath/QuadWord.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2
{

// Rotation quaternion (x, y, z, w); w is the scalar part.
class Quaternion : public QuadWord
{
public:
  // Left uninitialised, as in tf2.
  Quaternion() {}
  Quaternion(const tf2Scalar & x, const tf2Scalar & y, const tf2Scalar & z, const tf2Scalar & w)
  : QuadWord(x, y, z, w) {}
  Quaternion(const Vector3 & axis, const tf2Scalar & angle) {setRotation(axis, angle);}

  // Rotation by angle (radians) about axis (any non-zero length).
  void setRotation(const Vector3 & axis, const tf2Scalar & angle)
  {
    tf2Scalar d = axis.length();
    tf2Scalar s = tf2Sin(angle * tf2Scalar(0.5)) / d;
    setValue(axis.x() * s, axis.y() * s, axis.z() * s, tf2Cos(angle * tf2Scalar(0.5)));
  }
  // Euler angles in the tf2/Bullet convention: yaw about Y, pitch about X, roll about Z.
  void setEuler(const tf2Scalar & yaw, const tf2Scalar & pitch, const tf2Scalar & roll);
  // Fixed-axis roll about X, then pitch about Y, then yaw about Z (q = qz * qy * qx).
  void setRPY(const tf2Scalar & roll, const tf2Scalar & pitch, const tf2Scalar & yaw);

  Quaternion & operator+=(const Quaternion & q)
  {
    m_floats[0] += q.x(); m_floats[1] += q.y(); m_floats[2] += q.z(); m_floats[3] += q.m_floats[3];
    return *this;
  }
  Quaternion & operator-=(const Quaternion & q)
  {
    m_floats[0] -= q.x(); m_floats[1] -= q.y(); m_floats[2] -= q.z(); m_floats[3] -= q.m_floats[3];
    return *this;
  }
  Quaternion & operator*=(const tf2Scalar & s)
  {
    m_floats[0] *= s; m_floats[1] *= s; m_floats[2] *= s; m_floats[3] *= s;
    return *this;
  }
  // Hamilton product: this = this * q.
  Quaternion & operator*=(const Quaternion & q)
  {
    setValue(
      m_floats[3] * q.x() + m_floats[0] * q.m_floats[3] + m_floats[1] * q.z() - m_floats[2] * q.y(),
      m_floats[3] * q.y() + m_floats[1] * q.m_floats[3] + m_floats[2] * q.x() - m_floats[0] * q.z(),
      m_floats[3] * q.z() + m_floats[2] * q.m_floats[3] + m_floats[0] * q.y() - m_floats[1] * q.x(),
      m_floats[3] * q.m_floats[3] - m_floats[0] * q.x() - m_floats[1] * q.y() - m_floats[2] * q.z());
    return *this;
  }
  Quaternion & operator/=(const tf2Scalar & s) {return *this *= tf2Scalar(1.0) / s;}

  tf2Scalar dot(const Quaternion & q) const
  {
    return m_floats[0] * q.x() + m_floats[1] * q.y() + m_floats[2] * q.z() +
           m_floats[3] * q.m_floats[3];
  }
  tf2Scalar length2() const {return dot(*this);}
  tf2Scalar length() const {return tf2Sqrt(length2());}
  Quaternion & normalize() {return *this /= length();}
  Quaternion normalized() const;

  Quaternion operator*(const tf2Scalar & s) const
  {
    return Quaternion(x() * s, y() * s, z() * s, m_floats[3] * s);
  }
  Quaternion operator/(const tf2Scalar & s) const {return *this * (tf2Scalar(1.0) / s);}

  // Half the angle between the two orientations.
  tf2Scalar angle(const Quaternion & q) const
  {
    tf2Scalar s = tf2Sqrt(length2() * q.length2());
    return tf2Acos(dot(q) / s);
  }
  // Angle between the two orientations along the shorter way round.
  tf2Scalar angleShortestPath(const Quaternion & q) const
  {
    tf2Scalar s = tf2Sqrt(length2() * q.length2());
    if (dot(q) < 0) {
      return tf2Acos(dot(-q) / s) * tf2Scalar(2.0);
    }
    return tf2Acos(dot(q) / s) * tf2Scalar(2.0);
  }
  // Rotation angle in [0, 2*pi].
  tf2Scalar getAngle() const {return tf2Scalar(2.) * tf2Acos(m_floats[3]);}
  // Rotation angle in [0, pi].
  tf2Scalar getAngleShortestPath() const
  {
    if (m_floats[3] >= 0) {
      return tf2Scalar(2.) * tf2Acos(m_floats[3]);
    }
    return tf2Scalar(2.) * tf2Acos(-m_floats[3]);
  }
  // Rotation axis; (1, 0, 0) for a rotation too small to define one.
  Vector3 getAxis() const
  {
    tf2Scalar s_squared = tf2Scalar(1.) - m_floats[3] * m_floats[3];
    if (s_squared < tf2Scalar(10.) * TF2SIMD_EPSILON) {
      return Vector3(1.0, 0.0, 0.0);
    }
    tf2Scalar s = tf2Scalar(1.) / tf2Sqrt(s_squared);
    return Vector3(m_floats[0] * s, m_floats[1] * s, m_floats[2] * s);
  }
  Quaternion inverse() const {return Quaternion(-m_floats[0], -m_floats[1], -m_floats[2], m_floats[3]);}

  Quaternion operator+(const Quaternion & q) const
  {
    return Quaternion(x() + q.x(), y() + q.y(), z() + q.z(), m_floats[3] + q.m_floats[3]);
  }
  Quaternion operator-(const Quaternion & q) const
  {
    return Quaternion(x() - q.x(), y() - q.y(), z() - q.z(), m_floats[3] - q.m_floats[3]);
  }
  Quaternion operator-() const {return Quaternion(-x(), -y(), -z(), -m_floats[3]);}
  // Of q and -q (the same rotation), the one farthest from / nearest to this.
  Quaternion farthest(const Quaternion & qd) const
  {
    Quaternion diff = *this - qd;
    Quaternion sum = *this + qd;
    return diff.dot(diff) > sum.dot(sum) ? qd : -qd;
  }
  Quaternion nearest(const Quaternion & qd) const
  {
    Quaternion diff = *this - qd;
    Quaternion sum = *this + qd;
    return diff.dot(diff) < sum.dot(sum) ? qd : -qd;
  }

  // Spherical interpolation towards q (t in [0, 1]), along the shorter arc.
  Quaternion slerp(const Quaternion & q, const tf2Scalar & t) const
  {
    const tf2Scalar magnitude = tf2Sqrt(length2() * q.length2());
    const tf2Scalar product = dot(q) / magnitude;
    const tf2Scalar absproduct = tf2Fabs(product);
    if (absproduct < tf2Scalar(1.0 - TF2SIMD_EPSILON)) {
      const tf2Scalar theta = tf2Acos(absproduct);
      const tf2Scalar d = tf2Sin(theta);
      const tf2Scalar sign = product < 0 ? tf2Scalar(-1) : tf2Scalar(1);
      const tf2Scalar s0 = tf2Sin((tf2Scalar(1.0) - t) * theta) / d;
      const tf2Scalar s1 = tf2Sin(t * theta) / d * sign;
      return Quaternion(
        x() * s0 + q.x() * s1, y() * s0 + q.y() * s1, z() * s0 + q.z() * s1,
        w() * s0 + q.w() * s1);
    }
    return *this;
  }

  static const Quaternion & getIdentity()
  {
    static const Quaternion identity(0., 0., 0., 1.);
    return identity;
  }

  const tf2Scalar & getW() const {return m_floats[3];}
};

inline Quaternion operator*(const Quaternion & q1, const Quaternion & q2)
{
  Quaternion result = q1;
  result *= q2;
  return result;
}

// Product of a quaternion with the pure quaternion (v, 0).
inline Quaternion operator*(const Quaternion & q, const Vector3 & w)
{
  return Quaternion(
    q.w() * w.x() + q.y() * w.z() - q.z() * w.y(),
    q.w() * w.y() + q.z() * w.x() - q.x() * w.z(),
    q.w() * w.z() + q.x() * w.y() - q.y() * w.x(),
    -q.x() * w.x() - q.y() * w.y() - q.z() * w.z());
}

inline Quaternion operator*(const Vector3 & w, const Quaternion & q)
{
  return Quaternion(
    w.x() * q.w() + w.y() * q.z() - w.z() * q.y(),
    w.y() * q.w() + w.z() * q.x() - w.x() * q.z(),
    w.z() * q.w() + w.x() * q.y() - w.y() * q.x(),
    -w.x() * q.x() - w.y() * q.y() - w.z() * q.z());
}

inline tf2Scalar dot(const Quaternion & q1, const Quaternion & q2) {return q1.dot(q2);}
inline tf2Scalar length(const Quaternion & q) {return q.length();}
inline tf2Scalar angle(const Quaternion & q1, const Quaternion & q2) {return q1.angle(q2);}
inline tf2Scalar angleShortestPath(const Quaternion & q1, const Quaternion & q2)
{
  return q1.angleShortestPath(q2);
}
inline Quaternion inverse(const Quaternion & q) {return q.inverse();}
inline Quaternion slerp(const Quaternion & q1, const Quaternion & q2, const tf2Scalar & t)
{
  return q1.slerp(q2, t);
}

// v rotated by the unit quaternion rotation.
inline Vector3 quatRotate(const Quaternion & rotation, const Vector3 & v)
{
  Quaternion q = rotation * v;
  q *= rotation.inverse();
  return Vector3(q.getX(), q.getY(), q.getZ());
}

// Shortest-arc rotation taking v0 onto v1 (both unit length).
inline Quaternion shortestArcQuat(const Vector3 & v0, const Vector3 & v1)
{
  Vector3 c = v0.cross(v1);
  tf2Scalar d = v0.dot(v1);
  if (d < -1.0 + TF2SIMD_EPSILON) {
    // Opposite vectors: any axis perpendicular to v0 will do.
    Vector3 n = tf2Fabs(v0.z()) > tf2Sqrt(tf2Scalar(0.5)) ?
      Vector3(0, -v0.z(), v0.y()) : Vector3(-v0.y(), v0.x(), 0);
    n.normalize();
    return Quaternion(n.x(), n.y(), n.z(), 0.0f);
  }
  tf2Scalar s = tf2Sqrt((1.0f + d) * 2.0f);
  tf2Scalar rs = 1.0f / s;
  return Quaternion(c.getX() * rs, c.getY() * rs, c.getZ() * rs, s * 0.5f);
}

inline Quaternion shortestArcQuatNormalize2(Vector3 & v0, Vector3 & v1)
{
  v0.normalize();
  v1.normalize();
  return shortestArcQuat(v0, v1);
}

inline Quaternion Quaternion::normalized() const {return *this / length();}

inline void Quaternion::setEuler(const tf2Scalar & yaw, const tf2Scalar & pitch, const tf2Scalar & roll)
{
  *this = Quaternion(Vector3(0, 1, 0), yaw) * Quaternion(Vector3(1, 0, 0), pitch) *
    Quaternion(Vector3(0, 0, 1), roll);
}

inline void Quaternion::setRPY(const tf2Scalar & roll, const tf2Scalar & pitch, const tf2Scalar & yaw)
{
  *this = Quaternion(Vector3(0, 0, 1), yaw) * Quaternion(Vector3(0, 1, 0), pitch) *
    Quaternion(Vector3(1, 0, 0), roll);
}

}  // namespace tf2

#endif  // TF2__LINEARMATH__QUATERNION_H_
