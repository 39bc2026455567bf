#ifndef TF2__LINEARMATH__MATRIX3X3_H_
#define TF2__LINEARMATH__MATRIX3X3_H_

#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Vector3.h"

namespace tf2
{

// 3x3 matrix stored as three row vectors; used as a rotation basis.
class Matrix3x3
{
  Vector3 m_el[3];

public:
  // Left uninitialised, as in tf2.
  Matrix3x3() {}
  explicit Matrix3x3(const Quaternion & q) {setRotation(q);}
  Matrix3x3(
    const tf2Scalar & xx, const tf2Scalar & xy, const tf2Scalar & xz,
    const tf2Scalar & yx, const tf2Scalar & yy, const tf2Scalar & yz,
    const tf2Scalar & zx, const tf2Scalar & zy, const tf2Scalar & zz)
  {
    setValue(xx, xy, xz, yx, yy, yz, zx, zy, zz);
  }

  Vector3 getColumn(int i) const {return Vector3(m_el[0][i], m_el[1][i], m_el[2][i]);}
  const Vector3 & getRow(int i) const {return m_el[i];}
  Vector3 & operator[](int i) {return m_el[i];}
  const Vector3 & operator[](int i) const {return m_el[i];}

  Matrix3x3 & operator*=(const Matrix3x3 & m);

  void setValue(
    const tf2Scalar & xx, const tf2Scalar & xy, const tf2Scalar & xz,
    const tf2Scalar & yx, const tf2Scalar & yy, const tf2Scalar & yz,
    const tf2Scalar & zx, const tf2Scalar & zy, const tf2Scalar & zz)
  {
    m_el[0].setValue(xx, xy, xz);
    m_el[1].setValue(yx, yy, yz);
    m_el[2].setValue(zx, zy, zz);
  }

  // Rotation matrix of a (not necessarily unit) quaternion.
  void setRotation(const Quaternion & q)
  {
    tf2Scalar d = q.length2();
    tf2Scalar s = tf2Scalar(2.0) / d;
    tf2Scalar xs = q.x() * s, ys = q.y() * s, zs = q.z() * s;
    tf2Scalar wx = q.w() * xs, wy = q.w() * ys, wz = q.w() * zs;
    tf2Scalar xx = q.x() * xs, xy = q.x() * ys, xz = q.x() * zs;
    tf2Scalar yy = q.y() * ys, yz = q.y() * zs, zz = q.z() * zs;
    setValue(
      tf2Scalar(1.0) - (yy + zz), xy - wz, xz + wy,
      xy + wz, tf2Scalar(1.0) - (xx + zz), yz - wx,
      xz - wy, yz + wx, tf2Scalar(1.0) - (xx + yy));
  }

  // R = Rz(yaw) * Ry(pitch) * Rx(roll).
  void setEulerYPR(tf2Scalar eulerZ, tf2Scalar eulerY, tf2Scalar eulerX)
  {
    tf2Scalar ci = tf2Cos(eulerX), cj = tf2Cos(eulerY), ch = tf2Cos(eulerZ);
    tf2Scalar si = tf2Sin(eulerX), sj = tf2Sin(eulerY), sh = tf2Sin(eulerZ);
    tf2Scalar cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;
    setValue(
      cj * ch, sj * sc - cs, sj * cc + ss,
      cj * sh, sj * ss + cc, sj * cs - sc,
      -sj, cj * si, cj * ci);
  }
  void setRPY(tf2Scalar roll, tf2Scalar pitch, tf2Scalar yaw) {setEulerYPR(yaw, pitch, roll);}

