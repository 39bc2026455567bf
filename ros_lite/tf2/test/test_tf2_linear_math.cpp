#include <gtest/gtest.h>

#include <cmath>

#include "tf2/LinearMath/Matrix3x3.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/LinearMath/Transform.h"
#include "tf2/LinearMath/Vector3.h"
#include "tf2/time.h"
#include "tf2/utils.h"

namespace
{

constexpr double kTol = 1e-9;

void expectVectorNear(const tf2::Vector3 & expected, const tf2::Vector3 & actual)
{
  EXPECT_NEAR(expected.x(), actual.x(), kTol);
  EXPECT_NEAR(expected.y(), actual.y(), kTol);
  EXPECT_NEAR(expected.z(), actual.z(), kTol);
}

// Equal as rotations: q and -q describe the same one.
void expectSameRotation(const tf2::Quaternion & expected, const tf2::Quaternion & actual)
{
  EXPECT_NEAR(std::abs(expected.dot(actual)), 1.0, kTol);
}

TEST(Tf2Quaternion, RollPitchYawRoundTripThroughQuaternionAndMatrix)
{
  const double cases[][3] = {{0.1, -0.2, 0.3}, {-1.0, 0.5, 2.5}, {0.0, 0.0, -3.0}, {2.0, -1.2, 1.0}};
  for (const auto & rpy : cases) {
    tf2::Quaternion q;
    q.setRPY(rpy[0], rpy[1], rpy[2]);
    EXPECT_NEAR(q.length(), 1.0, kTol);

    double roll, pitch, yaw;
    tf2::Matrix3x3(q).getRPY(roll, pitch, yaw);
    EXPECT_NEAR(roll, rpy[0], kTol);
    EXPECT_NEAR(pitch, rpy[1], kTol);
    EXPECT_NEAR(yaw, rpy[2], kTol);

    tf2::getEulerYPR(q, yaw, pitch, roll);
    EXPECT_NEAR(roll, rpy[0], kTol);
    EXPECT_NEAR(pitch, rpy[1], kTol);
    EXPECT_NEAR(yaw, rpy[2], kTol);
    EXPECT_NEAR(tf2::getYaw(q), rpy[2], kTol);

    tf2::Quaternion back;
    tf2::Matrix3x3 m;
    m.setRPY(rpy[0], rpy[1], rpy[2]);
    m.getRotation(back);
    expectSameRotation(q, back);
  }
}

TEST(Tf2Quaternion, YawIsWrappedAndIgnoresScaleAndSign)
{
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, 3.0 * M_PI / 2.0);
  EXPECT_NEAR(tf2::getYaw(q), -M_PI / 2.0, kTol);
  EXPECT_NEAR(tf2::getYaw(-q), -M_PI / 2.0, kTol);
  EXPECT_NEAR(tf2::getYaw(q * 3.0), -M_PI / 2.0, kTol);

  q.setRPY(0.0, 0.0, 0.7);
  const tf2::Quaternion scaled = q * 2.5;
  EXPECT_NEAR(scaled.normalized().length(), 1.0, kTol);
  expectSameRotation(q, scaled.normalized());
}

TEST(Tf2Quaternion, GimbalLockReportsTheCombinedTurnAsYaw)
{
  tf2::Quaternion q;
  q.setRPY(0.0, M_PI / 2.0, 0.4);
  double yaw, pitch, roll;
  tf2::getEulerYPR(q, yaw, pitch, roll);
  EXPECT_NEAR(pitch, M_PI / 2.0, 1e-6);
  EXPECT_NEAR(roll, 0.0, kTol);
  EXPECT_NEAR(yaw, 0.4, 1e-6);
}

TEST(Tf2Quaternion, ProductComposesRotationsAndInverseUndoesThem)
{
  const tf2::Quaternion about_z(tf2::Vector3(0, 0, 1), M_PI / 2.0);
  const tf2::Quaternion about_x(tf2::Vector3(2, 0, 0), M_PI / 2.0);  // axis need not be unit
  const tf2::Vector3 v(1.0, 2.0, 3.0);

  // (q1 * q2) applies q2 first.
  const tf2::Vector3 composed = tf2::quatRotate(about_z * about_x, v);
  expectVectorNear(tf2::quatRotate(about_z, tf2::quatRotate(about_x, v)), composed);
  expectVectorNear(v, tf2::quatRotate(about_x.inverse() * about_x, v));
  expectVectorNear(tf2::Vector3(1.0, -3.0, 2.0), tf2::quatRotate(about_x, v));
  expectVectorNear(tf2::Vector3(-2.0, 1.0, 3.0), tf2::quatRotate(about_z, v));

  EXPECT_NEAR(about_z.getAngle(), M_PI / 2.0, kTol);
  expectVectorNear(tf2::Vector3(0, 0, 1), about_z.getAxis());
  expectSameRotation(tf2::Quaternion::getIdentity(), about_z * about_z.inverse());
}

