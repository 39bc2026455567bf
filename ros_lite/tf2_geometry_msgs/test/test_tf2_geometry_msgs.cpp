#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/convert.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace
{

constexpr double kTol = 1e-9;

// Pose of `child` in `parent`: (x, y) and a heading.
geometry_msgs::msg::TransformStamped planar(
  const std::string & parent, const std::string & child, double x, double y, double yaw)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp.sec = 42;
  t.header.stamp.nanosec = 500000000u;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  tf2::Quaternion q;
  q.setRPY(0, 0, yaw);
  t.transform.rotation = tf2::toMsg(q);
  return t;
}

const geometry_msgs::msg::TransformStamped kBaseInMap =
  planar("map", "base_link", 1.0, 2.0, M_PI / 2.0);

TEST(Tf2GeometryMsgs, PoseStampedTakesTheTransformsHeader)
{
  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "base_link";
  in.header.stamp.sec = 7;
  in.pose.position.x = 1.0;
  tf2::Quaternion q;
  q.setRPY(0, 0, 0.25);
  in.pose.orientation = tf2::toMsg(q);

  geometry_msgs::msg::PoseStamped out;
  tf2::doTransform(in, out, kBaseInMap);
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_EQ(out.header.stamp, kBaseInMap.header.stamp);
  EXPECT_NEAR(out.pose.position.x, 1.0, kTol);
  EXPECT_NEAR(out.pose.position.y, 3.0, kTol);
  EXPECT_NEAR(tf2::getYaw(out.pose.orientation), M_PI / 2.0 + 0.25, kTol);

  // In place works too.
  tf2::doTransform(in, in, kBaseInMap);
  EXPECT_EQ(in, out);

  EXPECT_EQ(tf2::getFrameId(out), "map");
  EXPECT_DOUBLE_EQ(tf2::timeToSec(tf2::getTimestamp(out)), 42.5);
}

TEST(Tf2GeometryMsgs, PointsMoveVectorsOnlyTurn)
{
  geometry_msgs::msg::Point p;
  p.x = 1.0;
  geometry_msgs::msg::Point p_out;
  tf2::doTransform(p, p_out, kBaseInMap);
  EXPECT_NEAR(p_out.x, 1.0, kTol);
  EXPECT_NEAR(p_out.y, 3.0, kTol);

  geometry_msgs::msg::Vector3 v;
  v.x = 1.0;
  geometry_msgs::msg::Vector3 v_out;
  tf2::doTransform(v, v_out, kBaseInMap);
  EXPECT_NEAR(v_out.x, 0.0, kTol);
  EXPECT_NEAR(v_out.y, 1.0, kTol);

  geometry_msgs::msg::PolygonStamped square;
  square.header.frame_id = "base_link";
  for (const auto & corner : {std::make_pair(0.5f, 0.5f), std::make_pair(-0.5f, 0.5f)}) {
    geometry_msgs::msg::Point32 point;
    point.x = corner.first;
    point.y = corner.second;
    square.polygon.points.push_back(point);
  }
  geometry_msgs::msg::PolygonStamped moved;
  tf2::doTransform(square, moved, kBaseInMap);
  EXPECT_EQ(moved.header.frame_id, "map");
  ASSERT_EQ(moved.polygon.points.size(), 2u);
  EXPECT_NEAR(moved.polygon.points[0].x, 0.5f, 1e-6);
  EXPECT_NEAR(moved.polygon.points[0].y, 2.5f, 1e-6);
  EXPECT_NEAR(moved.polygon.points[1].x, 0.5f, 1e-6);
  EXPECT_NEAR(moved.polygon.points[1].y, 1.5f, 1e-6);
}

TEST(Tf2GeometryMsgs, CovarianceTurnsWithThePose)
{
  geometry_msgs::msg::PoseWithCovarianceStamped in;
  in.header.frame_id = "base_link";
  in.pose.covariance[0] = 4.0;   // var(x)
  in.pose.covariance[7] = 1.0;   // var(y)
  in.pose.covariance[35] = 0.5;  // var(yaw)
  geometry_msgs::msg::PoseWithCovarianceStamped out;
  tf2::doTransform(in, out, kBaseInMap);
  // Turned a quarter: the long axis now lies along map y.
  EXPECT_NEAR(out.pose.covariance[0], 1.0, kTol);
  EXPECT_NEAR(out.pose.covariance[7], 4.0, kTol);
  EXPECT_NEAR(out.pose.covariance[1], 0.0, kTol);
  EXPECT_NEAR(out.pose.covariance[35], 0.5, kTol);
  EXPECT_NEAR(out.pose.pose.position.x, 1.0, kTol);
  EXPECT_EQ(out.header.frame_id, "map");
}

