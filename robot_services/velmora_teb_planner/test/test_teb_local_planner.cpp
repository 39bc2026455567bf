// The TEB local planner on the built-in warehouse world: its parameters and their run-time
// changes, the failures it reports, the dynamic window of its commands, the speed cap,
// closed-loop runs of a holonomic base along an aisle, and what it counts as an obstacle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "nav2_core/exceptions.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "teb_local_planner/teb_local_planner_ros.hpp"
#include "velmora/testing/map_pose.hpp"
#include "velmora/testing/rclcpp_environment.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace
{

using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using teb_local_planner::TebLocalPlannerROS;
using velmora::testing::pose;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPeriod = 0.05;  // the planner's default control period

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

// Aisle 1 runs east-west between the shelf rows at y 2.6-3.4 and 5.4-6.2 (x 2-11).
nav_msgs::msg::Path aislePath(double from_x, double to_x, double y = 4.4)
{
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  const int steps = static_cast<int>(std::round(std::fabs(to_x - from_x) / 0.1));
  for (int i = 0; i <= steps; ++i) {
    path.poses.push_back(pose(from_x + (to_x - from_x) * i / steps, y, 0.0));
  }
  return path;
}

Twist twist(double vx, double vy, double wz)
{
  Twist result;
  result.linear.x = vx;
  result.linear.y = vy;
  result.angular.z = wz;
  return result;
}

// Answers what the test says, and records what it was asked.
class ScriptedGoalChecker : public nav2_core::GoalChecker
{
public:
  bool reached{false};
  int calls{0};

  void initialize(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr &, const std::string &,
    const std::shared_ptr<nav2_costmap_2d::Costmap2DROS>) override {}
  void reset() override {}
  bool isGoalReached(
    const geometry_msgs::msg::Pose &, const geometry_msgs::msg::Pose &, const Twist &) override
  {
    ++calls;
    return reached;
  }
  bool getTolerances(geometry_msgs::msg::Pose &, Twist &) override {return true;}
};

class TebLocalPlannerTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>(
      "teb_test_costmap", std::vector<rclcpp::Parameter>{rclcpp::Parameter(
          "footprint", "[[0.30, 0.25], [0.30, -0.25], [-0.30, -0.25], [-0.30, 0.25]]")});
  }
  static void TearDownTestSuite() {grid_map_.reset();}

  std::shared_ptr<TebLocalPlannerROS> makePlanner(
    const std::vector<rclcpp::Parameter> & overrides = {})
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "teb_test_node", rclcpp::NodeOptions().parameter_overrides(overrides));
    auto planner = std::make_shared<TebLocalPlannerROS>();
    planner->configure(
      node_, "TebPlanning", grid_map_->getCostmapROS()->getTfBuffer(), grid_map_->getCostmapROS());
    planner->activate();
    return planner;
  }

  double parameter(const std::string & name) {return node_->get_parameter(name).as_double();}

  // The planner's message when it gives up, empty when it does not.
  static std::string failure(
    TebLocalPlannerROS & planner, const PoseStamped & at, const Twist & velocity = Twist())
  {
    try {
      planner.computeVelocityCommands(at, velocity, nullptr);
    } catch (const nav2_core::PlannerException & exception) {
      return exception.what();
    }
    return {};
  }

  static std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
};

std::shared_ptr<velmora_nav2_gridmap::GridMapROS> TebLocalPlannerTest::grid_map_;

TEST_F(TebLocalPlannerTest, DeclaresItsLimitsAndTakesValidRunTimeChangesOnly)
{
  auto planner = makePlanner({rclcpp::Parameter("TebPlanning.max_vel_x", 0.4)});
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.max_vel_x"), 0.4) << "the node's value wins";
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.max_vel_y"), 0.5);
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.max_vel_x_backwards"), 0.5);
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.max_vel_theta"), 0.8);
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.acc_lim_x"), 0.3);
  EXPECT_DOUBLE_EQ(parameter("TebPlanning.acc_lim_y"), 0.3);

  for (double bad : {kNaN, -0.1, std::numeric_limits<double>::infinity()}) {
    const auto results = node_->set_parameters({rclcpp::Parameter("TebPlanning.max_vel_x", bad)});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].successful) << bad;
    EXPECT_DOUBLE_EQ(parameter("TebPlanning.max_vel_x"), 0.4);
  }

  // A change that is taken bounds the commands from the next cycle on.
  ASSERT_TRUE(node_->set_parameters({rclcpp::Parameter("TebPlanning.max_vel_x", 0.1)})[0].successful);
  planner->setPlan(aislePath(4.0, 9.0));
  const auto command = planner->computeVelocityCommands(pose(4.0, 4.4, 0.0), twist(0.3, 0.0, 0.0), nullptr);
  EXPECT_NEAR(command.twist.linear.x, 0.1, 1e-9);

  EXPECT_THROW(
    makePlanner({rclcpp::Parameter("TebPlanning.acc_lim_y", -1.0)}),
    rclcpp::exceptions::InvalidParameterValueException);
}

