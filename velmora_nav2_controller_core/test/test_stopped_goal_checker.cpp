// The stopped goal checker on a real lifecycle node: the pose rule of the simple checker plus
// inclusive stop bounds, both parameter callbacks, its tolerances and refused bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "nav2_controller/stopped_goal_checker.hpp"
#include "nav2_core/goal_checker.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace
{

using geometry_msgs::msg::Twist;
using nav2_controller::StoppedGoalChecker;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kLowest = std::numeric_limits<double>::lowest();

geometry_msgs::msg::Pose pose(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose result;
  result.position.x = x;
  result.position.y = y;
  result.orientation.z = std::sin(yaw / 2.0);
  result.orientation.w = std::cos(yaw / 2.0);
  return result;
}

Twist twist(double vx, double vy, double wz)
{
  Twist result;
  result.linear.x = vx;
  result.linear.y = vy;
  result.angular.z = wz;
  return result;
}

class StoppedGoalCheckerTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  void start(const std::vector<rclcpp::Parameter> & overrides = {})
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "stopped_goal_checker_test", rclcpp::NodeOptions().parameter_overrides(overrides));
    checker_ = std::make_shared<StoppedGoalChecker>();
    checker_->initialize(node_, "stopped", nullptr);
  }

  bool reached(const geometry_msgs::msg::Pose & query, const Twist & velocity)
  {
    checker_->reset();
    return checker_->isGoalReached(query, goal_, velocity);
  }

  bool set(const std::string & suffix, double value)
  {
    return node_->set_parameters({rclcpp::Parameter("stopped." + suffix, value)})[0].successful;
  }

  const geometry_msgs::msg::Pose goal_ = pose(1.0, 2.0, 0.5);
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::shared_ptr<StoppedGoalChecker> checker_;
};

TEST_F(StoppedGoalCheckerTest, NeedsThePoseAndAStopWithinInclusiveBounds)
{
  start();
  EXPECT_DOUBLE_EQ(node_->get_parameter("stopped.rot_stopped_velocity").as_double(), 0.25);
  EXPECT_DOUBLE_EQ(node_->get_parameter("stopped.trans_stopped_velocity").as_double(), 0.25);
  EXPECT_TRUE(node_->has_parameter("stopped.xy_goal_tolerance"));

  EXPECT_TRUE(reached(goal_, twist(0.0, 0.0, 0.25)));
  EXPECT_TRUE(reached(goal_, twist(0.0, 0.0, -0.25)));
  EXPECT_FALSE(reached(goal_, twist(0.0, 0.0, -0.3)));
  EXPECT_TRUE(reached(goal_, twist(0.15, 0.2, 0.0))) << "a planar speed of exactly 0.25";
  EXPECT_FALSE(reached(goal_, twist(0.2, 0.2, 0.0)));
  EXPECT_FALSE(reached(goal_, twist(kNaN, 0.0, 0.0)));
  // Outside the position tolerance while stopped.
  EXPECT_FALSE(reached(pose(1.3, 2.0, 0.5), Twist()));
  // Heading off while stopped.
  EXPECT_FALSE(reached(pose(1.0, 2.0, 0.0), Twist()));
}

TEST_F(StoppedGoalCheckerTest, BothCallbacksTakeTheirParametersAtRunTime)
{
  start();
  EXPECT_FALSE(reached(pose(1.4, 2.0, 0.5), Twist()));
  ASSERT_TRUE(set("xy_goal_tolerance", 0.5));
  EXPECT_TRUE(reached(pose(1.4, 2.0, 0.5), Twist())) << "through the simple checker's callback";

  ASSERT_TRUE(set("trans_stopped_velocity", 0.5));
  EXPECT_TRUE(reached(goal_, twist(0.4, 0.0, 0.0)));
  ASSERT_TRUE(set("rot_stopped_velocity", 0.1));
  EXPECT_FALSE(reached(goal_, twist(0.0, 0.0, 0.2)));

  // Unusable bounds are refused and the node keeps the last good value.
  EXPECT_FALSE(set("trans_stopped_velocity", -0.1));
  EXPECT_FALSE(set("rot_stopped_velocity", kNaN));
  EXPECT_DOUBLE_EQ(node_->get_parameter("stopped.trans_stopped_velocity").as_double(), 0.5);
  EXPECT_TRUE(reached(goal_, twist(0.4, 0.0, 0.05)));
  // Another type under the same name is ignored by the callback.
  EXPECT_TRUE(
    checker_->dynamicParametersCallback({rclcpp::Parameter("stopped.rot_stopped_velocity", 3)})
    .successful);
  EXPECT_FALSE(reached(goal_, twist(0.0, 0.0, 0.2)));
}

TEST_F(StoppedGoalCheckerTest, ReportsTheStopBoundsAsVelocityTolerances)
{
  start({rclcpp::Parameter("stopped.rot_stopped_velocity", 0.1),
      rclcpp::Parameter("stopped.trans_stopped_velocity", 0.2),
      rclcpp::Parameter("stopped.xy_goal_tolerance", 0.3)});
  geometry_msgs::msg::Pose pose_tolerance;
  Twist velocity_tolerance;
  ASSERT_TRUE(checker_->getTolerances(pose_tolerance, velocity_tolerance));
  EXPECT_DOUBLE_EQ(pose_tolerance.position.x, 0.3);
  EXPECT_DOUBLE_EQ(velocity_tolerance.linear.x, 0.2);
  EXPECT_DOUBLE_EQ(velocity_tolerance.linear.y, 0.2);
  EXPECT_DOUBLE_EQ(velocity_tolerance.angular.z, 0.1);
  EXPECT_EQ(velocity_tolerance.linear.z, kLowest);
  EXPECT_EQ(velocity_tolerance.angular.x, kLowest);
  EXPECT_EQ(velocity_tolerance.angular.y, kLowest);
}

TEST_F(StoppedGoalCheckerTest, RefusesAnUnusableConfiguredBound)
{
  EXPECT_THROW(
    start({rclcpp::Parameter("stopped.trans_stopped_velocity", -1.0)}),
    rclcpp::exceptions::InvalidParameterValueException);
}

}  // namespace
