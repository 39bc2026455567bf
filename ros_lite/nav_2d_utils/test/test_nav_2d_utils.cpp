#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nav_2d_utils/conversions.hpp"
#include "nav_2d_utils/odom_subscriber.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "nav_2d_utils/path_ops.hpp"
#include "nav_2d_utils/tf_help.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"

namespace
{

using namespace std::chrono_literals;

constexpr double kTol = 1e-9;

geometry_msgs::msg::Pose2D pose2d(double x, double y, double theta)
{
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

TEST(Nav2dConversions, TwistsAndPosesRoundTrip)
{
  nav_2d_msgs::msg::Twist2D twist2d;
  twist2d.x = 0.3;
  twist2d.y = -0.1;
  twist2d.theta = 0.7;
  const geometry_msgs::msg::Twist twist = nav_2d_utils::twist2Dto3D(twist2d);
  EXPECT_DOUBLE_EQ(twist.linear.x, 0.3);
  EXPECT_DOUBLE_EQ(twist.linear.y, -0.1);
  EXPECT_DOUBLE_EQ(twist.angular.z, 0.7);
  EXPECT_DOUBLE_EQ(twist.linear.z + twist.angular.x + twist.angular.y, 0.0);
  EXPECT_EQ(nav_2d_utils::twist3Dto2D(twist), twist2d);

  const geometry_msgs::msg::Pose pose = nav_2d_utils::pose2DToPose(pose2d(1.0, 2.0, 3.0));
  EXPECT_DOUBLE_EQ(pose.position.z, 0.0);
  EXPECT_NEAR(pose.orientation.x, 0.0, kTol);
  EXPECT_NEAR(pose.orientation.y, 0.0, kTol);
  const geometry_msgs::msg::Pose2D back = nav_2d_utils::poseToPose2D(pose);
  EXPECT_DOUBLE_EQ(back.x, 1.0);
  EXPECT_DOUBLE_EQ(back.y, 2.0);
  EXPECT_NEAR(back.theta, 3.0, kTol);
  // Headings come back wrapped into [-pi, pi].
  EXPECT_NEAR(nav_2d_utils::poseToPose2D(nav_2d_utils::pose2DToPose(pose2d(0, 0, 4.0))).theta,
    4.0 - 2.0 * M_PI, kTol);

  geometry_msgs::msg::PoseStamped stamped;
  stamped.header.frame_id = "odom";
  stamped.header.stamp.sec = 3;
  stamped.pose = pose;
  const nav_2d_msgs::msg::Pose2DStamped stamped2d = nav_2d_utils::poseStampedToPose2D(stamped);
  EXPECT_EQ(stamped2d.header, stamped.header);
  EXPECT_NEAR(stamped2d.pose.theta, 3.0, kTol);
  const geometry_msgs::msg::PoseStamped stamped_back = nav_2d_utils::pose2DToPoseStamped(stamped2d);
  EXPECT_EQ(stamped_back.header, stamped.header);
  EXPECT_NEAR(stamped_back.pose.orientation.w, pose.orientation.w, kTol);

  const auto with_frame = nav_2d_utils::pose2DToPoseStamped(
    pose2d(1, 1, 0), "map", rclcpp::Time(5, 7, RCL_ROS_TIME));
  EXPECT_EQ(with_frame.header.frame_id, "map");
  EXPECT_EQ(with_frame.header.stamp.sec, 5);
  EXPECT_EQ(with_frame.header.stamp.nanosec, 7u);
}

TEST(Nav2dConversions, Paths)
{
  EXPECT_TRUE(nav_2d_utils::posesToPath({}).header.frame_id.empty());

  std::vector<geometry_msgs::msg::PoseStamped> poses(2);
  poses[0].header.frame_id = "map";
  poses[0].header.stamp.sec = 4;
  poses[1].header.frame_id = "map";
  poses[1].pose.position.x = 1.0;
  const nav_msgs::msg::Path path = nav_2d_utils::posesToPath(poses);
  EXPECT_EQ(path.header, poses[0].header);
  EXPECT_EQ(path.poses, poses);

  const nav_2d_msgs::msg::Path2D path2d = nav_2d_utils::pathToPath2D(path);
  EXPECT_EQ(path2d.header, path.header);
  ASSERT_EQ(path2d.poses.size(), 2u);
  EXPECT_DOUBLE_EQ(path2d.poses[1].x, 1.0);

  const nav_msgs::msg::Path back = nav_2d_utils::pathToPath(path2d);
  ASSERT_EQ(back.poses.size(), 2u);
  EXPECT_EQ(back.poses[1].header, path2d.header);  // every pose gets the path's header
  EXPECT_DOUBLE_EQ(back.poses[1].pose.position.x, 1.0);

  const nav_msgs::msg::Path built = nav_2d_utils::poses2DToPath(
    {pose2d(0, 0, 0), pose2d(2, 0, 1.0)}, "odom", rclcpp::Time(9, 0, RCL_ROS_TIME));
  EXPECT_EQ(built.header.frame_id, "odom");
  ASSERT_EQ(built.poses.size(), 2u);
  EXPECT_EQ(built.poses[1].header.frame_id, "odom");
  EXPECT_EQ(built.poses[1].header.stamp.sec, 9);
  EXPECT_NEAR(tf2::getYaw(built.poses[1].pose.orientation), 1.0, kTol);
}

TEST(Nav2dPathOps, AdjustPlanResolutionFillsOnlyGapsWiderThanTwoCells)
{
  nav_2d_msgs::msg::Path2D plan;
  plan.header.frame_id = "map";
  EXPECT_TRUE(nav_2d_utils::adjustPlanResolution(plan, 0.1).poses.empty());

  // Gaps of 0.4 m and 0.5 m (at most twice 0.25 m) stay; the 1 m gap gets three poses.
  plan.poses = {pose2d(0, 0, 0), pose2d(0.4, 0, 0), pose2d(0.9, 0, 0), pose2d(1.9, 0, 1.0)};
  const auto dense = nav_2d_utils::adjustPlanResolution(plan, 0.25);
  EXPECT_EQ(dense.header.frame_id, "map");
  ASSERT_EQ(dense.poses.size(), 7u);
  EXPECT_EQ(dense.poses[1], plan.poses[1]);
  EXPECT_EQ(dense.poses[2], plan.poses[2]);
  for (size_t i = 3; i < dense.poses.size(); ++i) {
    EXPECT_NEAR(dense.poses[i].x - dense.poses[i - 1].x, 0.25, kTol);
  }
  // Inserted headings are blended from the first pose's heading.
  EXPECT_NEAR(dense.poses[4].theta, 0.5, kTol);
  EXPECT_EQ(dense.poses.back(), plan.poses.back());

  // A gap just over twice the resolution is split into three equal steps.
  plan.poses = {pose2d(0, 0, 0), pose2d(0, 0.6, 0)};
  const auto split = nav_2d_utils::adjustPlanResolution(plan, 0.25);
  ASSERT_EQ(split.poses.size(), 4u);
  EXPECT_NEAR(split.poses[1].y, 0.2, kTol);
  EXPECT_NEAR(split.poses[2].y, 0.4, kTol);
}

class Nav2dTransformPose : public ::testing::Test
{
protected:
  void SetUp() override
  {
    tf_ = std::make_shared<tf2_ros::Buffer>(std::make_shared<rclcpp::Clock>());
    tf_->setUsingDedicatedThread(true);
    addOdomInMap(10, 1.0);
    addOdomInMap(12, 3.0);
  }

  void addOdomInMap(int sec, double x)
  {
    geometry_msgs::msg::TransformStamped t;
    t.header.frame_id = "map";
    t.header.stamp.sec = sec;
    t.child_frame_id = "odom";
    t.transform.translation.x = x;
    ASSERT_TRUE(tf_->setTransform(t, "test"));
  }

  geometry_msgs::msg::PoseStamped poseInOdom(int sec) const
  {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "odom";
    pose.header.stamp.sec = sec;
    pose.pose.position.y = 1.0;
    return pose;
  }

  std::shared_ptr<tf2_ros::Buffer> tf_;
  rclcpp::Duration tolerance_ = rclcpp::Duration::from_seconds(0.5);
};

TEST_F(Nav2dTransformPose, SameFrameIsCopied)
{
  geometry_msgs::msg::PoseStamped out;
  const auto in = poseInOdom(100);  // no data at that time, but none is needed
  EXPECT_TRUE(nav_2d_utils::transformPose(tf_, "odom", in, out, tolerance_));
  EXPECT_EQ(out, in);
}

TEST_F(Nav2dTransformPose, UsesTheTransformAtThePoseStamp)
{
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(nav_2d_utils::transformPose(tf_, "map", poseInOdom(11), out, tolerance_));
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_NEAR(out.pose.position.x, 2.0, kTol);  // interpolated
  EXPECT_NEAR(out.pose.position.y, 1.0, kTol);
}

TEST_F(Nav2dTransformPose, FallsBackToLatestWithinTolerance)
{
  auto in = poseInOdom(12);
  in.header.stamp.nanosec = 400000000u;  // 0.4 s past the newest data
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(nav_2d_utils::transformPose(tf_, "map", in, out, tolerance_));
  EXPECT_NEAR(out.pose.position.x, 3.0, kTol);
  EXPECT_EQ(out.header.stamp.sec, 12);  // stamped with the transform used

  in.header.stamp.nanosec = 600000000u;  // 0.6 s: too old a transform
  EXPECT_FALSE(nav_2d_utils::transformPose(tf_, "map", in, out, tolerance_));

  nav_2d_msgs::msg::Pose2DStamped in2d = nav_2d_utils::poseStampedToPose2D(poseInOdom(11));
  nav_2d_msgs::msg::Pose2DStamped out2d;
  ASSERT_TRUE(nav_2d_utils::transformPose(tf_, "map", in2d, out2d, tolerance_));
  EXPECT_EQ(out2d.header.frame_id, "map");
  EXPECT_NEAR(out2d.pose.x, 2.0, kTol);
}

TEST_F(Nav2dTransformPose, OtherFailuresAreReportedNotThrown)
{
  geometry_msgs::msg::PoseStamped out;
  auto in = poseInOdom(11);
  in.header.frame_id = "base_link";
  EXPECT_FALSE(nav_2d_utils::transformPose(tf_, "map", in, out, tolerance_));
}

class Nav2dNodeTest : public ::testing::Test
{
protected:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}

  static nav_msgs::msg::Odometry odometry(double vx, double vy, double wz)
  {
    nav_msgs::msg::Odometry odom;
    odom.header.frame_id = "odom";
    odom.twist.twist.linear.x = vx;
    odom.twist.twist.linear.y = vy;
    odom.twist.twist.angular.z = wz;
    return odom;
  }

  // Spins until `done` or a deadline.
  template<class Predicate>
  static bool spinUntil(
    const rclcpp_lifecycle::LifecycleNode::SharedPtr & node, Predicate done)
  {
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(node->get_node_base_interface());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      executor.spin_some();
    }
    return done();
  }
};

