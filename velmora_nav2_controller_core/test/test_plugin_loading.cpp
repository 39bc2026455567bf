// The plugins a controller server reaches by class name, loaded as on a robot: pluginlib finds
// their descriptions in the ament index and opens the installed libraries. This program links
// none of them, so every class here comes from the library pluginlib opened.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "dwb_core/trajectory_critic.hpp"
#include "dwb_core/trajectory_generator.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav2_core/progress_checker.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace
{

geometry_msgs::msg::Pose pose(double x, double y, double yaw)
{
  geometry_msgs::msg::Pose result;
  result.position.x = x;
  result.position.y = y;
  result.orientation.z = std::sin(yaw / 2.0);
  result.orientation.w = std::cos(yaw / 2.0);
  return result;
}

geometry_msgs::msg::Twist turning(double wz)
{
  geometry_msgs::msg::Twist twist;
  twist.angular.z = wz;
  return twist;
}

class PluginLoadingTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  // Where the plugin of `lookup_name` comes from: the library of the installed package.
  template<typename Base>
  static void expectInstalledLibrary(
    pluginlib::ClassLoader<Base> & loader, const std::string & lookup_name,
    const std::string & package, const std::string & library)
  {
    EXPECT_EQ(loader.getClassPackage(lookup_name), package);
    const std::string path = loader.getClassLibraryPath(lookup_name);
    const std::string file = "/lib/lib" + library + ".so";
    ASSERT_GE(path.size(), file.size()) << path;
    EXPECT_EQ(path.substr(path.size() - file.size()), file);
  }

  rclcpp_lifecycle::LifecycleNode::SharedPtr node_ =
    std::make_shared<rclcpp_lifecycle::LifecycleNode>("plugin_loading_test");
};

TEST_F(PluginLoadingTest, GoalCheckersAreCreatedFromTheInstalledLibrary)
{
  pluginlib::ClassLoader<nav2_core::GoalChecker> loader("nav2_core", "nav2_core::GoalChecker");
  const geometry_msgs::msg::Pose goal = pose(1.0, 2.0, 0.5);

  ASSERT_TRUE(loader.isClassAvailable("nav2_controller::SimpleGoalChecker"));
  expectInstalledLibrary(
    loader, "nav2_controller::SimpleGoalChecker", "velmora_nav2_controller_core",
    "velmora_nav2_controller_core");
  nav2_core::GoalChecker::Ptr simple =
    loader.createSharedInstance("nav2_controller::SimpleGoalChecker");
  EXPECT_TRUE(loader.isClassLoaded("nav2_controller::SimpleGoalChecker"));
  simple->initialize(node_, "loaded_checker", nullptr);
  EXPECT_TRUE(node_->has_parameter("loaded_checker.xy_goal_tolerance"));
  // Far first: once reached, the checker latches until it is reset.
  EXPECT_FALSE(simple->isGoalReached(pose(3.0, 2.0, 0.5), goal, geometry_msgs::msg::Twist()));
  EXPECT_TRUE(simple->isGoalReached(goal, goal, geometry_msgs::msg::Twist()));

  ASSERT_TRUE(loader.isClassAvailable("nav2_controller::StoppedGoalChecker"));
  nav2_core::GoalChecker::Ptr stopped =
    loader.createSharedInstance("nav2_controller::StoppedGoalChecker");
  stopped->initialize(node_, "loaded_stopped", nullptr);
  EXPECT_TRUE(node_->has_parameter("loaded_stopped.trans_stopped_velocity"));
  EXPECT_TRUE(stopped->isGoalReached(goal, goal, geometry_msgs::msg::Twist()));
  EXPECT_FALSE(stopped->isGoalReached(goal, goal, turning(1.0)));
}

TEST_F(PluginLoadingTest, ProgressCheckerIsCreatedFromTheInstalledLibrary)
{
  pluginlib::ClassLoader<nav2_core::ProgressChecker> loader(
    "nav2_core", "nav2_core::ProgressChecker");
  ASSERT_TRUE(loader.isClassAvailable("nav2_controller::SimpleProgressChecker"));
  expectInstalledLibrary(
    loader, "nav2_controller::SimpleProgressChecker", "velmora_nav2_controller_core",
    "velmora_nav2_controller_core");
  nav2_core::ProgressChecker::Ptr checker =
    loader.createSharedInstance("nav2_controller::SimpleProgressChecker");
  checker->initialize(node_, "loaded");
  EXPECT_TRUE(node_->has_parameter("loaded.required_movement_radius"));
  geometry_msgs::msg::PoseStamped at;
  at.pose = pose(0.0, 0.0, 0.0);
  EXPECT_TRUE(checker->check(at));
}

TEST_F(PluginLoadingTest, DwbGeneratorAndCriticsAreCreatedFromTheInstalledLibraries)
{
  pluginlib::ClassLoader<dwb_core::TrajectoryGenerator> generators(
    "dwb_core", "dwb_core::TrajectoryGenerator");
  for (const std::string name :
    {"dwb_plugins::StandardTrajectoryGenerator", "dwb_plugins::LimitedAccelGenerator"})
  {
    SCOPED_TRACE(name);
    ASSERT_TRUE(generators.isClassAvailable(name));
    expectInstalledLibrary(generators, name, "dwb_plugins", "standard_traj_generator");
    EXPECT_NE(generators.createUniqueInstance(name), nullptr);
  }

  pluginlib::ClassLoader<dwb_core::TrajectoryCritic> critics(
    "dwb_core", "dwb_core::TrajectoryCritic");
  for (const std::string name :
    {"dwb_critics::BaseObstacleCritic", "dwb_critics::GoalAlignCritic",
      "dwb_critics::GoalDistCritic", "dwb_critics::ObstacleFootprintCritic",
      "dwb_critics::OscillationCritic", "dwb_critics::PathAlignCritic",
      "dwb_critics::PathDistCritic", "dwb_critics::PreferForwardCritic",
      "dwb_critics::RotateToGoalCritic", "dwb_critics::TwirlingCritic"})
  {
    SCOPED_TRACE(name);
    ASSERT_TRUE(critics.isClassAvailable(name));
    expectInstalledLibrary(critics, name, "dwb_critics", "dwb_critics");
    EXPECT_EQ(critics.getClassType(name), name);
    EXPECT_NE(critics.createUniqueInstance(name), nullptr);
  }
}

TEST_F(PluginLoadingTest, AClassNoPackageExportsIsRefused)
{
  pluginlib::ClassLoader<nav2_core::GoalChecker> loader("nav2_core", "nav2_core::GoalChecker");
  EXPECT_FALSE(loader.isClassAvailable("nav2_controller::PreciseGoalChecker"));
  EXPECT_THROW(
    loader.createSharedInstance("nav2_controller::PreciseGoalChecker"),
    pluginlib::LibraryLoadException);
  // A progress checker is no goal checker, whatever library holds it.
  EXPECT_THROW(
    loader.createSharedInstance("nav2_controller::SimpleProgressChecker"),
    pluginlib::LibraryLoadException);
}

}  // namespace
