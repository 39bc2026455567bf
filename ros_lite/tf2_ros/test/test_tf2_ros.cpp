#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/create_timer_ros.h"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"

namespace
{

using namespace std::chrono_literals;

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
  t.transform.rotation.x = q.x();
  t.transform.rotation.y = q.y();
  t.transform.rotation.z = q.z();
  t.transform.rotation.w = q.w();
  return t;
}

class Tf2Ros : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  rclcpp::Clock::SharedPtr clock_ = std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME);
};

TEST_F(Tf2Ros, TimeoutsNeedADedicatedThread)
{
  tf2_ros::Buffer buffer(clock_);
  const rclcpp::Time stamp(5, 0, RCL_SYSTEM_TIME);
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1.0, 0.0, stamp), "test"));
  ASSERT_FALSE(buffer.isUsingDedicatedThread());

  // Without one, a timeout-taking canTransform refuses even data that is there...
  std::string error;
  EXPECT_FALSE(buffer.canTransform("odom", "base_link", tf2::TimePointZero, 0s, &error));
  EXPECT_EQ(error, tf2_ros::threading_error);
  // ...while the lookups still answer from what is buffered.
  EXPECT_NEAR(
    buffer.lookupTransform("odom", "base_link", tf2::TimePointZero, 0s).transform.translation.x,
    1.0, kTol);
  EXPECT_NEAR(
    buffer.lookupTransform("odom", "base_link", rclcpp::Time(0, 0, RCL_ROS_TIME))
    .transform.translation.x, 1.0, kTol);
  EXPECT_THROW(
    buffer.lookupTransform("odom", "wheel", tf2::TimePointZero, 1s), tf2::LookupException);

  buffer.setUsingDedicatedThread(true);
  EXPECT_TRUE(buffer.canTransform("odom", "base_link", tf2::TimePointZero, 0s));
  EXPECT_TRUE(buffer.canTransform("odom", "base_link", stamp, rclcpp::Duration(0, 0)));
}

TEST_F(Tf2Ros, TimeoutWaitsForDataFromAnotherThread)
{
  tf2_ros::Buffer buffer(clock_);
  buffer.setUsingDedicatedThread(true);
  std::thread feeder([&buffer] {
      buffer.setTransform(
        link("odom", "base_link", 1.0, 0.0, rclcpp::Time(5, 0, RCL_SYSTEM_TIME)), "test");
    });
  EXPECT_TRUE(buffer.canTransform("odom", "base_link", tf2::TimePointZero, 10s));
  feeder.join();

  // Nothing ever arrives for this pair: the wait gives up and says how long it tried.
  std::string error;
  EXPECT_FALSE(buffer.canTransform("odom", "laser", tf2::TimePointZero, 30ms, &error));
  EXPECT_NE(error.find("canTransform: source_frame laser does not exist."), std::string::npos);
  EXPECT_NE(error.find("canTransform returned after"), std::string::npos) << error;
}

TEST_F(Tf2Ros, ListenerFeedsTheBufferFromBroadcasters)
{
  auto node = std::make_shared<rclcpp::Node>("tf_publisher");
  tf2_ros::StaticTransformBroadcaster static_broadcaster(node);
  // Sent before any listener exists: the latched topic still delivers it.
  static_broadcaster.sendTransform(link("map", "odom", 1.0, 0.0, node->now()));
  static_broadcaster.sendTransform(link("base_link", "laser", 0.5, 0.0, node->now()));

  auto buffer = std::make_shared<tf2_ros::Buffer>(clock_);
  tf2_ros::TransformListener listener(*buffer);
  EXPECT_TRUE(buffer->isUsingDedicatedThread());

  tf2_ros::TransformBroadcaster broadcaster(node);
  broadcaster.sendTransform(link("odom", "base_link", 2.0, 0.0, node->now()));

  std::string error;
  ASSERT_TRUE(buffer->canTransform("map", "laser", tf2::TimePointZero, 10s, &error)) << error;
  const auto t = buffer->lookupTransform("map", "laser", tf2::TimePointZero);
  EXPECT_NEAR(t.transform.translation.x, 3.5, kTol);
}

TEST_F(Tf2Ros, ListenerWithoutThreadRunsInTheNodesExecutor)
{
  auto node = std::make_shared<rclcpp::Node>("tf_listening_node");
  tf2_ros::Buffer buffer(clock_);
  tf2_ros::TransformListener listener(buffer, node, false);
  EXPECT_FALSE(buffer.isUsingDedicatedThread());

  tf2_ros::TransformBroadcaster broadcaster(node);
  // One stamp for both: two single samples at different times have no common time.
  const rclcpp::Time stamp = node->now();
  broadcaster.sendTransform(
    std::vector<geometry_msgs::msg::TransformStamped>{
      link("odom", "base_link", 2.0, 0.0, stamp), link("base_link", "laser", 0.5, 0.0, stamp)});
  EXPECT_FALSE(buffer.canTransform("odom", "laser", tf2::TimePointZero));

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!buffer.canTransform("odom", "laser", tf2::TimePointZero) &&
    std::chrono::steady_clock::now() < deadline)
  {
    executor.spin_some();
  }
  std::string error;
  EXPECT_TRUE(buffer.canTransform("odom", "laser", tf2::TimePointZero, &error)) << error;
}

