// The progress checker on a real lifecycle node: the baseline set by the first check, the
// strict movement radius, the time allowance (steered through its parameter, since the node's
// clock cannot be stopped: 0 s means any time passed is too long, an hour means none is), turns
// on the spot, reset and refused values.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nav2_controller/simple_progress_checker.hpp"
#include "nav2_core/progress_checker.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace
{

using nav2_controller::SimpleProgressChecker;

geometry_msgs::msg::PoseStamped pose(double x, double y, double yaw)
{
  geometry_msgs::msg::PoseStamped result;
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.z = std::sin(yaw / 2.0);
  result.pose.orientation.w = std::cos(yaw / 2.0);
  return result;
}

class SimpleProgressCheckerTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  void start(double allowance_seconds, double radius = 0.5)
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "progress_checker_test", rclcpp::NodeOptions().parameter_overrides({
        rclcpp::Parameter("progress.movement_time_allowance", allowance_seconds),
        rclcpp::Parameter("progress.required_movement_radius", radius)}));
    checker_ = std::make_shared<SimpleProgressChecker>();
    checker_->initialize(node_, "progress");
  }

  bool check(double x, double y, double yaw = 0.0)
  {
    auto at = pose(x, y, yaw);
    return checker_->check(at);
  }

  bool setAllowance(double seconds)
  {
    return node_->set_parameters({rclcpp::Parameter("progress.movement_time_allowance", seconds)})
           [0].successful;
  }

  // Lets the node's clock move on past its present reading, so that a 0 s allowance is over.
  void letClockAdvance()
  {
    const auto clock = node_->get_clock();
    const rclcpp::Time start = clock->now();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!(clock->now() > start) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    ASSERT_TRUE(clock->now() > start);
  }

  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::shared_ptr<SimpleProgressChecker> checker_;
};

TEST_F(SimpleProgressCheckerTest, DeclaresItsParametersWithTheirDefaults)
{
  node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("progress_defaults_test");
  SimpleProgressChecker checker;
  checker.initialize(node_, "progress");
  EXPECT_DOUBLE_EQ(node_->get_parameter("progress.required_movement_radius").as_double(), 0.5);
  EXPECT_DOUBLE_EQ(node_->get_parameter("progress.movement_time_allowance").as_double(), 10.0);
}

TEST_F(SimpleProgressCheckerTest, StandingStillFailsOnceTheAllowanceIsOver)
{
  start(0.0);
  EXPECT_TRUE(check(1.0, 1.0)) << "the first check sets the baseline";
  letClockAdvance();
  EXPECT_FALSE(check(1.0, 1.0));
  EXPECT_FALSE(check(1.3, 1.4)) << "exactly the radius away is not enough";
  EXPECT_FALSE(check(1.0, 1.0, 2.0)) << "turning on the spot is no progress";
  EXPECT_TRUE(check(1.3, 1.41)) << "more than the radius resets the baseline";
  letClockAdvance();
  EXPECT_FALSE(check(1.3, 1.41));

  checker_->reset();
  EXPECT_TRUE(check(1.3, 1.41)) << "after reset the next check sets the baseline again";
}

TEST_F(SimpleProgressCheckerTest, TheAllowanceIsReadAtRunTime)
{
  start(3600.0);
  EXPECT_TRUE(check(0.0, 0.0));
  letClockAdvance();
  EXPECT_TRUE(check(0.0, 0.0)) << "within the allowance";
  ASSERT_TRUE(setAllowance(0.0));
  EXPECT_FALSE(check(0.0, 0.0));
  ASSERT_TRUE(setAllowance(3600.0));
  EXPECT_TRUE(check(0.0, 0.0)) << "the baseline time was kept; only the allowance changed";

  ASSERT_TRUE(node_->set_parameters({rclcpp::Parameter("progress.required_movement_radius", 0.1)})
    [0].successful);
  ASSERT_TRUE(setAllowance(0.0));
  EXPECT_TRUE(check(0.2, 0.0)) << "0.2 m is progress with the smaller radius";

  EXPECT_FALSE(setAllowance(-1.0));
  EXPECT_FALSE(setAllowance(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_DOUBLE_EQ(node_->get_parameter("progress.movement_time_allowance").as_double(), 0.0);
}

TEST_F(SimpleProgressCheckerTest, RefusesAnUnusableConfiguredRadius)
{
  EXPECT_THROW(start(10.0, -0.5), rclcpp::exceptions::InvalidParameterValueException);
}

}  // namespace