TEST_F(TebLocalPlannerTest, ReportsWhyItCannotProceed)
{
  auto planner = makePlanner();
  EXPECT_NE(failure(*planner, pose(4.0, 4.4, 0.0)).find("the plan is empty"), std::string::npos);

  auto with_nan = aislePath(4.0, 6.0);
  with_nan.poses[3].pose.position.y = kNaN;
  EXPECT_THROW(planner->setPlan(with_nan), nav2_core::PlannerException);

  planner->setPlan(aislePath(4.0, 9.0));
  EXPECT_NE(failure(*planner, pose(4.0, 4.4, kNaN)).find("not finite"), std::string::npos);
  EXPECT_NE(failure(*planner, pose(5.0, 2.0, 0.0)).find("off the path"), std::string::npos);

  // North across the shelf row at y 5.4-6.2.
  nav_msgs::msg::Path into_shelf;
  for (int i = 0; i <= 20; ++i) {
    into_shelf.poses.push_back(pose(6.0, 4.4 + 0.1 * i, 1.57));
  }
  planner->setPlan(into_shelf);
  EXPECT_NE(failure(*planner, pose(6.0, 4.4, 1.57)).find("blocked"), std::string::npos);

  planner->setPlan(aislePath(4.0, 9.0));
  EXPECT_EQ(failure(*planner, pose(4.0, 4.4, 0.0)), "");
  planner->deactivate();
  EXPECT_NE(failure(*planner, pose(4.0, 4.4, 0.0)).find("not active"), std::string::npos);
  planner->activate();

  ASSERT_TRUE(node_->set_parameters({
      rclcpp::Parameter("TebPlanning.max_vel_x", 0.0),
      rclcpp::Parameter("TebPlanning.max_vel_y", 0.0),
      rclcpp::Parameter("TebPlanning.max_vel_x_backwards", 0.0)})[0].successful);
  EXPECT_NE(failure(*planner, pose(4.0, 4.4, 0.0)).find("speed limits are all 0"), std::string::npos);
}

TEST_F(TebLocalPlannerTest, CommandsStayInTheDynamicWindowAndStopAtTheGoal)
{
  auto planner = makePlanner();
  planner->setPlan(aislePath(4.0, 9.0));
  // From standstill: one acceleration step forward, nothing sideways.
  auto command = planner->computeVelocityCommands(pose(4.0, 4.4, 0.0), Twist(), nullptr);
  EXPECT_NEAR(command.twist.linear.x, 0.3 * kPeriod, 1e-9);
  EXPECT_NEAR(command.twist.linear.y, 0.0, 1e-9);
  EXPECT_EQ(command.header.frame_id, "base_footprint");

  // Fast and sideways: braked by at most one step, never beyond the limits.
  command = planner->computeVelocityCommands(pose(4.0, 4.4, 0.0), twist(0.5, 0.2, 0.0), nullptr);
  EXPECT_LE(command.twist.linear.x, 0.5 + 1e-9);
  EXPECT_GE(command.twist.linear.x, 0.5 - 0.3 * kPeriod - 1e-9);
  EXPECT_NEAR(command.twist.linear.y, 0.2 - 0.3 * kPeriod, 1e-9);

  ScriptedGoalChecker checker;
  checker.reached = true;
  command = planner->computeVelocityCommands(pose(9.0, 4.4, 0.0), twist(0.1, 0.0, 0.0), &checker);
  EXPECT_EQ(checker.calls, 1);
  EXPECT_EQ(command.twist, Twist());
}

// Runs a holonomic base on the planner's commands until it is at the goal (on aisle 1's centre
// line unless given); the cycles used. `fastest` is the largest speed along either axis, which
// is what the limits bound.
int drive(
  TebLocalPlannerROS & planner, double & x, double & y, double & yaw, double goal_x,
  double & fastest, double goal_y = 4.4)
{
  Twist velocity;
  for (int cycle = 1; cycle <= 2000; ++cycle) {
    if (std::hypot(goal_x - x, goal_y - y) < 0.05) {
      return cycle;
    }
    const Twist command =
      planner.computeVelocityCommands(pose(x, y, yaw), velocity, nullptr).twist;
    EXPECT_LE(std::fabs(command.linear.x - velocity.linear.x), 0.3 * kPeriod + 1e-9);
    EXPECT_LE(std::fabs(command.linear.y - velocity.linear.y), 0.3 * kPeriod + 1e-9);
    fastest = std::max({fastest, std::fabs(command.linear.x), std::fabs(command.linear.y)});
    x += (command.linear.x * std::cos(yaw) - command.linear.y * std::sin(yaw)) * kPeriod;
    y += (command.linear.x * std::sin(yaw) + command.linear.y * std::cos(yaw)) * kPeriod;
    yaw += command.angular.z * kPeriod;
    velocity = command;
  }
  return -1;
}