TEST_F(Tf2Ros, StaticBroadcasterRepublishesEveryFrameItKnows)
{
  auto node = std::make_shared<rclcpp::Node>("static_publisher");
  std::vector<size_t> sizes;
  tf2_msgs::msg::TFMessage last;
  auto sub = node->create_subscription<tf2_msgs::msg::TFMessage>(
    "/tf_static", tf2_ros::StaticListenerQoS(10),
    [&](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
      sizes.push_back(msg->transforms.size());
      last = *msg;
    });
  tf2_ros::StaticTransformBroadcaster broadcaster(node);
  broadcaster.sendTransform(link("map", "odom", 1.0, 0.0, node->now()));
  broadcaster.sendTransform(link("base_link", "laser", 0.5, 0.0, node->now()));
  broadcaster.sendTransform(link("map", "odom", 7.0, 0.0, node->now()));  // replaces odom

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (sizes.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    executor.spin_some();
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{1, 2, 2}));
  ASSERT_EQ(last.transforms.size(), 2u);
  EXPECT_EQ(last.transforms[0].child_frame_id, "odom");
  EXPECT_DOUBLE_EQ(last.transforms[0].transform.translation.x, 7.0);
}

class Tf2RosWait : public Tf2Ros
{
protected:
  void SetUp() override
  {
    node_ = std::make_shared<rclcpp::Node>("tf_waiter");
    buffer_ = std::make_shared<tf2_ros::Buffer>(clock_);
    buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
    executor_.add_node(node_);
    spinner_ = std::thread([this] {
          executor_.spin();
          spun_.set_value();
        });
  }

  void TearDown() override
  {
    // A cancel() that lands before spin() has started is lost: repeat until spin has returned.
    auto spun = spun_.get_future();
    do {
      executor_.cancel();
    } while (spun.wait_for(1ms) != std::future_status::ready);
    spinner_.join();
  }

  rclcpp::Node::SharedPtr node_;
  std::shared_ptr<tf2_ros::Buffer> buffer_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
  std::promise<void> spun_;
};

TEST_F(Tf2RosWait, FutureResolvesWhenTheTransformArrives)
{
  std::promise<bool> called;
  auto future = buffer_->waitForTransform(
    "odom", "base_link", tf2::timeFromSec(5.0), tf2::durationFromSec(30.0),
    [&called](const tf2_ros::TransformStampedFuture & f) {called.set_value(f.valid());});
  EXPECT_NE(future.getHandle(), 0u);
  ASSERT_TRUE(buffer_->setTransform(
    link("odom", "base_link", 1.0, 0.0, rclcpp::Time(5, 0, RCL_SYSTEM_TIME)), "test"));
  ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
  EXPECT_NEAR(future.get().transform.translation.x, 1.0, kTol);
  EXPECT_TRUE(called.get_future().get());

  // Already available: resolved at once.
  auto immediate = buffer_->waitForTransform(
    "odom", "base_link", tf2::timeFromSec(5.0), tf2::durationFromSec(30.0),
    [](const tf2_ros::TransformStampedFuture &) {});
  ASSERT_EQ(immediate.wait_for(0s), std::future_status::ready);
  EXPECT_EQ(immediate.getHandle(), 0u);
}

TEST_F(Tf2RosWait, FutureFailsWithTimeout)
{
  std::promise<void> called;
  auto future = buffer_->waitForTransform(
    "odom", "nowhere", tf2::timeFromSec(5.0), tf2::durationFromSec(0.05),
    [&called](const tf2_ros::TransformStampedFuture &) {called.set_value();});
  ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
  EXPECT_THROW(future.get(), tf2::TimeoutException);
  called.get_future().get();
}

TEST_F(Tf2RosWait, CancelledRequestNeverDeliversATransform)
{
  bool called = false;
  auto future = buffer_->waitForTransform(
    "odom", "base_link", tf2::timeFromSec(5.0), tf2::durationFromSec(30.0),
    [&called](const tf2_ros::TransformStampedFuture &) {called = true;});
  buffer_->cancel(future);
  ASSERT_TRUE(buffer_->setTransform(
    link("odom", "base_link", 1.0, 0.0, rclcpp::Time(5, 0, RCL_SYSTEM_TIME)), "test"));
  // Nothing holds the request any more: the future reports a broken promise.
  ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
  EXPECT_THROW(future.get(), std::future_error);
  EXPECT_FALSE(called);
}

TEST_F(Tf2Ros, WaitingNeedsATimerInterface)
{
  tf2_ros::Buffer buffer(clock_);
  EXPECT_THROW(
    buffer.waitForTransform(
      "a", "b", tf2::TimePointZero, tf2::durationFromSec(1.0),
      [](const tf2_ros::TransformStampedFuture &) {}),
    tf2_ros::CreateTimerInterfaceException);
  EXPECT_THROW(tf2_ros::Buffer(nullptr), std::invalid_argument);
}

}  // namespace
