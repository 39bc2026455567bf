// Time, Duration, Clock and Rate with the Humble API and semantics.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <stdexcept>
#include <thread>
#include <type_traits>

#include "rclcpp/rclcpp.hpp"
#include "ros_scope.hpp"

namespace
{

using namespace std::chrono_literals;

template<typename T, typename = void>
struct has_plus_assign : std::false_type {};
template<typename T>
struct has_plus_assign<T, std::void_t<decltype(std::declval<T &>() += std::declval<T>())>>
  : std::true_type {};

// Humble's Duration: no default constructor, no compound assignment, no int64 constructor.
static_assert(!std::is_default_constructible_v<rclcpp::Duration>);
static_assert(!has_plus_assign<rclcpp::Duration>::value);
static_assert(!std::is_constructible_v<rclcpp::Duration, int64_t>);
static_assert(std::is_same_v<rclcpp::Rate, rclcpp::GenericRate<std::chrono::system_clock>>);
static_assert(std::is_same_v<rclcpp::WallRate, rclcpp::GenericRate<std::chrono::steady_clock>>);

TEST(DurationTest, ConstructionConversionAndArithmetic)
{
  EXPECT_EQ(rclcpp::Duration(1, 500000000).nanoseconds(), 1500000000);
  EXPECT_EQ(rclcpp::Duration(250ms).nanoseconds(), 250000000);
  EXPECT_EQ(rclcpp::Duration::from_seconds(0.1).nanoseconds(), 100000000);
  EXPECT_EQ(rclcpp::Duration::from_nanoseconds(-5).nanoseconds(), -5);
  EXPECT_DOUBLE_EQ(rclcpp::Duration(2, 0).seconds(), 2.0);
  EXPECT_EQ((rclcpp::Duration(1, 0) + rclcpp::Duration(0, 5)).nanoseconds(), 1000000005);
  EXPECT_EQ((rclcpp::Duration(1, 0) - rclcpp::Duration(2, 0)).nanoseconds(), -1000000000);
  EXPECT_EQ((rclcpp::Duration(1, 0) * 2.5).nanoseconds(), 2500000000);
  EXPECT_LT(rclcpp::Duration(1, 0), rclcpp::Duration(1, 1));
  EXPECT_EQ(rclcpp::Duration(1, 0).to_chrono<std::chrono::milliseconds>(), 1000ms);

  builtin_interfaces::msg::Duration negative = rclcpp::Duration::from_nanoseconds(-1500000000);
  EXPECT_EQ(negative.sec, -2);
  EXPECT_EQ(negative.nanosec, 500000000u);
  EXPECT_EQ(rclcpp::Duration(negative).nanoseconds(), -1500000000);

  EXPECT_THROW(rclcpp::Duration::max() + rclcpp::Duration::max() * 1e9, std::overflow_error);
  EXPECT_THROW(
    rclcpp::Duration(1, 0) * std::numeric_limits<double>::infinity(), std::runtime_error);
  EXPECT_THROW(rclcpp::Duration::from_nanoseconds(-1).to_rmw_time(), std::runtime_error);
  const auto rmw = rclcpp::Duration(3, 7).to_rmw_time();
  EXPECT_EQ(rmw.sec, 3u);
  EXPECT_EQ(rmw.nsec, 7u);
}

TEST(TimeTest, ClockTypesAreCheckedAndMessagesAreRosTime)
{
  const rclcpp::Time system(5, 0);
  EXPECT_EQ(system.get_clock_type(), RCL_SYSTEM_TIME);
  builtin_interfaces::msg::Time stamp;
  stamp.sec = 5;
  const rclcpp::Time from_msg(stamp);
  EXPECT_EQ(from_msg.get_clock_type(), RCL_ROS_TIME);
  EXPECT_THROW((void)(from_msg == system), std::runtime_error);
  EXPECT_THROW(from_msg - system, std::runtime_error);
  EXPECT_TRUE(from_msg == rclcpp::Time(5, 0, RCL_ROS_TIME));

  EXPECT_THROW(rclcpp::Time(-1, 0), std::runtime_error);
  stamp.sec = -1;
  EXPECT_THROW(rclcpp::Time{stamp}, std::runtime_error);

  rclcpp::Time t(10, 0, RCL_ROS_TIME);
  t += rclcpp::Duration(0, 250);
  EXPECT_EQ(t.nanoseconds(), 10000000250);
  EXPECT_EQ((t - rclcpp::Time(9, 0, RCL_ROS_TIME)).nanoseconds(), 1000000250);
  EXPECT_EQ((rclcpp::Duration(1, 0) + t).nanoseconds(), 11000000250);
  const builtin_interfaces::msg::Time back = t;
  EXPECT_EQ(back.sec, 10);
  EXPECT_EQ(back.nanosec, 250u);
  EXPECT_EQ(rclcpp::Time::max().nanoseconds(), std::numeric_limits<int32_t>::max() * 1000000000LL + 999999999);
  EXPECT_THROW(
    rclcpp::Time(std::numeric_limits<int64_t>::max()) + rclcpp::Duration(1, 0), std::overflow_error);
}

TEST(ClockTest, ClockTypesAndSleepingInterruptedByShutdown)
{
  rclcpp_test::ScopedRos ros;
  rclcpp::Clock steady(RCL_STEADY_TIME);
  const auto before = steady.now();
  EXPECT_EQ(before.get_clock_type(), RCL_STEADY_TIME);
  EXPECT_TRUE(steady.sleep_for(rclcpp::Duration(2ms)));
  EXPECT_GE((steady.now() - before).nanoseconds(), 2000000);
  EXPECT_THROW(steady.sleep_until(rclcpp::Time(0, 0, RCL_SYSTEM_TIME)), std::runtime_error);

  auto node = std::make_shared<rclcpp::Node>("clocked");
  EXPECT_EQ(node->get_clock()->get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(node->now().get_clock_type(), RCL_ROS_TIME);

  std::thread stopper([]() {
      std::this_thread::sleep_for(10ms);
      rclcpp::shutdown();
    });
  // Would take an hour unless shutdown interrupts it.
  EXPECT_FALSE(steady.sleep_for(rclcpp::Duration(3600, 0)));
  stopper.join();
}

TEST(RateTest, SleepKeepsThePeriodAndReportsOverruns)
{
  rclcpp_test::ScopedRos ros;
  constexpr auto period = 50ms;
  // Each span is measured from before the call that sets the rate's mark, so that a thread
  // preempted between that call and reading the clock cannot shorten what is measured.
  auto start = std::chrono::steady_clock::now();
  rclcpp::WallRate rate(period);
  EXPECT_EQ(rate.period(), period);
  EXPECT_TRUE(rate.is_steady());
  EXPECT_FALSE(rclcpp::Rate(10.0).is_steady());
  EXPECT_EQ(rclcpp::Rate(10.0).period(), 100ms);

  EXPECT_TRUE(rate.sleep());
  EXPECT_GE(std::chrono::steady_clock::now() - start, period);

  // Overrunning by more than a whole period: no sleep and no catching up; the schedule is
  // re-based on now, so the following sleep lasts one full period.
  std::this_thread::sleep_for(period * 3);
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(rate.sleep());
  EXPECT_TRUE(rate.sleep());
  EXPECT_GE(std::chrono::steady_clock::now() - start, period);

  start = std::chrono::steady_clock::now();
  rate.reset();
  EXPECT_TRUE(rate.sleep());
  EXPECT_GE(std::chrono::steady_clock::now() - start, period);
}

TEST(LoggingTest, NodeLoggerNamesAndChildLoggers)
{
  rclcpp_test::ScopedRos ros;
  auto root = std::make_shared<rclcpp::Node>("planner");
  auto nested = std::make_shared<rclcpp::Node>("planner", "/robot/nav");
  EXPECT_STREQ(root->get_logger().get_name(), "planner");
  EXPECT_STREQ(nested->get_logger().get_name(), "robot.nav.planner");
  EXPECT_STREQ(rclcpp::get_logger("a").get_child("b").get_name(), "a.b");

  auto logger = rclcpp::get_logger("level_test");
  logger.set_level(rclcpp::Logger::Level::Error);
  EXPECT_FALSE(rcutils_logging_logger_is_enabled_for("level_test", RCUTILS_LOG_SEVERITY_WARN));
  EXPECT_FALSE(rcutils_logging_logger_is_enabled_for("level_test.child", RCUTILS_LOG_SEVERITY_WARN));
  EXPECT_TRUE(rcutils_logging_logger_is_enabled_for("level_test", RCUTILS_LOG_SEVERITY_ERROR));

  ::testing::internal::CaptureStderr();
  RCLCPP_ERROR(logger, "value %d", 42);
  RCLCPP_WARN(logger, "hidden");
  for (int i = 0; i < 3; ++i) {
    RCLCPP_ERROR_ONCE(logger, "once");
    RCLCPP_ERROR_SKIPFIRST(logger, "skipfirst %d", i);
  }
  RCLCPP_ERROR_STREAM(logger, "stream " << 1.5);
  rclcpp::Clock clock(RCL_SYSTEM_TIME);
  for (int i = 0; i < 3; ++i) {
    RCLCPP_ERROR_THROTTLE(logger, clock, 3600000, "throttled %d", i);
    RCLCPP_ERROR_EXPRESSION(logger, i == 1, "expression %d", i);
  }
  const std::string output = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(output.find("[ERROR] ["), std::string::npos) << output;
  EXPECT_NE(output.find("] [level_test]: value 42\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("hidden"), std::string::npos);
  EXPECT_EQ(output.find("once"), output.rfind("once"));
  EXPECT_EQ(output.find("skipfirst 0"), std::string::npos);
  EXPECT_NE(output.find("skipfirst 2"), std::string::npos);
  EXPECT_NE(output.find("stream 1.5"), std::string::npos);
  EXPECT_NE(output.find("throttled 0"), std::string::npos);
  EXPECT_EQ(output.find("throttled 1"), std::string::npos);
  EXPECT_EQ(output.find("expression 0"), std::string::npos);
  EXPECT_NE(output.find("expression 1"), std::string::npos);
}

}  // namespace
