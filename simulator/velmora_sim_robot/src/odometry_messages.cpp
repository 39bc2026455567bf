#include "velmora_sim_robot/odometry_messages.hpp"

#include <cmath>

#include "base_robot/base_robot.hpp"

namespace velmora_sim_robot
{

namespace
{

geometry_msgs::msg::Pose toPose(const PlanarPose & pose)
{
  geometry_msgs::msg::Pose message;
  message.position.x = pose.x;
  message.position.y = pose.y;
  message.orientation = BaseRobot().eulerToQuaternion(pose.yaw, 0.0, 0.0);
  return message;
}

geometry_msgs::msg::Twist toTwist(const BodyTwist & twist)
{
  geometry_msgs::msg::Twist message;
  message.linear.x = twist.vx;
  message.linear.y = twist.vy;
  message.angular.z = twist.wz;
  return message;
}

bool isFinite(const geometry_msgs::msg::Vector3 & vector)
{
  return std::isfinite(vector.x) && std::isfinite(vector.y) && std::isfinite(vector.z);
}

}  // namespace

nav_msgs::msg::Odometry toOdometry(const OdometrySample & sample, const FrameIds & frames)
{
  nav_msgs::msg::Odometry odometry;
  odometry.header.stamp = sample.stamp;
  odometry.header.frame_id = frames.odom;
  odometry.child_frame_id = frames.base;
  odometry.pose.pose = toPose(sample.pose);
  odometry.twist.twist = toTwist(sample.twist);
  return odometry;
}

geometry_msgs::msg::TwistStamped toTwistStamped(
  const OdometrySample & sample, const FrameIds & frames)
{
  geometry_msgs::msg::TwistStamped twist;
  twist.header.stamp = sample.stamp;
  twist.header.frame_id = frames.base;
  twist.twist = toTwist(sample.twist);
  return twist;
}

geometry_msgs::msg::PoseStamped toPoseStamped(
  const OdometrySample & sample, const FrameIds & frames)
{
  geometry_msgs::msg::PoseStamped pose;
  pose.header.stamp = sample.stamp;
  pose.header.frame_id = frames.odom;
  pose.pose = toPose(sample.pose);
  return pose;
}

geometry_msgs::msg::TransformStamped toTransform(
  const PlanarPose & pose, const builtin_interfaces::msg::Time & stamp,
  const std::string & parent, const std::string & child)
{
  const geometry_msgs::msg::Pose placement = toPose(pose);
  geometry_msgs::msg::TransformStamped transform;
  transform.header.stamp = stamp;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.transform.translation.x = placement.position.x;
  transform.transform.translation.y = placement.position.y;
  transform.transform.rotation = placement.orientation;
  return transform;
}

BodyTwist toBodyTwist(const geometry_msgs::msg::Twist & command)
{
  return BodyTwist{command.linear.x, command.linear.y, command.angular.z};
}

bool isFinite(const geometry_msgs::msg::Twist & command)
{
  return isFinite(command.linear) && isFinite(command.angular);
}

}  // namespace velmora_sim_robot
