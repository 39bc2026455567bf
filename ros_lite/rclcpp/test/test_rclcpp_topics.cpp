// Publishers and subscriptions in one process: delivery only through the executor, QoS depth and
// durability, callback signatures, graph counts and callback groups.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "ros_scope.hpp"
#include "std_msgs/msg/int32.hpp"
#include "std_msgs/msg/string.hpp"

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
  rclcpp_test::ScopedRos ros_;
  std::shared_ptr<rclcpp::Node> node_ = std::make_shared<rclcpp::Node>("topics_node");
  rclcpp::executors::SingleThreadedExecutor executor_;
};

// Collects values from any thread; waits with a deadline.
class Received
{
public:
  void add(int32_t value)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      values_.push_back(value);
      threads_.push_back(std::this_thread::get_id());
    }
    condition_.notify_all();
  }

  bool wait_for(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return condition_.wait_for(lock, 5s, [&] {return values_.size() >= count;});
  }

  std::vector<int32_t> values()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
  }

  std::vector<std::thread::id> threads()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

private:
  std::mutex mutex_;
  std::condition_variable condition_;
  std::vector<int32_t> values_;
  std::vector<std::thread::id> threads_;
};

TEST_F(TopicsTest, PublishNeverRunsTheCallbackInline)
{
  Received received;
  auto sub = node_->create_subscription<Int32>(
    "numbers", 10, [&received](const Int32 & msg) {received.add(msg.data);});
  auto pub = node_->create_publisher<Int32>("numbers", 10);

  pub->publish(make(1));
  pub->publish(std::make_unique<Int32>(make(2)));
  EXPECT_TRUE(received.values().empty());
  EXPECT_EQ(sub->get_queued_message_count(), 2u);

  executor_.add_node(node_);
  executor_.spin_all(1s);
  EXPECT_EQ(received.values(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(received.threads().front(), std::this_thread::get_id());
}

TEST_F(TopicsTest, CallbacksRunOnTheThreadSpinningTheNode)
{
  Received received;
  auto sub = node_->create_subscription<Int32>(
    "numbers", 10, [&received](Int32::ConstSharedPtr msg) {received.add(msg->data);});
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  executor_.add_node(node_);
  std::thread spinner([this]() {executor_.spin();});
  const auto spinner_id = spinner.get_id();

  pub->publish(make(7));
  ASSERT_TRUE(received.wait_for(1));
  executor_.cancel();
  spinner.join();
  EXPECT_EQ(received.values(), (std::vector<int32_t>{7}));
  EXPECT_EQ(received.threads().front(), spinner_id);
  EXPECT_NE(received.threads().front(), std::this_thread::get_id());
}

TEST_F(TopicsTest, KeepLastDepthDropsTheOldestMessages)
{
  Received received;
  auto sub = node_->create_subscription<Int32>(
    "numbers", rclcpp::QoS(rclcpp::KeepLast(3)),
    [&received](const Int32 & msg) {received.add(msg.data);});
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  for (int32_t i = 1; i <= 5; ++i) {
    pub->publish(make(i));
  }
  EXPECT_EQ(sub->get_queued_message_count(), 3u);
  executor_.add_node(node_);
  executor_.spin_all(1s);
  EXPECT_EQ(received.values(), (std::vector<int32_t>{3, 4, 5}));
}

TEST_F(TopicsTest, TransientLocalKeepsTheLastMessagesForLateJoiners)
{
  auto pub = node_->create_publisher<Int32>(
    "latched", rclcpp::QoS(rclcpp::KeepLast(2)).transient_local());
  for (int32_t i = 1; i <= 3; ++i) {
    pub->publish(make(i));
  }
  Received late;
  auto late_sub = node_->create_subscription<Int32>(
    "latched", rclcpp::QoS(10).transient_local(), [&late](const Int32 & msg) {late.add(msg.data);});
  Received volatile_received;
  auto volatile_sub = node_->create_subscription<Int32>(
    "latched", 10, [&volatile_received](const Int32 & msg) {volatile_received.add(msg.data);});
  executor_.add_node(node_);
  executor_.spin_all(1s);
  EXPECT_EQ(late.values(), (std::vector<int32_t>{2, 3}));
  EXPECT_TRUE(volatile_received.values().empty());

  // A volatile publisher does not serve a transient-local subscription.
  auto volatile_pub = node_->create_publisher<Int32>("plain", 10);
  auto demanding = node_->create_subscription<Int32>(
    "plain", rclcpp::QoS(1).transient_local(), [](const Int32 &) {});
  EXPECT_EQ(volatile_pub->get_subscription_count(), 0u);
  EXPECT_EQ(node_->count_subscribers("plain"), 1u);
}

TEST_F(TopicsTest, EveryCallbackSignatureReceivesTheMessage)
{
  Received received;
  struct Handler
  {
    Received & received;
    void on_message(const Int32::SharedPtr msg) {received.add(msg->data + 700);}
  } handler{received};
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subs{
    node_->create_subscription<Int32>(
      "numbers", 10, std::bind(&Handler::on_message, &handler, std::placeholders::_1)),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](const Int32 & m) {received.add(m.data + 100);}),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](Int32::SharedPtr m) {m->data += 1; received.add(m->data + 199);}),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](Int32::ConstSharedPtr m) {received.add(m->data + 300);}),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](const std::shared_ptr<const Int32> & m) {received.add(m->data + 400);}),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](std::unique_ptr<Int32> m) {received.add(m->data + 500);}),
    node_->create_subscription<Int32>(
      "numbers", 10, [&](const Int32 & m, const rclcpp::MessageInfo & info) {
        received.add(info.get_rmw_message_info().from_intra_process ? m.data + 600 : -1);
      }),
  };
  pub->publish(make(1));
  executor_.add_node(node_);
  executor_.spin_all(1s);
  auto values = received.values();
  std::sort(values.begin(), values.end());
  // The mutable copy of the SharedPtr callback does not leak into the others.
  EXPECT_EQ(values, (std::vector<int32_t>{101, 201, 301, 401, 501, 601, 701}));
}