  void setIdentity() {setValue(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);}
  static const Matrix3x3 & getIdentity()
  {
    static const Matrix3x3 identity(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
    return identity;
  }

  // Quaternion of this rotation matrix.
  void getRotation(Quaternion & q) const
  {
    tf2Scalar trace = m_el[0].x() + m_el[1].y() + m_el[2].z();
    tf2Scalar temp[4];
    if (trace > tf2Scalar(0.0)) {
      tf2Scalar s = tf2Sqrt(trace + tf2Scalar(1.0));
      temp[3] = s * tf2Scalar(0.5);
      s = tf2Scalar(0.5) / s;
      temp[0] = (m_el[2].y() - m_el[1].z()) * s;
      temp[1] = (m_el[0].z() - m_el[2].x()) * s;
      temp[2] = (m_el[1].x() - m_el[0].y()) * s;
    } else {
      // Pivot on the largest diagonal element for numerical stability.
      int i = m_el[0].x() < m_el[1].y() ? (m_el[1].y() < m_el[2].z() ? 2 : 1) :
        (m_el[0].x() < m_el[2].z() ? 2 : 0);
      int j = (i + 1) % 3;
      int k = (i + 2) % 3;
      tf2Scalar s = tf2Sqrt(m_el[i][i] - m_el[j][j] - m_el[k][k] + tf2Scalar(1.0));
      temp[i] = s * tf2Scalar(0.5);
      s = tf2Scalar(0.5) / s;
      temp[3] = (m_el[k][j] - m_el[j][k]) * s;
      temp[j] = (m_el[j][i] + m_el[i][j]) * s;
      temp[k] = (m_el[k][i] + m_el[i][k]) * s;
    }
    q.setValue(temp[0], temp[1], temp[2], temp[3]);
  }

  // Euler angles of R = Rz(yaw) * Ry(pitch) * Rx(roll); solution_number 1 or 2 picks one of the
  // two decompositions (pitch in [-pi/2, pi/2] for the first).
  void getEulerYPR(
    tf2Scalar & yaw, tf2Scalar & pitch, tf2Scalar & roll, unsigned int solution_number = 1) const
  {
    struct Euler {tf2Scalar yaw; tf2Scalar pitch; tf2Scalar roll;};
    Euler euler_out;
    Euler euler_out2;
    if (tf2Fabs(m_el[2].x()) >= 1) {
      // Gimbal lock: yaw and roll share one axis, put it all in roll.
      euler_out.yaw = 0;
      euler_out2.yaw = 0;
      if (m_el[2].x() < 0) {
        tf2Scalar delta = tf2Atan2(m_el[0].y(), m_el[0].z());
        euler_out.pitch = TF2SIMD_PI / tf2Scalar(2.0);
        euler_out2.pitch = TF2SIMD_PI / tf2Scalar(2.0);
        euler_out.roll = delta;
        euler_out2.roll = delta;
      } else {
        tf2Scalar delta = tf2Atan2(-m_el[0].y(), -m_el[0].z());
        euler_out.pitch = -TF2SIMD_PI / tf2Scalar(2.0);
        euler_out2.pitch = -TF2SIMD_PI / tf2Scalar(2.0);
        euler_out.roll = delta;
        euler_out2.roll = delta;
      }
    } else {
      euler_out.pitch = -tf2Asin(m_el[2].x());
      euler_out2.pitch = TF2SIMD_PI - euler_out.pitch;
      tf2Scalar c1 = tf2Cos(euler_out.pitch);
      tf2Scalar c2 = tf2Cos(euler_out2.pitch);
      euler_out.roll = tf2Atan2(m_el[2].y() / c1, m_el[2].z() / c1);
      euler_out2.roll = tf2Atan2(m_el[2].y() / c2, m_el[2].z() / c2);
      euler_out.yaw = tf2Atan2(m_el[1].x() / c1, m_el[0].x() / c1);
      euler_out2.yaw = tf2Atan2(m_el[1].x() / c2, m_el[0].x() / c2);
    }
    const Euler & chosen = solution_number == 1 ? euler_out : euler_out2;
    yaw = chosen.yaw;
    pitch = chosen.pitch;
    roll = chosen.roll;
  }
  void getRPY(
    tf2Scalar & roll, tf2Scalar & pitch, tf2Scalar & yaw, unsigned int solution_number = 1) const
  {
    getEulerYPR(yaw, pitch, roll, solution_number);
  }

  Matrix3x3 scaled(const Vector3 & s) const
  {
    return Matrix3x3(
      m_el[0].x() * s.x(), m_el[0].y() * s.y(), m_el[0].z() * s.z(),
      m_el[1].x() * s.x(), m_el[1].y() * s.y(), m_el[1].z() * s.z(),
      m_el[2].x() * s.x(), m_el[2].y() * s.y(), m_el[2].z() * s.z());
  }
  tf2Scalar determinant() const {return tf2Triple((*this)[0], (*this)[1], (*this)[2]);}
  Matrix3x3 adjoint() const;
  Matrix3x3 absolute() const
  {
    return Matrix3x3(
      tf2Fabs(m_el[0].x()), tf2Fabs(m_el[0].y()), tf2Fabs(m_el[0].z()),
      tf2Fabs(m_el[1].x()), tf2Fabs(m_el[1].y()), tf2Fabs(m_el[1].z()),
      tf2Fabs(m_el[2].x()), tf2Fabs(m_el[2].y()), tf2Fabs(m_el[2].z()));
  }
  Matrix3x3 transpose() const
  {
    return Matrix3x3(
      m_el[0].x(), m_el[1].x(), m_el[2].x(),
      m_el[0].y(), m_el[1].y(), m_el[2].y(),
      m_el[0].z(), m_el[1].z(), m_el[2].z());
  }
  Matrix3x3 inverse() const;
  // transpose() * m and this * m.transpose(), without forming the transpose.
  Matrix3x3 transposeTimes(const Matrix3x3 & m) const;
  Matrix3x3 timesTranspose(const Matrix3x3 & m) const;

  // Dot products of a vector with the columns.
  tf2Scalar tdotx(const Vector3 & v) const
  {
    return m_el[0].x() * v.x() + m_el[1].x() * v.y() + m_el[2].x() * v.z();
  }
  tf2Scalar tdoty(const Vector3 & v) const
  {
    return m_el[0].y() * v.x() + m_el[1].y() * v.y() + m_el[2].y() * v.z();
  }
  tf2Scalar tdotz(const Vector3 & v) const
  {
    return m_el[0].z() * v.x() + m_el[1].z() * v.y() + m_el[2].z() * v.z();
  }
  // Cofactor of the element at (r1, c1) given the other rows/columns.
  tf2Scalar cofac(int r1, int c1, int r2, int c2) const
  {
    return m_el[r1][c1] * m_el[r2][c2] - m_el[r1][c2] * m_el[r2][c1];
  }
};

inline Vector3 operator*(const Matrix3x3 & m, const Vector3 & v)
{
  return Vector3(m[0].dot(v), m[1].dot(v), m[2].dot(v));
}

inline Vector3 operator*(const Vector3 & v, const Matrix3x3 & m)
{
  return Vector3(m.tdotx(v), m.tdoty(v), m.tdotz(v));
}

inline Matrix3x3 operator*(const Matrix3x3 & m1, const Matrix3x3 & m2)
{
  return Matrix3x3(
    m2.tdotx(m1[0]), m2.tdoty(m1[0]), m2.tdotz(m1[0]),
    m2.tdotx(m1[1]), m2.tdoty(m1[1]), m2.tdotz(m1[1]),
    m2.tdotx(m1[2]), m2.tdoty(m1[2]), m2.tdotz(m1[2]));
}

inline bool operator==(const Matrix3x3 & m1, const Matrix3x3 & m2)
{
  return m1[0] == m2[0] && m1[1] == m2[1] && m1[2] == m2[2];
}

inline Matrix3x3 & Matrix3x3::operator*=(const Matrix3x3 & m)
{
  *this = *this * m;
  return *this;
}

inline Matrix3x3 Matrix3x3::adjoint() const
{
  return Matrix3x3(
    cofac(1, 1, 2, 2), cofac(0, 2, 2, 1), cofac(0, 1, 1, 2),
    cofac(1, 2, 2, 0), cofac(0, 0, 2, 2), cofac(0, 2, 1, 0),
    cofac(1, 0, 2, 1), cofac(0, 1, 2, 0), cofac(0, 0, 1, 1));
}

inline Matrix3x3 Matrix3x3::inverse() const
{
  Vector3 co(cofac(1, 1, 2, 2), cofac(1, 2, 2, 0), cofac(1, 0, 2, 1));
  tf2Scalar det = (*this)[0].dot(co);
  tf2Scalar s = tf2Scalar(1.0) / det;
  return Matrix3x3(
    co.x() * s, cofac(0, 2, 2, 1) * s, cofac(0, 1, 1, 2) * s,
    co.y() * s, cofac(0, 0, 2, 2) * s, cofac(0, 2, 1, 0) * s,
    co.z() * s, cofac(0, 1, 2, 0) * s, cofac(0, 0, 1, 1) * s);
}

inline Matrix3x3 Matrix3x3::transposeTimes(const Matrix3x3 & m) const
{
  return transpose() * m;
}

inline Matrix3x3 Matrix3x3::timesTranspose(const Matrix3x3 & m) const
{
  return *this * m.transpose();
}

}  // namespace tf2

#endif  // TF2__LINEARMATH__MATRIX3X3_H_
