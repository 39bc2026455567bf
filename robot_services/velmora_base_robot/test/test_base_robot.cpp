#include <cmath>
#include <cstdlib>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base_robot/base_robot.hpp"
#include "velmora/testing/log_capture.hpp"

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-12;

geometry_msgs::msg::PoseStamped poseAt(double x, double y, double z = 0.0)
{
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = z;
  return pose;
}

geometry_msgs::msg::Quaternion product(
  const geometry_msgs::msg::Quaternion & a, const geometry_msgs::msg::Quaternion & b)
{
  geometry_msgs::msg::Quaternion q;
  q.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
  q.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
  q.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
  q.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
  return q;
}

// Rotation by `angle` about a unit axis.
geometry_msgs::msg::Quaternion axisAngle(double ax, double ay, double az, double angle)
{
  geometry_msgs::msg::Quaternion q;
  q.w = std::cos(angle / 2);
  q.x = ax * std::sin(angle / 2);
  q.y = ay * std::sin(angle / 2);
  q.z = az * std::sin(angle / 2);
  return q;
}

TEST(BaseRobotDistance, IsPlanarAndSymmetric)
{
  const BaseRobot robot;
  EXPECT_DOUBLE_EQ(robot.calDistance(poseAt(1, 1), poseAt(4, 5)), 5.0);
  EXPECT_DOUBLE_EQ(robot.calDistance(poseAt(4, 5), poseAt(1, 1)), 5.0);
  EXPECT_DOUBLE_EQ(robot.calDistance(poseAt(-2, 0, 0.0), poseAt(-2, 0, 7.0)), 0.0);
}

struct AngleCase
{
  double first;
  double second;
  double difference;
};

class BaseRobotDelAngle : public ::testing::TestWithParam<AngleCase> {};

TEST_P(BaseRobotDelAngle, IsFirstMinusSecondWrappedIntoHalfTurns)
{
  const BaseRobot robot;
  const double result = robot.calDelAngle(GetParam().first, GetParam().second);
  EXPECT_NEAR(result, GetParam().difference, 1e-9);
  EXPECT_LE(std::abs(result), kPi);
}

INSTANTIATE_TEST_SUITE_P(
  Wrapping, BaseRobotDelAngle,
  ::testing::Values(
    AngleCase{0.5, 0.2, 0.3},
    AngleCase{0.2, 0.5, -0.3},
    AngleCase{kPi - 0.1, -kPi + 0.1, -0.2},
    AngleCase{-kPi + 0.1, kPi - 0.1, 0.2},
    AngleCase{3.5 * kPi, 0.0, -0.5 * kPi},
    AngleCase{0.0, 4.0 * kPi + 0.3, -0.3},
    AngleCase{200.0 * kPi + 0.25, -0.25, 0.5},
    AngleCase{1.0, 1.0 + 6.0 * kPi, 0.0}));

TEST(BaseRobotDelAngleBoundary, AHalfTurnStaysAHalfTurn)
{
  const BaseRobot robot;
  EXPECT_NEAR(std::abs(robot.calDelAngle(kPi, 0.0)), kPi, kTolerance);
  EXPECT_NEAR(std::abs(robot.calDelAngle(0.0, kPi)), kPi, kTolerance);
  EXPECT_NEAR(std::abs(robot.calDelAngle(3.0 * kPi, 0.0)), kPi, 1e-9);
}

TEST(BaseRobotOrientation, HeadingSurvivesTheRoundTripThroughAQuaternion)
{
  const BaseRobot robot;
  for (double yaw = -kPi + 0.05; yaw <= kPi; yaw += 0.05) {
    const auto q = robot.eulerToQuaternion(yaw, 0.0, 0.0);
    EXPECT_NEAR(q.x, 0.0, kTolerance);
    EXPECT_NEAR(q.y, 0.0, kTolerance);
    EXPECT_NEAR(q.w * q.w + q.z * q.z, 1.0, kTolerance);
    EXPECT_NEAR(robot.quaternion2Yaw(q), yaw, 1e-9) << "yaw " << yaw;
  }
  // Headings beyond a half turn come back wrapped.
  EXPECT_NEAR(robot.quaternion2Yaw(robot.eulerToQuaternion(4.0, 0.0, 0.0)), 4.0 - 2 * kPi, 1e-9);
  EXPECT_NEAR(robot.quaternion2Yaw(geometry_msgs::msg::Quaternion()), 0.0, kTolerance);
}

TEST(BaseRobotOrientation, EulerAnglesComposeYawThenPitchThenRoll)
{
  const BaseRobot robot;
  const double yaw = 0.7;
  const double pitch = -0.3;
  const double roll = 0.2;
  const auto expected = product(
    product(axisAngle(0, 0, 1, yaw), axisAngle(0, 1, 0, pitch)), axisAngle(1, 0, 0, roll));
  const auto q = robot.eulerToQuaternion(yaw, pitch, roll);
  EXPECT_NEAR(q.w, expected.w, kTolerance);
  EXPECT_NEAR(q.x, expected.x, kTolerance);
  EXPECT_NEAR(q.y, expected.y, kTolerance);
  EXPECT_NEAR(q.z, expected.z, kTolerance);
  EXPECT_NEAR(robot.quaternion2Yaw(q), yaw, 1e-9);
}

TEST(BaseRobotPrintPose, LogsOneInfoLineWithPrefixAndPose)
{
  // This is the only statement of the test program, so the logger is built from these.
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "info", 1);
  velmora::testing::LogCapture capture;
  const BaseRobot robot;
  auto pose = poseAt(1.0, -2.5);
  pose.pose.orientation = robot.eulerToQuaternion(kPi / 2, 0.0, 0.0);

  robot.printPose(pose, "goal pose");

  const auto statements = capture.statements();
  ASSERT_EQ(statements.size(), 1U);
  EXPECT_THAT(
    statements[0].text,
    ::testing::MatchesRegex(
      "[ 0-9]{3} \\[INFO\\] goal pose x: 1\\.000, y: -2\\.500, yaw: 1\\.571"));
  EXPECT_EQ(statements[0].level, spdlog::level::info);
  EXPECT_EQ(statements[0].file, "./src/base_robot.cpp");
  EXPECT_EQ(statements[0].function, "printPose");
}

}  // namespace