TEST(Tf2GeometryMsgs, ChainedTransformsCompose)
{
  const auto laser_in_base = planar("base_link", "laser", 0.5, 0.0, M_PI / 2.0);
  geometry_msgs::msg::TransformStamped laser_in_map;
  tf2::doTransform(laser_in_base, laser_in_map, kBaseInMap);
  EXPECT_EQ(laser_in_map.header.frame_id, "map");
  EXPECT_EQ(laser_in_map.child_frame_id, "laser");
  EXPECT_NEAR(laser_in_map.transform.translation.x, 1.0, kTol);
  EXPECT_NEAR(laser_in_map.transform.translation.y, 2.5, kTol);
  EXPECT_NEAR(std::abs(tf2::getYaw(laser_in_map.transform.rotation)), M_PI, kTol);
}

TEST(Tf2GeometryMsgs, ConversionsRoundTrip)
{
  tf2::Quaternion q;
  q.setRPY(0.1, -0.2, 2.0);
  geometry_msgs::msg::Quaternion q_msg = tf2::toMsg(q);
  tf2::Quaternion q_back;
  tf2::fromMsg(q_msg, q_back);
  EXPECT_EQ(q_back, q);
  EXPECT_NEAR(tf2::getYaw(q_msg), 2.0, kTol);
  double yaw, pitch, roll;
  tf2::getEulerYPR(q_msg, yaw, pitch, roll);
  EXPECT_NEAR(roll, 0.1, kTol);
  EXPECT_NEAR(pitch, -0.2, kTol);

  tf2::Quaternion converted;
  tf2::convert(q_msg, converted);
  EXPECT_EQ(converted, q);
  geometry_msgs::msg::Quaternion converted_msg;
  tf2::convert(q, converted_msg);
  EXPECT_EQ(converted_msg, q_msg);

  tf2::Transform t;
  tf2::fromMsg(kBaseInMap.transform, t);
  EXPECT_NEAR(t.getOrigin().y(), 2.0, kTol);
  geometry_msgs::msg::Pose pose;
  tf2::toMsg(t, pose);
  EXPECT_NEAR(pose.position.x, 1.0, kTol);
  EXPECT_NEAR(tf2::getYaw(pose.orientation), M_PI / 2.0, kTol);

  tf2::Stamped<tf2::Transform> stamped;
  tf2::fromMsg(kBaseInMap, stamped);
  EXPECT_EQ(stamped.frame_id_, "map");
  EXPECT_DOUBLE_EQ(tf2::timeToSec(stamped.stamp_), 42.5);
  const geometry_msgs::msg::TransformStamped back = tf2::toMsg(stamped);
  EXPECT_EQ(back.header, kBaseInMap.header);
  EXPECT_NEAR(back.transform.translation.x, 1.0, kTol);

  const auto identity = tf2::getTransformIdentity<geometry_msgs::msg::Transform>();
  EXPECT_DOUBLE_EQ(identity.rotation.w, 1.0);
  EXPECT_DOUBLE_EQ(identity.translation.x, 0.0);
}

TEST(Tf2GeometryMsgs, TimeConversionsSplitSecondsAndNanoseconds)
{
  const builtin_interfaces::msg::Time msg = tf2_ros::toMsg(tf2::timeFromSec(3.25));
  EXPECT_EQ(msg.sec, 3);
  EXPECT_EQ(msg.nanosec, 250000000u);
  EXPECT_EQ(tf2_ros::fromMsg(msg), tf2::timeFromSec(3.25));
  const builtin_interfaces::msg::Duration d = tf2_ros::toMsg(tf2::durationFromSec(-0.5));
  EXPECT_EQ(d.sec, -1);
  EXPECT_EQ(d.nanosec, 500000000u);
  EXPECT_EQ(tf2_ros::fromMsg(d), tf2::durationFromSec(-0.5));
  EXPECT_DOUBLE_EQ(tf2_ros::timeToSec(msg), 3.25);
  EXPECT_EQ(tf2_ros::fromRclcpp(tf2_ros::toRclcpp(tf2::timeFromSec(8.5))), tf2::timeFromSec(8.5));
  EXPECT_EQ(tf2_ros::toRclcpp(tf2::timeFromSec(8.5)).get_clock_type(), RCL_SYSTEM_TIME);
  EXPECT_EQ(tf2_ros::fromRclcpp(rclcpp::Duration::from_seconds(1.5)), tf2::durationFromSec(1.5));
}

}  // namespace