TEST(Tf2Quaternion, SlerpTakesTheShortArc)
{
  tf2::Quaternion a;
  a.setRPY(0, 0, 0.2);
  tf2::Quaternion b;
  b.setRPY(0, 0, 1.0);
  EXPECT_NEAR(tf2::getYaw(a.slerp(b, 0.5)), 0.6, kTol);
  // -b is the same rotation; the blend must not go the long way round.
  EXPECT_NEAR(tf2::getYaw(a.slerp(-b, 0.5)), 0.6, kTol);
  EXPECT_NEAR(a.angleShortestPath(-b), 0.8, kTol);

  tf2::Quaternion c;
  c.setRPY(0, 0, 3.0);
  tf2::Quaternion d;
  d.setRPY(0, 0, -3.0);
  EXPECT_NEAR(std::abs(tf2::getYaw(c.slerp(d, 0.5))), M_PI, 1e-9);
}

TEST(Tf2Transform, AppliesComposesAndInverts)
{
  tf2::Quaternion q;
  q.setRPY(0, 0, M_PI / 2.0);
  const tf2::Transform t(q, tf2::Vector3(1.0, 2.0, 0.0));
  expectVectorNear(tf2::Vector3(1.0, 3.0, 0.0), t * tf2::Vector3(1.0, 0.0, 0.0));
  expectVectorNear(tf2::Vector3(1.0, 0.0, 0.0), t.invXform(tf2::Vector3(1.0, 3.0, 0.0)));

  const tf2::Transform round_trip = t.inverse() * t;
  expectVectorNear(tf2::Vector3(0, 0, 0), round_trip.getOrigin());
  expectSameRotation(tf2::Quaternion::getIdentity(), round_trip.getRotation());

  const tf2::Transform twice = t * t;
  expectVectorNear(tf2::Vector3(-1.0, 3.0, 0.0), twice.getOrigin());
  EXPECT_NEAR(std::abs(tf2::getYaw(twice.getRotation())), M_PI, kTol);

  tf2::Transform accumulated = t;
  accumulated *= t;
  expectVectorNear(twice.getOrigin(), accumulated.getOrigin());
  expectVectorNear(t.getOrigin(), t.inverseTimes(twice).getOrigin());

  tf2::Transform identity;
  identity.setIdentity();
  EXPECT_TRUE(identity == tf2::Transform::getIdentity());
}

TEST(Tf2Matrix3x3, InverseAndTransposeOfARotationAgree)
{
  tf2::Matrix3x3 m;
  m.setRPY(0.3, -0.4, 1.1);
  const tf2::Matrix3x3 product = m * m.inverse();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(product[i][j], i == j ? 1.0 : 0.0, kTol);
      EXPECT_NEAR(m.inverse()[i][j], m.transpose()[i][j], kTol);
    }
  }
  EXPECT_NEAR(m.determinant(), 1.0, kTol);
}

TEST(Tf2Vector3, BasicGeometry)
{
  const tf2::Vector3 a(3.0, 4.0, 0.0);
  const tf2::Vector3 b(0.0, 0.0, 2.0);
  EXPECT_DOUBLE_EQ(a.length(), 5.0);
  EXPECT_DOUBLE_EQ(a.distance(b), std::sqrt(29.0));
  expectVectorNear(tf2::Vector3(8.0, -6.0, 0.0), a.cross(b));
  expectVectorNear(tf2::Vector3(0.6, 0.8, 0.0), a.normalized());
  expectVectorNear(tf2::Vector3(-4.0, 3.0, 0.0), a.rotate(tf2::Vector3(0, 0, 1), M_PI / 2.0));
  expectVectorNear(tf2::Vector3(1.5, 2.0, 1.0), a.lerp(b, 0.5));
  EXPECT_NEAR(a.angle(b), M_PI / 2.0, kTol);
}

TEST(Tf2Time, SecondsConversions)
{
  EXPECT_EQ(tf2::durationFromSec(1.5), std::chrono::milliseconds(1500));
  EXPECT_EQ(tf2::timeFromSec(2.25).time_since_epoch(), std::chrono::milliseconds(2250));
  EXPECT_DOUBLE_EQ(tf2::durationToSec(std::chrono::milliseconds(-250)), -0.25);
  EXPECT_DOUBLE_EQ(tf2::timeToSec(tf2::timeFromSec(12.5)), 12.5);
  EXPECT_EQ(tf2::displayTimePoint(tf2::timeFromSec(3.25)), "3.250000");
  EXPECT_EQ(tf2::TimePointZero.time_since_epoch().count(), 0);
}

}  // namespace
