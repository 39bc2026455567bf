// The general goal checker on a real lifecycle node: the position/heading rule, the stateful
// latch, the precise tolerance set switched through the node's parameters, refusal of
// tolerances that describe no goal region, and poses that carry no usable position or heading.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_controller/simple_goal_checker.hpp"
#include "nav2_core/goal_checker.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace
{

using nav2_controller::SimpleGoalChecker;

const char * const kPlugin = "general_goal_checker";
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

std::string param(const std::string & suffix)
{
  return std::string(kPlugin) + "." + suffix;
}

geometry_msgs::msg::Pose pose(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose result;
  result.position.x = x;
  result.position.y = y;
  result.orientation.z = std::sin(yaw / 2.0);
  result.orientation.w = std::cos(yaw / 2.0);
  return result;
}

class SimpleGoalCheckerTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  // A node with the given parameter overrides and a checker initialised on it.
  void start(const std::vector<rclcpp::Parameter> & overrides = {})
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "goal_checker_test", rclcpp::NodeOptions().parameter_overrides(overrides));
    checker_ = std::make_shared<SimpleGoalChecker>();
    checker_->initialize(node_, kPlugin, nullptr);
  }

  bool reached(const geometry_msgs::msg::Pose & query, const geometry_msgs::msg::Pose & goal)
  {
    return checker_->isGoalReached(query, goal, geometry_msgs::msg::Twist());
  }

  bool set(const std::string & suffix, const rclcpp::ParameterValue & value)
  {
    return node_->set_parameters({rclcpp::Parameter(param(suffix), value)}).front().successful;
  }

  double activeXyTolerance()
  {
    geometry_msgs::msg::Pose pose_tolerance;
    geometry_msgs::msg::Twist velocity_tolerance;
    checker_->getTolerances(pose_tolerance, velocity_tolerance);
    return pose_tolerance.position.x;
  }

  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::shared_ptr<SimpleGoalChecker> checker_;
  const geometry_msgs::msg::Pose goal_ = pose(1.0, 2.0, 0.5);
};

TEST_F(SimpleGoalCheckerTest, DeclaresItsParametersWithDefaultsAndReportsTolerances)
{
  start();
  EXPECT_EQ(node_->get_parameter(param("xy_goal_tolerance")).as_double(), 0.25);
  EXPECT_EQ(node_->get_parameter(param("yaw_goal_tolerance")).as_double(), 0.25);
  for (const char * precise :
    {"precise_goal_reaching_xy_goal_tolerance", "precise_goal_reaching_yaw_goal_tolerance"})
  {
    EXPECT_EQ(node_->get_parameter(param(precise)).as_double(), 0.25);
  }
  EXPECT_TRUE(node_->get_parameter(param("stateful")).as_bool());
  EXPECT_FALSE(node_->get_parameter(param("precise_goal_reaching")).as_bool());

  geometry_msgs::msg::Pose pose_tolerance;
  geometry_msgs::msg::Twist velocity_tolerance;
  ASSERT_TRUE(checker_->getTolerances(pose_tolerance, velocity_tolerance));
  const double lowest = std::numeric_limits<double>::lowest();
  EXPECT_EQ(pose_tolerance.position.x, 0.25);
  EXPECT_EQ(pose_tolerance.position.y, 0.25);
  EXPECT_EQ(pose_tolerance.position.z, lowest);
  EXPECT_EQ(pose_tolerance.orientation.x, 0.0);
  EXPECT_EQ(pose_tolerance.orientation.y, 0.0);
  EXPECT_DOUBLE_EQ(pose_tolerance.orientation.z, std::sin(0.125));
  EXPECT_DOUBLE_EQ(pose_tolerance.orientation.w, std::cos(0.125));
  for (double component :
    {velocity_tolerance.linear.x, velocity_tolerance.linear.y, velocity_tolerance.linear.z,
      velocity_tolerance.angular.x, velocity_tolerance.angular.y, velocity_tolerance.angular.z})
  {
    EXPECT_EQ(component, lowest);
  }
}

TEST_F(SimpleGoalCheckerTest, ExistingValuesWinAndASecondCheckerSharesThem)
{
  start({rclcpp::Parameter(param("xy_goal_tolerance"), 0.5)});
  EXPECT_TRUE(reached(pose(1.45, 2.0, 0.5), goal_));

  // Every controller owns a checker under the same name on the same node.
  SimpleGoalChecker second;
  ASSERT_NO_THROW(second.initialize(node_, kPlugin, nullptr));
  EXPECT_TRUE(second.isGoalReached(pose(1.45, 2.0, 0.5), goal_, geometry_msgs::msg::Twist()));
  ASSERT_TRUE(set("xy_goal_tolerance", rclcpp::ParameterValue(0.1)));
  second.reset();  // the pass above latched the position test
  EXPECT_FALSE(second.isGoalReached(pose(1.45, 2.0, 0.5), goal_, geometry_msgs::msg::Twist()));
}