TEST_F(TopicsTest, GraphCountsFollowTypesQosNamesAndLifetimes)
{
  auto ns_node = std::make_shared<rclcpp::Node>("scoped", "/robot");
  auto pub = ns_node->create_publisher<Int32>("odom", 10);
  EXPECT_STREQ(pub->get_topic_name(), "/robot/odom");
  auto private_pub = ns_node->create_publisher<Int32>("~/status", 10);
  EXPECT_STREQ(private_pub->get_topic_name(), "/robot/scoped/status");
  EXPECT_THROW(
    ns_node->create_publisher<Int32>("bad//name", 10), rclcpp::exceptions::InvalidTopicNameError);

  {
    auto sub = node_->create_subscription<Int32>("/robot/odom", 10, [](const Int32 &) {});
    EXPECT_EQ(pub->get_subscription_count(), 1u);
    EXPECT_EQ(sub->get_publisher_count(), 1u);
    EXPECT_EQ(node_->count_publishers("/robot/odom"), 1u);
    auto other_type = node_->create_subscription<std_msgs::msg::String>(
      "/robot/odom", 10, [](const std_msgs::msg::String &) {});
    EXPECT_EQ(pub->get_subscription_count(), 1u);
    EXPECT_EQ(node_->count_subscribers("/robot/odom"), 2u);
  }
  EXPECT_EQ(pub->get_subscription_count(), 0u);

  auto best_effort_pub = node_->create_publisher<Int32>("sensor", rclcpp::SensorDataQoS());
  auto reliable_sub = node_->create_subscription<Int32>("sensor", 10, [](const Int32 &) {});
  auto best_effort_sub = node_->create_subscription<Int32>(
    "sensor", rclcpp::SensorDataQoS(), [](const Int32 &) {});
  EXPECT_EQ(best_effort_pub->get_subscription_count(), 1u);
  const auto names = node_->get_node_graph_interface()->get_node_names();
  EXPECT_NE(std::find(names.begin(), names.end(), "/robot/scoped"), names.end());
}

TEST_F(TopicsTest, GroupsNotAddedWithTheNodeNeedTheirOwnExecutor)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  Received in_group;
  Received in_default;
  auto grouped = node_->create_subscription<Int32>(
    "numbers", 10, [&](const Int32 & m) {in_group.add(m.data);}, options);
  auto plain = node_->create_subscription<Int32>(
    "numbers", 10, [&](const Int32 & m) {in_default.add(m.data);});
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  pub->publish(make(5));

  executor_.add_node(node_);
  executor_.spin_all(1s);
  EXPECT_EQ(in_default.values(), (std::vector<int32_t>{5}));
  EXPECT_TRUE(in_group.values().empty());

  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(group, node_->get_node_base_interface());
  EXPECT_THROW(
    executor_.add_callback_group(group, node_->get_node_base_interface()), std::runtime_error);
  group_executor.spin_all(1s);
  EXPECT_EQ(in_group.values(), (std::vector<int32_t>{5}));
}

TEST_F(TopicsTest, IgnoreLocalPublicationsAndShutdownDropMessages)
{
  Received received;
  rclcpp::SubscriptionOptions options;
  options.ignore_local_publications = true;
  auto sub = node_->create_subscription<Int32>(
    "numbers", 10, [&](const Int32 & m) {received.add(m.data);}, options);
  auto local_pub = node_->create_publisher<Int32>("numbers", 10);
  auto other = std::make_shared<rclcpp::Node>("other");
  auto remote_pub = other->create_publisher<Int32>("/numbers", 10);
  local_pub->publish(make(1));
  remote_pub->publish(make(2));
  EXPECT_EQ(sub->get_queued_message_count(), 1u);

  rclcpp::shutdown();
  remote_pub->publish(make(3));
  EXPECT_EQ(sub->get_queued_message_count(), 1u);
}

}  // namespace