TEST_F(Nav2dNodeTest, OdomSubscriberKeepsTheLatestSample)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("odom_listener");
  nav_2d_utils::OdomSubscriber odom(node);
  EXPECT_EQ(node->get_parameter("odom_topic").as_string(), "odom");
  EXPECT_EQ(odom.getTwist(), nav_2d_msgs::msg::Twist2D());

  auto pub = rclcpp::create_publisher<nav_msgs::msg::Odometry>(node, "odom", 10);
  pub->publish(odometry(0.1, 0.0, 0.0));
  pub->publish(odometry(0.2, 0.05, -0.3));
  // Published but not spun yet: nothing delivered.
  EXPECT_EQ(odom.getTwist(), nav_2d_msgs::msg::Twist2D());

  ASSERT_TRUE(spinUntil(node, [&] {return odom.getTwist().x == 0.2;}));
  const nav_2d_msgs::msg::Twist2DStamped latest = odom.getTwistStamped();
  EXPECT_DOUBLE_EQ(latest.velocity.y, 0.05);
  EXPECT_DOUBLE_EQ(latest.velocity.theta, -0.3);
  EXPECT_EQ(latest.header.frame_id, "odom");
}

TEST_F(Nav2dNodeTest, OdomSubscriberHonoursAConfiguredTopic)
{
  rclcpp::NodeOptions options;
  options.parameter_overrides({rclcpp::Parameter("odom_topic", std::string("wheel_odom"))});
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("odom_listener", options);
  nav_2d_utils::OdomSubscriber odom(node, "ignored_default");
  EXPECT_EQ(node->get_parameter("odom_topic").as_string(), "wheel_odom");

  auto other = rclcpp::create_publisher<nav_msgs::msg::Odometry>(node, "ignored_default", 10);
  auto wheel = rclcpp::create_publisher<nav_msgs::msg::Odometry>(node, "wheel_odom", 10);
  other->publish(odometry(9.0, 0.0, 0.0));
  wheel->publish(odometry(0.4, 0.0, 0.0));
  ASSERT_TRUE(spinUntil(node, [&] {return odom.getTwist().x != 0.0;}));
  EXPECT_DOUBLE_EQ(odom.getTwist().x, 0.4);

  // Declared already by someone else: that value is used, not the default.
  auto second = std::make_shared<rclcpp_lifecycle::LifecycleNode>("odom_listener_2");
  second->declare_parameter("odom_topic", std::string("already_there"));
  nav_2d_utils::OdomSubscriber odom2(second);
  EXPECT_EQ(second->get_parameter("odom_topic").as_string(), "already_there");
}

TEST_F(Nav2dNodeTest, SearchAndGetParamDeclaresOnce)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("param_reader");
  EXPECT_DOUBLE_EQ(nav_2d_utils::searchAndGetParam(node, "max_vel", 0.5), 0.5);
  node->set_parameter(rclcpp::Parameter("max_vel", 0.8));
  EXPECT_DOUBLE_EQ(nav_2d_utils::searchAndGetParam(node, "max_vel", 0.5), 0.8);
  EXPECT_EQ(nav_2d_utils::searchAndGetParam(node, "name", std::string("dwb")), "dwb");
}

}  // namespace