TEST_F(SimpleGoalCheckerTest, StatefulCheckerLatchesThePositionUntilReset)
{
  start();
  EXPECT_FALSE(reached(pose(1.2, 2.0, 1.5), goal_));  // inside, heading 1 rad off: latches
  EXPECT_TRUE(reached(pose(4.0, 2.0, 0.5), goal_));   // 3 m away, heading within
  EXPECT_TRUE(reached(pose(4.0, 2.0, 0.5), goal_));

  checker_->reset();
  EXPECT_FALSE(reached(pose(4.0, 2.0, 0.5), goal_));
}

TEST_F(SimpleGoalCheckerTest, StatelessCheckerTestsThePositionEveryTime)
{
  start({rclcpp::Parameter(param("stateful"), false)});
  EXPECT_FALSE(reached(pose(1.2, 2.0, 1.5), goal_));
  EXPECT_FALSE(reached(pose(4.0, 2.0, 0.5), goal_));

  // Switched back on at run time.
  ASSERT_TRUE(set("stateful", rclcpp::ParameterValue(true)));
  EXPECT_FALSE(reached(pose(1.2, 2.0, 1.5), goal_));
  EXPECT_TRUE(reached(pose(4.0, 2.0, 0.5), goal_));
}

TEST_F(SimpleGoalCheckerTest, DistanceAtTolerancePassesHeadingAtToleranceFails)
{
  start({rclcpp::Parameter(param("stateful"), false)});
  EXPECT_TRUE(reached(pose(1.25, 2.0, 0.5), goal_));
  EXPECT_TRUE(reached(pose(1.0, 1.75, 0.5), goal_));
  EXPECT_FALSE(reached(pose(1.25 + 1e-9, 2.0, 0.5), goal_));

  // A heading error of exactly pi against a tolerance of exactly pi.
  ASSERT_TRUE(set("yaw_goal_tolerance", rclcpp::ParameterValue(kPi)));
  geometry_msgs::msg::Pose opposite;  // yaw pi: quaternion (0, 0, 1, 0)
  opposite.orientation.z = 1.0;
  opposite.orientation.w = 0.0;
  EXPECT_FALSE(reached(pose(0.0, 0.0, 0.0), opposite));
  ASSERT_TRUE(set("yaw_goal_tolerance", rclcpp::ParameterValue(std::nextafter(kPi, 4.0))));
  EXPECT_TRUE(reached(pose(0.0, 0.0, 0.0), opposite));

  // A zero tolerance cannot be met even by the goal pose itself.
  ASSERT_TRUE(set("yaw_goal_tolerance", rclcpp::ParameterValue(0.0)));
  EXPECT_FALSE(reached(goal_, goal_));
}

TEST_F(SimpleGoalCheckerTest, HeadingErrorWrapsAroundPi)
{
  start({rclcpp::Parameter(param("stateful"), false)});
  // Goal yaw 3.1 and robot yaw -3.1 differ by about 0.083 rad, not 6.2.
  const geometry_msgs::msg::Pose goal = pose(0.0, 0.0, 3.1);
  ASSERT_TRUE(set("yaw_goal_tolerance", rclcpp::ParameterValue(0.09)));
  EXPECT_TRUE(reached(pose(0.0, 0.0, -3.1), goal));
  EXPECT_TRUE(reached(pose(0.0, 0.0, 3.1), pose(0.0, 0.0, -3.1)));
  ASSERT_TRUE(set("yaw_goal_tolerance", rclcpp::ParameterValue(0.08)));
  EXPECT_FALSE(reached(pose(0.0, 0.0, -3.1), goal));

  // A quaternion of another length, and one with the opposite sign, give the same heading.
  geometry_msgs::msg::Pose scaled = pose(0.0, 0.0, 3.1);
  scaled.orientation.z *= -3.0;
  scaled.orientation.w *= -3.0;
  EXPECT_TRUE(reached(scaled, goal));
}

TEST_F(SimpleGoalCheckerTest, PreciseSwitchSelectsAToleranceSetAndRestoresTheInitialOne)
{
  start({
      rclcpp::Parameter(param("precise_goal_reaching_xy_goal_tolerance"), 0.05),
      rclcpp::Parameter(param("precise_goal_reaching_yaw_goal_tolerance"), 0.05),
      rclcpp::Parameter(param("precise_goal_reaching"), true),
      rclcpp::Parameter(param("stateful"), false)});
  // The configured switch is not applied at start.
  EXPECT_EQ(activeXyTolerance(), 0.25);
  EXPECT_TRUE(reached(pose(1.2, 2.0, 0.6), goal_));

  ASSERT_TRUE(set("precise_goal_reaching", rclcpp::ParameterValue(true)));
  EXPECT_EQ(activeXyTolerance(), 0.05);
  const geometry_msgs::msg::Pose origin_goal = pose(0.0, 0.0, 0.5);
  EXPECT_FALSE(reached(pose(0.06, 0.0, 0.5), origin_goal));
  EXPECT_TRUE(reached(pose(0.05, 0.0, 0.5), origin_goal));  // squared tolerance 0.0025, at the edge
  EXPECT_FALSE(reached(pose(0.0, 0.0, 0.56), origin_goal));  // heading tolerance 0.05

  // A run-time tolerance changes only the active value...
  ASSERT_TRUE(set("xy_goal_tolerance", rclcpp::ParameterValue(0.4)));
  EXPECT_EQ(activeXyTolerance(), 0.4);
  // ...and switching back restores the values read at start, not the run-time one.
  ASSERT_TRUE(set("precise_goal_reaching", rclcpp::ParameterValue(false)));
  EXPECT_EQ(activeXyTolerance(), 0.25);
  EXPECT_FALSE(reached(pose(1.3, 2.0, 0.5), goal_));
  EXPECT_TRUE(reached(pose(1.2, 2.0, 0.6), goal_));
}

