// The topic recorder: it sees every publish on its topic at once, without spinning and without
// counting as a subscription.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "ros_lite/testing/ros_context.hpp"
#include "ros_lite/testing/topic_recorder.hpp"
#include "std_msgs/msg/int32.hpp"

namespace
{

using std_msgs::msg::Int32;
using namespace std::chrono_literals;

Int32 make(int32_t value)
{
  Int32 msg;
  msg.data = value;
  return msg;
}

class TopicsTest : public ::testing::Test
{
protected:
  ros_lite::testing::ScopedRos ros_;
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("topics_node");
};

TEST_F(TopicsTest, TopicRecorderSeesPublishesWithoutSpinning)
{
  ros_lite::testing::TopicRecorder<Int32> recorder("/cmd");
  auto pub = node_->create_publisher<Int32>("cmd", 1);
  EXPECT_EQ(pub->get_subscription_count(), 0u);
  for (int32_t i = 0; i < 5; ++i) {
    pub->publish(make(i));
  }
  EXPECT_EQ(recorder.count(), 5u);
  EXPECT_EQ(recorder.last()->data, 4);
  EXPECT_TRUE(recorder.wait_for_count(5, 0ns));
  EXPECT_FALSE(recorder.wait_for_count(6, 1ms));
}

}  // namespace