TEST_F(TebLocalPlannerTest, FollowsTheAisleToItsEndWithinTheSpeedCap)
{
  auto planner = makePlanner();
  planner->setPlan(aislePath(4.0, 7.0));
  double x = 4.0;
  double y = 4.6;  // starts beside the path and joins it
  double yaw = 0.3;
  double fastest = 0.0;
  ASSERT_GT(drive(*planner, x, y, yaw, 7.0, fastest), 0);
  EXPECT_NEAR(yaw, 0.0, 0.1) << "it turns to the path's heading";
  EXPECT_LE(fastest, 0.5 + 1e-9);
  EXPECT_GT(fastest, 0.3);

  planner->setSpeedLimit(40.0, true);  // 40 % of 0.5 m/s
  planner->setPlan(aislePath(7.0, 4.0));
  x = 7.0;
  y = 4.4;
  yaw = 0.0;  // the path runs west: it drives backwards
  fastest = 0.0;
  ASSERT_GT(drive(*planner, x, y, yaw, 4.0, fastest), 0);
  EXPECT_LE(fastest, 0.2 + 1e-9);
  EXPECT_GT(fastest, 0.15);
}

// The robot's padded footprint is 0.62 m x 0.52 m, its inscribed radius 0.26 m: inscribed cost
// reaches from the shelf row at y 5.4 down to y 5.14.
unsigned char costAt(const velmora_nav2_gridmap::GridMapROS & grid_map, double x, double y)
{
  const auto * costmap = grid_map.getCostmapROS()->getCostmap();
  unsigned int mx = 0;
  unsigned int my = 0;
  EXPECT_TRUE(costmap->worldToMap(x, y, mx, my));
  return costmap->getCost(mx, my);
}

TEST_F(TebLocalPlannerTest, InflatedCostUnderTheFootprintIsNoObstacle)
{
  // Along y 4.95 the robot's left side, at y 5.21, runs through the inscribed cells; it starts
  // clear of them, at y 4.6, and joins the path.
  ASSERT_EQ(costAt(*grid_map_, 6.0, 5.2), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  auto planner = makePlanner();
  planner->setPlan(aislePath(4.0, 7.0, 4.95));
  double x = 4.0;
  double y = 4.6;
  double yaw = 0.0;
  double fastest = 0.0;
  ASSERT_GT(drive(*planner, x, y, yaw, 7.0, fastest, 4.95), 0);
  EXPECT_GT(fastest, 0.3);
}

TEST_F(TebLocalPlannerTest, ARobotFoundInsideAShelfLeavesItButIsNotDrivenDeeper)
{
  // After a pose jump the left side, at y 5.46, is 0.06 m into the shelf row.
  ASSERT_EQ(costAt(*grid_map_, 5.0, 5.43), nav2_costmap_2d::LETHAL_OBSTACLE);
  auto planner = makePlanner();
  planner->setPlan(aislePath(5.0, 8.0));
  const Twist first = planner->computeVelocityCommands(pose(5.0, 5.2, 0.0), Twist(), nullptr).twist;
  EXPECT_LT(first.linear.y, 0.0) << "away from the shelf";
  double x = 5.0;
  double y = 5.2;
  double yaw = 0.0;
  double fastest = 0.0;
  EXPECT_GT(drive(*planner, x, y, yaw, 8.0, fastest), 0) << "it rejoins the path and arrives";

  // Facing the shelf with the front 0.06 m in: a path on into it is blocked just ahead, one
  // back out of it is driven backwards.
  nav_msgs::msg::Path into_shelf;
  for (int i = 0; i <= 10; ++i) {
    into_shelf.poses.push_back(pose(5.0, 5.15 + 0.1 * i, M_PI / 2));
  }
  planner->setPlan(into_shelf);
  const auto in_the_shelf = pose(5.0, 5.15, M_PI / 2);
  EXPECT_NE(failure(*planner, in_the_shelf).find("blocked by an obstacle 0.05 m ahead"),
    std::string::npos) << failure(*planner, in_the_shelf);
  nav_msgs::msg::Path out_of_shelf;
  for (int i = 0; i <= 10; ++i) {
    out_of_shelf.poses.push_back(pose(5.0, 5.15 - 0.1 * i, M_PI / 2));
  }
  planner->setPlan(out_of_shelf);
  const Twist back = planner->computeVelocityCommands(in_the_shelf, Twist(), nullptr).twist;
  EXPECT_LT(back.linear.x, 0.0);
}

}  // namespace