TEST_F(SimpleGoalCheckerTest, CallbackIgnoresOtherTypesAndNames)
{
  start({rclcpp::Parameter(param("stateful"), false)});
  const auto result = checker_->dynamicParametersCallback(
    {rclcpp::Parameter(param("stateful"), 1), rclcpp::Parameter(param("xy_goal_tolerance"), 2),
      rclcpp::Parameter("other_checker.xy_goal_tolerance", 3.0),
      rclcpp::Parameter(param("precise_goal_reaching_xy_goal_tolerance"), 1.0)});
  EXPECT_TRUE(result.successful);
  EXPECT_TRUE(result.reason.empty());
  EXPECT_EQ(activeXyTolerance(), 0.25);
  // Still stateless: a latch would make the far pose pass.
  EXPECT_FALSE(reached(pose(1.2, 2.0, 1.5), goal_));
  EXPECT_FALSE(reached(pose(4.0, 2.0, 0.5), goal_));
}

TEST_F(SimpleGoalCheckerTest, RefusesTolerancesThatDescribeNoGoalRegion)
{
  start();
  // Squared, -0.3 would act as 0.3; a NaN would compare false everywhere.
  EXPECT_FALSE(set("xy_goal_tolerance", rclcpp::ParameterValue(-0.3)));
  EXPECT_FALSE(set("yaw_goal_tolerance", rclcpp::ParameterValue(kNaN)));
  EXPECT_EQ(node_->get_parameter(param("xy_goal_tolerance")).as_double(), 0.25);
  EXPECT_EQ(activeXyTolerance(), 0.25);
  EXPECT_FALSE(reached(pose(1.28, 2.0, 0.5), goal_));

  // A batch with one bad value is refused whole: the valid change is not applied either.
  const auto result = node_->set_parameters_atomically(
    {rclcpp::Parameter(param("stateful"), false),
      rclcpp::Parameter(param("yaw_goal_tolerance"), -1.0)});
  EXPECT_FALSE(result.successful);
  EXPECT_NE(result.reason.find(param("yaw_goal_tolerance")), std::string::npos);
  EXPECT_TRUE(node_->get_parameter(param("stateful")).as_bool());
  EXPECT_FALSE(reached(pose(1.2, 2.0, 1.5), goal_));
  EXPECT_TRUE(reached(pose(4.0, 2.0, 0.5), goal_));  // still stateful
}

TEST_F(SimpleGoalCheckerTest, InitializeFailsLoudly)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
    "goal_checker_test", rclcpp::NodeOptions().parameter_overrides(
      {rclcpp::Parameter(param("precise_goal_reaching_xy_goal_tolerance"), -0.05)}));
  SimpleGoalChecker checker;
  EXPECT_THROW(
    checker.initialize(node, kPlugin, nullptr), rclcpp::exceptions::InvalidParameterValueException);

  rclcpp_lifecycle::LifecycleNode::WeakPtr expired;
  {
    expired = std::make_shared<rclcpp_lifecycle::LifecycleNode>("gone");
  }
  EXPECT_THROW(checker.initialize(expired, kPlugin, nullptr), std::runtime_error);
}

TEST_F(SimpleGoalCheckerTest, PosesWithoutUsablePositionOrHeadingNeverReach)
{
  start();
  geometry_msgs::msg::Pose lost = goal_;
  lost.position.x = kNaN;
  EXPECT_FALSE(reached(lost, goal_));
  // The bad pose did not latch the position test.
  EXPECT_FALSE(reached(pose(4.0, 2.0, 0.5), goal_));
  EXPECT_FALSE(reached(goal_, lost));

  geometry_msgs::msg::Pose far = goal_;
  far.position.y = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(reached(far, far));

  geometry_msgs::msg::Pose no_heading = goal_;
  no_heading.orientation.z = 0.0;
  no_heading.orientation.w = 0.0;
  EXPECT_FALSE(reached(no_heading, goal_));
  geometry_msgs::msg::Pose nan_heading = goal_;
  nan_heading.orientation.w = kNaN;
  EXPECT_FALSE(reached(goal_, nan_heading));

  // The checker still works for good poses afterwards.
  checker_->reset();
  EXPECT_TRUE(reached(goal_, goal_));
}

}  // namespace
