#ifndef TF2__LINEARMATH__TRANSFORM_H_
#define TF2__LINEARMATH__TRANSFORM_H_

#include "tf2/LinearMath/Matrix3x3.h"

namespace tf2
{

// Rigid transform: rotation basis plus translation; (*this)(v) = basis * v + origin.
class Transform
{
  Matrix3x3 m_basis;
  Vector3 m_origin;

public:
  // Left uninitialised, as in tf2.
  Transform() {}
  explicit Transform(const Quaternion & q, const Vector3 & c = Vector3(tf2Scalar(0), tf2Scalar(0), tf2Scalar(0)))
  : m_basis(q), m_origin(c) {}
  explicit Transform(const Matrix3x3 & b, const Vector3 & c = Vector3(tf2Scalar(0), tf2Scalar(0), tf2Scalar(0)))
  : m_basis(b), m_origin(c) {}
  Transform(const Transform & other) = default;
  Transform & operator=(const Transform & other) = default;

  // this = t1 * t2
  void mult(const Transform & t1, const Transform & t2)
  {
    m_basis = t1.m_basis * t2.m_basis;
    m_origin = t1(t2.m_origin);
  }

  Vector3 operator()(const Vector3 & x) const
  {
    return Vector3(m_basis[0].dot(x) + m_origin.x(), m_basis[1].dot(x) + m_origin.y(),
             m_basis[2].dot(x) + m_origin.z());
  }
  Vector3 operator*(const Vector3 & x) const {return (*this)(x);}
  Quaternion operator*(const Quaternion & q) const {return getRotation() * q;}

  Matrix3x3 & getBasis() {return m_basis;}
  const Matrix3x3 & getBasis() const {return m_basis;}
  Vector3 & getOrigin() {return m_origin;}
  const Vector3 & getOrigin() const {return m_origin;}
  Quaternion getRotation() const
  {
    Quaternion q;
    m_basis.getRotation(q);
    return q;
  }

  void setOrigin(const Vector3 & origin) {m_origin = origin;}
  void setBasis(const Matrix3x3 & basis) {m_basis = basis;}
  void setRotation(const Quaternion & q) {m_basis.setRotation(q);}
  void setIdentity()
  {
    m_basis.setIdentity();
    m_origin.setValue(tf2Scalar(0.0), tf2Scalar(0.0), tf2Scalar(0.0));
  }

  // Applies the inverse transform to a point.
  Vector3 invXform(const Vector3 & in_vec) const
  {
    Vector3 v = in_vec - m_origin;
    return m_basis.transpose() * v;
  }

  Transform & operator*=(const Transform & t)
  {
    m_origin += m_basis * t.m_origin;
    m_basis *= t.m_basis;
    return *this;
  }
  Transform inverse() const
  {
    Matrix3x3 inv = m_basis.transpose();
    return Transform(inv, inv * -m_origin);
  }
  // this->inverse() * t
  Transform inverseTimes(const Transform & t) const
  {
    Vector3 v = t.getOrigin() - m_origin;
    return Transform(m_basis.transposeTimes(t.m_basis), v * m_basis);
  }
  Transform operator*(const Transform & t) const
  {
    return Transform(m_basis * t.m_basis, (*this)(t.m_origin));
  }

  static const Transform & getIdentity()
  {
    static const Transform identity(Matrix3x3::getIdentity());
    return identity;
  }
};

inline bool operator==(const Transform & t1, const Transform & t2)
{
  return t1.getBasis() == t2.getBasis() && t1.getOrigin() == t2.getOrigin();
}

}  // namespace tf2

#endif  // TF2__LINEARMATH__TRANSFORM_H_
