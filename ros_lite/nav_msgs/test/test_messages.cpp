// Generated message types must look and behave like rosidl's: defaults, constants, pointer
// aliases, equality and bounded sequences.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "action_msgs/msg/goal_status.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist_with_covariance.hpp"
#include "nav_2d_msgs/msg/pose2_d_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"

TEST(GeneratedMessages, DefaultsFollowTheDefinitions)
{
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_EQ(pose.pose.orientation.w, 1.0);
  EXPECT_EQ(pose.pose.orientation.x, 0.0);
  EXPECT_EQ(pose.pose.position.x, 0.0);
  EXPECT_TRUE(pose.header.frame_id.empty());
  EXPECT_EQ(pose.header.stamp.sec, 0);

  geometry_msgs::msg::TwistWithCovariance twist;
  for (double value : twist.covariance) {
    EXPECT_EQ(value, 0.0);
  }

  rcl_interfaces::msg::SetParametersResult result;
  EXPECT_FALSE(result.successful);
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  EXPECT_FALSE(descriptor.read_only);
  EXPECT_FALSE(descriptor.dynamic_typing);
}

TEST(GeneratedMessages, ConstantsAndFieldTypes)
{
  EXPECT_EQ(action_msgs::msg::GoalStatus::STATUS_SUCCEEDED, 4);
  EXPECT_EQ(action_msgs::msg::GoalStatus::STATUS_CANCELED, 5);
  EXPECT_EQ(action_msgs::msg::GoalStatus::STATUS_ABORTED, 6);
  EXPECT_EQ(action_msgs::srv::CancelGoal::Response::ERROR_UNKNOWN_GOAL_ID, 2);
  static_assert(std::is_same_v<decltype(action_msgs::msg::GoalStatus::status), int8_t>);
  static_assert(std::is_same_v<decltype(nav_msgs::msg::Path::poses),
    std::vector<geometry_msgs::msg::PoseStamped>>);
  static_assert(std::is_same_v<nav_2d_msgs::msg::Pose2DStamped::_pose_type,
    geometry_msgs::msg::Pose2D>);
  static_assert(rosidl_generator_traits::is_message<nav_msgs::msg::Path>::value);
  static_assert(!rosidl_generator_traits::is_message<int>::value);
  EXPECT_STREQ(rosidl_generator_traits::name<nav_msgs::msg::Path>(), "nav_msgs/msg/Path");
}

TEST(GeneratedMessages, EqualityIsMemberwiseAndDeep)
{
  nav_msgs::msg::Path a;
  a.poses.resize(2);
  nav_msgs::msg::Path b = a;
  EXPECT_EQ(a, b);
  b.poses[1].pose.orientation.z = 0.5;
  EXPECT_NE(a, b);

  auto shared = std::make_shared<nav_msgs::msg::Path>(a);
  nav_msgs::msg::Path::ConstSharedPtr as_const = shared;
  EXPECT_EQ(*as_const, a);
}

TEST(GeneratedMessages, BoundedSequencesRefuseToGrowPastTheirBound)
{
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.floating_point_range.resize(1);
  EXPECT_THROW(descriptor.floating_point_range.resize(2), std::length_error);
  EXPECT_THROW(descriptor.integer_range.resize(2), std::length_error);
  descriptor.integer_range.push_back(rcl_interfaces::msg::IntegerRange());
  EXPECT_THROW(descriptor.integer_range.push_back(rcl_interfaces::msg::IntegerRange()),
    std::length_error);
}
