#include "base_robot/base_robot.hpp"

#include <cmath>

#include "velmora/logger.hpp"

namespace
{
constexpr double kFullTurn = 2.0 * 3.14159265358979323846;
}  // namespace

double BaseRobot::calDistance(
  const geometry_msgs::msg::PoseStamped & from, const geometry_msgs::msg::PoseStamped & to) const
{
  return std::hypot(
    to.pose.position.x - from.pose.position.x, to.pose.position.y - from.pose.position.y);
}

double BaseRobot::quaternion2Yaw(const geometry_msgs::msg::Quaternion & orientation) const
{
  const double siny_cosp = 2.0 * (orientation.w * orientation.z + orientation.x * orientation.y);
  const double cosy_cosp =
    1.0 - 2.0 * (orientation.y * orientation.y + orientation.z * orientation.z);
  return std::atan2(siny_cosp, cosy_cosp);
}

double BaseRobot::calDelAngle(double first, double second) const
{
  // remainder() picks the multiple of 2 pi nearest to the difference, so the result never leaves
  // [-pi, pi] however many turns the headings are apart.
  return std::remainder(first - second, kFullTurn);
}

geometry_msgs::msg::Quaternion BaseRobot::eulerToQuaternion(
  double yaw, double pitch, double roll) const
{
  const double cy = std::cos(yaw * 0.5);
  const double sy = std::sin(yaw * 0.5);
  const double cp = std::cos(pitch * 0.5);
  const double sp = std::sin(pitch * 0.5);
  const double cr = std::cos(roll * 0.5);
  const double sr = std::sin(roll * 0.5);

  geometry_msgs::msg::Quaternion orientation;
  orientation.w = cr * cp * cy + sr * sp * sy;
  orientation.x = sr * cp * cy - cr * sp * sy;
  orientation.y = cr * sp * cy + sr * cp * sy;
  orientation.z = cr * cp * sy - sr * sp * cy;
  return orientation;
}

void BaseRobot::printPose(const geometry_msgs::msg::PoseStamped & pose, std::string prefix) const
{
  VLOG_INFO(
    "{} x: {:.3f}, y: {:.3f}, yaw: {:.3f}", prefix, pose.pose.position.x, pose.pose.position.y,
    quaternion2Yaw(pose.pose.orientation));
}
