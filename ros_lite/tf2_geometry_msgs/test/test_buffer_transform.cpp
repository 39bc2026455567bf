// tf2_ros::Buffer::transform on geometry_msgs types: the conversions of this package are what
// turn a stamped message into another frame (and into another type through tf2::convert).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/buffer.h"

namespace
{

constexpr double kTol = 1e-9;

geometry_msgs::msg::TransformStamped link(
  const std::string & parent, const std::string & child, double x, double yaw,
  const rclcpp::Time & stamp)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp = stamp;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  tf2::Quaternion q;
  q.setRPY(0, 0, yaw);
  t.transform.rotation = tf2::toMsg(q);
  return t;
}

class Tf2Ros : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  rclcpp::Clock::SharedPtr clock_ = std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME);
};

TEST_F(Tf2Ros, TransformsStampedDataThroughTheTree)
{
  tf2_ros::Buffer buffer(clock_);
  buffer.setUsingDedicatedThread(true);
  const rclcpp::Time stamp(10, 0, RCL_SYSTEM_TIME);
  ASSERT_TRUE(buffer.setTransform(link("map", "odom", 1.0, 0.0, stamp), "test", true));
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 2.0, M_PI / 2.0, stamp), "test"));

  geometry_msgs::msg::PoseStamped ahead;
  ahead.header.frame_id = "base_link";
  ahead.header.stamp = stamp;
  ahead.pose.position.x = 1.0;

  const auto in_map = buffer.transform(ahead, "map");
  EXPECT_EQ(in_map.header.frame_id, "map");
  EXPECT_NEAR(in_map.pose.position.x, 3.0, kTol);
  EXPECT_NEAR(in_map.pose.position.y, 1.0, kTol);
  EXPECT_NEAR(tf2::getYaw(in_map.pose.orientation), M_PI / 2.0, kTol);

  // Into another type through tf2::convert.
  tf2::Stamped<tf2::Transform> as_transform;
  buffer.transform(ahead, as_transform, "map");
  EXPECT_EQ(as_transform.frame_id_, "map");
  EXPECT_NEAR(as_transform.getOrigin().x(), 3.0, kTol);

  // Stamped after the newest data: the lookup cannot extrapolate.
  ahead.header.stamp = rclcpp::Time(11, 0, RCL_SYSTEM_TIME);
  EXPECT_THROW(buffer.transform(ahead, "map"), tf2::ExtrapolationException);
  // A zero stamp asks for the latest.
  ahead.header.stamp = rclcpp::Time(0, 0, RCL_SYSTEM_TIME);
  EXPECT_NEAR(buffer.transform(ahead, "map").pose.position.x, 3.0, kTol);
}

}  // namespace
