#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dwb_core/dwb_local_planner.hpp"
#include "dwb_core/exceptions.hpp"
#include "dwb_core/illegal_trajectory_tracker.hpp"
#include "dwb_test_plugins.hpp"
#include "nav2_core/controller.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "ros_lite/testing/testing.hpp"
#include "tf2_ros/buffer.h"

namespace
{

using dwb_test_plugins::FunctionCritic;
using dwb_test_plugins::Journal;
using dwb_test_plugins::ScriptedGenerator;
using namespace std::chrono_literals;

constexpr char kPlugin[] = "FollowPath";

// The planner's protected state, and its plugins as the test doubles they are.
class InspectablePlanner : public dwb_core::DWBLocalPlanner
{
public:
  using DWBLocalPlanner::coreScoringAlgorithm;
  using DWBLocalPlanner::resolveCriticClassName;
  using DWBLocalPlanner::transformGlobalPlan;
  using DWBLocalPlanner::critics_;
  using DWBLocalPlanner::debug_trajectory_details_;
  using DWBLocalPlanner::default_critic_namespaces_;
  using DWBLocalPlanner::forward_prune_distance_;
  using DWBLocalPlanner::global_plan_;
  using DWBLocalPlanner::prune_distance_;
  using DWBLocalPlanner::prune_plan_;
  using DWBLocalPlanner::short_circuit_trajectory_evaluation_;
  using DWBLocalPlanner::shorten_transformed_plan_;
  using DWBLocalPlanner::traj_generator_;
  using DWBLocalPlanner::transform_tolerance_;

  ScriptedGenerator & generator() {return dynamic_cast<ScriptedGenerator &>(*traj_generator_);}
  FunctionCritic & critic(size_t index) {return dynamic_cast<FunctionCritic &>(*critics_.at(index));}
};

nav_2d_msgs::msg::Twist2D twist(double x)
{
  nav_2d_msgs::msg::Twist2D t;
  t.x = x;
  return t;
}

std::vector<nav_2d_msgs::msg::Twist2D> twists(const std::vector<double> & xs)
{
  std::vector<nav_2d_msgs::msg::Twist2D> result;
  for (double x : xs) {
    result.push_back(twist(x));
  }
  return result;
}

// A straight plan along x through the given positions.
nav_msgs::msg::Path pathAlongX(const std::string & frame, const std::vector<double> & xs)
{
  nav_msgs::msg::Path path;
  path.header.frame_id = frame;
  for (double x : xs) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = frame;
    pose.pose.position.x = x;
    pose.pose.orientation.w = 1.0;
    path.poses.push_back(pose);
  }
  return path;
}

// 0, 0.5, ..., 6.0
std::vector<double> halfMetreSteps()
{
  std::vector<double> xs;
  for (int i = 0; i <= 12; ++i) {
    xs.push_back(0.5 * i);
  }
  return xs;
}

nav_2d_msgs::msg::Pose2DStamped robotAt(const std::string & frame, double x, int stamp_sec = 0)
{
  nav_2d_msgs::msg::Pose2DStamped pose;
  pose.header.frame_id = frame;
  pose.header.stamp.sec = stamp_sec;
  pose.pose.x = x;
  return pose;
}

std::vector<double> xsOf(const nav_2d_msgs::msg::Path2D & path)
{
  std::vector<double> xs;
  for (const auto & pose : path.poses) {
    xs.push_back(pose.x);
  }
  return xs;
}

void expectXs(const nav_2d_msgs::msg::Path2D & path, const std::vector<double> & expected)
{
  const std::vector<double> xs = xsOf(path);
  ASSERT_EQ(xs.size(), expected.size());
  for (size_t i = 0; i < xs.size(); ++i) {
    EXPECT_NEAR(xs[i], expected[i], 1e-9) << "pose " << i;
  }
}

// A planner on a lifecycle node whose parameters come from overrides, with a 4 m x 4 m costmap
// in "odom" (so half its size is 2 m) and "odom" 1 m along x of "map".
class PlannerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    costmap_ = std::make_shared<nav2_costmap_2d::Costmap2DROS>(uniqueName("costmap"));
    costmap_->set_parameter(rclcpp::Parameter("global_frame", "odom"));
    costmap_->set_parameter(rclcpp::Parameter("width", 4));
    costmap_->set_parameter(rclcpp::Parameter("height", 4));
    costmap_->set_parameter(rclcpp::Parameter("origin_x", -2.0));
    costmap_->set_parameter(rclcpp::Parameter("origin_y", -2.0));
    costmap_->configure();

    tf_ = std::make_shared<tf2_ros::Buffer>(std::make_shared<rclcpp::Clock>());
    geometry_msgs::msg::TransformStamped odom_in_map;
    odom_in_map.header.frame_id = "map";
    odom_in_map.child_frame_id = "odom";
    odom_in_map.transform.translation.x = 1.0;
    odom_in_map.transform.rotation.w = 1.0;
    ASSERT_TRUE(tf_->setTransform(odom_in_map, "test", true));
  }

  void TearDown() override
  {
    planner_.reset();
    node_.reset();
    costmap_.reset();
  }

  static std::string uniqueName(const std::string & prefix)
  {
    return prefix + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  // The given parameters, and the generator and critics every planner here uses where they are
  // not given.
  static std::vector<rclcpp::Parameter> withDefaults(std::vector<rclcpp::Parameter> parameters)
  {
    const std::string p = std::string(kPlugin) + ".";
    const std::vector<rclcpp::Parameter> defaults{
      rclcpp::Parameter(p + "trajectory_generator_name", "dwb_test_plugins::ScriptedGenerator"),
      rclcpp::Parameter(
        p + "default_critic_namespaces", std::vector<std::string>{"dwb_test_plugins"}),
      rclcpp::Parameter(p + "critics", std::vector<std::string>{"Function", "Second"}),
      rclcpp::Parameter(p + "Second.class", "Function")};
    for (const auto & fallback : defaults) {
      const bool given = std::any_of(
        parameters.begin(), parameters.end(),
        [&fallback](const rclcpp::Parameter & parameter) {
          return parameter.get_name() == fallback.get_name();
        });
      if (!given) {
        parameters.push_back(fallback);
      }
    }
    return parameters;
  }

  // Configures and activates a planner; the parameters apply as a params file would.
  void configure(const std::vector<rclcpp::Parameter> & parameters)
  {
    // The previous planner publishes through the previous node: it goes first.
    planner_.reset();
    node_.reset();
    rclcpp::NodeOptions options;
    options.parameter_overrides(parameters);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "planner_node", "/" + uniqueName("ns"), options);
    planner_ = std::make_shared<InspectablePlanner>();
    planner_->configure(node_, kPlugin, tf_, costmap_);
    planner_->activate();
  }

  void configureWithDefaults(std::vector<rclcpp::Parameter> parameters = {})
  {
    configure(withDefaults(std::move(parameters)));
    for (size_t i = 0; i < planner_->critics_.size(); ++i) {
      planner_->critic(i).journal = &journal_;
    }
    planner_->generator().journal = &journal_;
  }

  rclcpp::Parameter parameter(const std::string & name) const
  {
    return node_->get_parameter(std::string(kPlugin) + "." + name);
  }

  ros_lite::testing::ScopedRos ros_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_;
  std::shared_ptr<tf2_ros::Buffer> tf_;
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::shared_ptr<InspectablePlanner> planner_;
  Journal journal_;
};

// ---- configuration ----

TEST_F(PlannerTest, ConfigureDeclaresItsParametersWithTheirDefaults)
{
  configureWithDefaults();
  EXPECT_TRUE(parameter("prune_plan").as_bool());
  EXPECT_DOUBLE_EQ(parameter("prune_distance").as_double(), 2.0);
  EXPECT_DOUBLE_EQ(parameter("forward_prune_distance").as_double(), 2.0);
  EXPECT_FALSE(parameter("debug_trajectory_details").as_bool());
  EXPECT_DOUBLE_EQ(parameter("transform_tolerance").as_double(), 0.1);
  EXPECT_TRUE(parameter("shorten_transformed_plan").as_bool());
  EXPECT_TRUE(parameter("short_circuit_trajectory_evaluation").as_bool());
  EXPECT_EQ(parameter("Function.class").as_string(), "Function");
  EXPECT_EQ(parameter("Second.class").as_string(), "Function");
  EXPECT_DOUBLE_EQ(parameter("Function.scale").as_double(), 1.0);
  EXPECT_DOUBLE_EQ(parameter("Second.scale").as_double(), 1.0);
  EXPECT_TRUE(parameter("publish_evaluation").as_bool());
  EXPECT_FALSE(parameter("publish_cost_grid_pc").as_bool());
  EXPECT_DOUBLE_EQ(parameter("marker_lifetime").as_double(), 0.1);

  EXPECT_TRUE(planner_->prune_plan_);
  EXPECT_DOUBLE_EQ(planner_->prune_distance_, 2.0);
  EXPECT_DOUBLE_EQ(planner_->forward_prune_distance_, 2.0);
  EXPECT_FALSE(planner_->debug_trajectory_details_);
  EXPECT_EQ(planner_->transform_tolerance_.nanoseconds(), 100000000);
  EXPECT_TRUE(planner_->shorten_transformed_plan_);
  EXPECT_TRUE(planner_->short_circuit_trajectory_evaluation_);
}

TEST_F(PlannerTest, ConfigureReadsTheGivenValues)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults(
  {
    rclcpp::Parameter(p + "prune_plan", false), rclcpp::Parameter(p + "prune_distance", 1.5),
    rclcpp::Parameter(p + "forward_prune_distance", 0.7),
    rclcpp::Parameter(p + "debug_trajectory_details", true),
    rclcpp::Parameter(p + "transform_tolerance", 0.4),
    rclcpp::Parameter(p + "shorten_transformed_plan", false),
    rclcpp::Parameter(p + "short_circuit_trajectory_evaluation", false),
    rclcpp::Parameter(p + "Second.scale", 2.5)});
  EXPECT_FALSE(planner_->prune_plan_);
  EXPECT_DOUBLE_EQ(planner_->prune_distance_, 1.5);
  EXPECT_DOUBLE_EQ(planner_->forward_prune_distance_, 0.7);
  EXPECT_TRUE(planner_->debug_trajectory_details_);
  EXPECT_EQ(planner_->transform_tolerance_.nanoseconds(), 400000000);
  EXPECT_FALSE(planner_->shorten_transformed_plan_);
  EXPECT_FALSE(planner_->short_circuit_trajectory_evaluation_);
  EXPECT_DOUBLE_EQ(planner_->critic(0).getScale(), 1.0);
  EXPECT_DOUBLE_EQ(planner_->critic(1).getScale(), 2.5);
}

TEST_F(PlannerTest, PluginsAreLoadedByShortOrFullClassNames)
{
  const std::string p = std::string(kPlugin) + ".";
  configure(
  {
    rclcpp::Parameter(p + "trajectory_generator_name", "dwb_test_plugins::ScriptedGenerator"),
    rclcpp::Parameter(
      p + "default_critic_namespaces",
      std::vector<std::string>{"elsewhere", "dwb_test_plugins"}),
    rclcpp::Parameter(p + "critics", std::vector<std::string>{"Function", "Second", "Third"}),
    rclcpp::Parameter(p + "Second.class", "dwb_test_plugins::FunctionCritic"),
    rclcpp::Parameter(p + "Third.class", "FunctionCritic")});

  ASSERT_EQ(planner_->critics_.size(), 3u);
  const std::vector<std::string> names{"Function", "Second", "Third"};
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(planner_->critic(i).getName(), names[i]);
    EXPECT_TRUE(planner_->critic(i).initialized) << names[i];
  }
  EXPECT_EQ(planner_->generator().plugin_name, kPlugin);

  EXPECT_EQ(planner_->resolveCriticClassName("Function"), "dwb_test_plugins::FunctionCritic");
  EXPECT_EQ(planner_->resolveCriticClassName("FunctionCritic"), "dwb_test_plugins::FunctionCritic");
  EXPECT_EQ(planner_->resolveCriticClassName("Unknown"), "UnknownCritic");
  EXPECT_EQ(planner_->resolveCriticClassName("other_ns::Thing"), "other_ns::ThingCritic");
}

TEST_F(PlannerTest, WithoutDefaultNamespacesCriticsAreLookedForInDwbCritics)
{
  const std::string p = std::string(kPlugin) + ".";
  configure(
  {
    rclcpp::Parameter(p + "trajectory_generator_name", "dwb_test_plugins::ScriptedGenerator"),
    rclcpp::Parameter(p + "critics", std::vector<std::string>{"Plain"}),
    rclcpp::Parameter(p + "Plain.class", "dwb_test_plugins::Function")});
  EXPECT_EQ(planner_->default_critic_namespaces_, std::vector<std::string>{"dwb_critics"});
  ASSERT_EQ(planner_->critics_.size(), 1u);
  EXPECT_EQ(planner_->critic(0).getName(), "Plain");
}

TEST_F(PlannerTest, ConfigureFailsWithoutCriticsOrWithUnknownPlugins)
{
  const std::string p = std::string(kPlugin) + ".";
  try {
    configure({rclcpp::Parameter(p + "trajectory_generator_name", "dwb_test_plugins::ScriptedGenerator")});
    FAIL() << "configured without critics";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "No critics defined for FollowPath");
  }
  // Declared all the same, without a value.
  rclcpp::Parameter critics;
  EXPECT_TRUE(node_->has_parameter("FollowPath.critics"));
  EXPECT_FALSE(node_->get_parameter("FollowPath.critics", critics));

  try {
    configureWithDefaults({rclcpp::Parameter(p + "critics", std::vector<std::string>{"Missing"})});
    FAIL() << "configured with an unknown critic";
  } catch (const pluginlib::LibraryLoadException & e) {
    EXPECT_NE(std::string(e.what()).find("MissingCritic"), std::string::npos) << e.what();
  }

  EXPECT_THROW(
    configureWithDefaults(
      {rclcpp::Parameter(p + "trajectory_generator_name", "dwb_test_plugins::NoGenerator")}),
    pluginlib::LibraryLoadException);
}

TEST_F(PlannerTest, IsAControllerPluginAndForwardsSpeedLimitsUntilCleanup)
{
  pluginlib::ClassLoader<nav2_core::Controller> loader("nav2_core", "nav2_core::Controller");
  ASSERT_TRUE(loader.isClassAvailable("dwb_core::DWBLocalPlanner"));
  std::shared_ptr<nav2_core::Controller> controller =
    loader.createSharedInstance("dwb_core::DWBLocalPlanner");
  EXPECT_NE(dynamic_cast<dwb_core::DWBLocalPlanner *>(controller.get()), nullptr);

  configureWithDefaults();
  planner_->setSpeedLimit(40.0, true);
  planner_->setSpeedLimit(0.3, false);
  const std::vector<std::pair<double, bool>> expected{{40.0, true}, {0.3, false}};
  EXPECT_EQ(planner_->generator().speed_limits, expected);

  planner_->deactivate();
  planner_->cleanup();
  EXPECT_EQ(planner_->traj_generator_, nullptr);
  planner_->setSpeedLimit(10.0, true);  // no generator left to tell
}

// ---- plan handling ----

TEST_F(PlannerTest, SetPlanResetsCriticsThenTheGeneratorAndStoresThePlan)
{
  configureWithDefaults();
  planner_->setPlan(pathAlongX("odom", {0.0, 1.0, 2.0}));
  EXPECT_EQ(journal_, (Journal{"Function.reset", "Second.reset", "generator.reset"}));
  EXPECT_EQ(planner_->global_plan_.header.frame_id, "odom");
  expectXs(planner_->global_plan_, {0.0, 1.0, 2.0});

  planner_->setPlan(pathAlongX("map", {5.0}));
  EXPECT_EQ(planner_->global_plan_.header.frame_id, "map");
  expectXs(planner_->global_plan_, {5.0});
}

TEST_F(PlannerTest, TransformKeepsThePlanAroundTheRobotAndPrunesThePassedPart)
{
  // Start: the first pose closer than 2 m (0.5); end: the first farther than 2 m (4.5).
  configureWithDefaults();
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  const auto plan = planner_->transformGlobalPlan(robotAt("odom", 2.1, 7));
  EXPECT_EQ(plan.header.frame_id, "odom");
  EXPECT_EQ(plan.header.stamp.sec, 7);
  expectXs(plan, {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0});
  ASSERT_EQ(planner_->global_plan_.poses.size(), 12u);
  EXPECT_DOUBLE_EQ(planner_->global_plan_.poses.front().x, 0.5);

  // Pruning is for good: the robot moving on drops more.
  planner_->transformGlobalPlan(robotAt("odom", 3.6));
  EXPECT_DOUBLE_EQ(planner_->global_plan_.poses.front().x, 2.0);
}

TEST_F(PlannerTest, StartIsSearchedOnlyWithinThePruneDistance)
{
  // Within the first 1 m of the plan (0, 0.5, 1.0) nothing is closer than 1 m to the robot at
  // 2.6: the plan starts where that distance ends (1.5, though 1.1 m away) and stops before the
  // first pose farther than 1.5 m (4.5).
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults(
    {rclcpp::Parameter(p + "prune_distance", 1.0),
      rclcpp::Parameter(p + "forward_prune_distance", 1.5)});
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  expectXs(planner_->transformGlobalPlan(robotAt("odom", 2.6)), {1.5, 2.0, 2.5, 3.0, 3.5, 4.0});
  EXPECT_DOUBLE_EQ(planner_->global_plan_.poses.front().x, 1.5);
}

TEST_F(PlannerTest, WithoutPruningOrShorteningHalfTheCostmapLimits)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults(
    {rclcpp::Parameter(p + "prune_plan", false), rclcpp::Parameter(p + "prune_distance", 5.0),
      rclcpp::Parameter(p + "shorten_transformed_plan", false),
      rclcpp::Parameter(p + "forward_prune_distance", 0.5)});
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  expectXs(
    planner_->transformGlobalPlan(robotAt("odom", 2.1)),
    {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0});
  EXPECT_EQ(planner_->global_plan_.poses.size(), 13u);

  // Larger prune distances than half the costmap are capped by it too.
  configureWithDefaults(
    {rclcpp::Parameter(p + "prune_distance", 5.0),
      rclcpp::Parameter(p + "forward_prune_distance", 5.0)});
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  expectXs(
    planner_->transformGlobalPlan(robotAt("odom", 2.1)),
    {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5, 4.0});
}

TEST_F(PlannerTest, ThePlanIsBroughtIntoTheCostmapFrame)
{
  configureWithDefaults();
  planner_->setPlan(pathAlongX("map", halfMetreSteps()));
  // 1.1 in odom is 2.1 in map.
  const auto plan = planner_->transformGlobalPlan(robotAt("odom", 1.1, 3));
  EXPECT_EQ(plan.header.frame_id, "odom");
  EXPECT_EQ(plan.header.stamp.sec, 3);
  expectXs(plan, {-0.5, 0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0});
  // The stored plan stays in its own frame.
  EXPECT_EQ(planner_->global_plan_.header.frame_id, "map");
  EXPECT_DOUBLE_EQ(planner_->global_plan_.poses.front().x, 0.5);
}

TEST_F(PlannerTest, TransformFailuresRaiseTheirExceptions)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults(
    {rclcpp::Parameter(p + "prune_distance", 3.0),
      rclcpp::Parameter(p + "forward_prune_distance", 1.0)});

  try {
    planner_->transformGlobalPlan(robotAt("odom", 0.0));
    FAIL() << "no plan yet";
  } catch (const nav2_core::PlannerException & e) {
    EXPECT_STREQ(e.what(), "Received plan with zero length");
  }

  planner_->setPlan(pathAlongX("nowhere", halfMetreSteps()));
  try {
    planner_->transformGlobalPlan(robotAt("odom", 2.1));
    FAIL() << "plan frame has no transform";
  } catch (const dwb_core::PlannerTFException & e) {
    EXPECT_STREQ(e.what(), "Unable to transform robot pose into global plan's frame");
  }

  // The first pose within 2 m (0.5) is already 1.6 m away, farther than the 1 m ahead kept:
  // nothing is left, but the passed pose is dropped all the same.
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  try {
    planner_->transformGlobalPlan(robotAt("odom", 2.1));
    FAIL() << "nothing of the plan is near the robot";
  } catch (const nav2_core::PlannerException & e) {
    EXPECT_STREQ(e.what(), "Resulting plan has 0 poses in it.");
  }
  EXPECT_EQ(planner_->global_plan_.poses.size(), 12u);
}

// ---- the search ----

class ScoringTest : public PlannerTest
{
protected:
  // Plan along x in odom, robot at its start; the twists are the samples, in order.
  void prepare(const std::vector<double> & xs)
  {
    planner_->setPlan(pathAlongX("odom", {0.0, 0.5, 1.0, 1.5}));
    planner_->generator().twists = twists(xs);
    journal_.clear();
  }

  nav_2d_msgs::msg::Twist2DStamped plan(
    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results)
  {
    return planner_->computeVelocityCommands(robotAt("odom", 0.0), twist(0.05), results);
  }

  static std::function<double(const dwb_msgs::msg::Trajectory2D &)> byVelocity(
    std::vector<std::pair<double, double>> table)
  {
    return [table](const dwb_msgs::msg::Trajectory2D & traj) {
             for (const auto & [x, value] : table) {
               if (std::fabs(traj.velocity.x - x) < 1e-9) {
                 return value;
               }
             }
             return 100.0;
           };
  }
};

TEST_F(ScoringTest, TheCheapestTrajectoryWinsAndEveryScoreIsRecorded)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults({rclcpp::Parameter(p + "Second.scale", 2.0)});
  prepare({0.1, 0.2, 0.3, 0.4});
  planner_->critic(0).score = byVelocity({{0.1, 2.0}, {0.2, 1.0}, {0.3, 0.0}, {0.4, 1.0}});
  planner_->critic(1).score = [](const dwb_msgs::msg::Trajectory2D &) {return 1.0;};

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  const auto cmd = plan(results);
  EXPECT_DOUBLE_EQ(cmd.velocity.x, 0.3);
  EXPECT_TRUE(cmd.header.frame_id.empty());
  EXPECT_DOUBLE_EQ(planner_->generator().iteration_velocity.x, 0.05);

  EXPECT_EQ(results->header.frame_id, "odom");
  ASSERT_EQ(results->twists.size(), 4u);
  EXPECT_EQ(results->best_index, 2u);
  EXPECT_EQ(results->worst_index, 0u);
  const auto & best = results->twists[2];
  EXPECT_FLOAT_EQ(best.total, 2.0f);
  ASSERT_EQ(best.scores.size(), 2u);
  EXPECT_EQ(best.scores[0].name, "Function");
  EXPECT_FLOAT_EQ(best.scores[0].raw_score, 0.0f);
  EXPECT_FLOAT_EQ(best.scores[0].scale, 1.0f);
  EXPECT_EQ(best.scores[1].name, "Second");
  EXPECT_FLOAT_EQ(best.scores[1].raw_score, 1.0f);
  EXPECT_FLOAT_EQ(best.scores[1].scale, 2.0f);
  EXPECT_FLOAT_EQ(results->twists[0].total, 4.0f);
  EXPECT_EQ(best.traj.poses.size(), 5u);

  // The critics see the plan near the robot and its end as the goal, in the costmap frame; all
  // prepare before the search and learn the chosen command after it.
  EXPECT_EQ(
    journal_,
    (Journal{"Function.prepare", "Second.prepare", "Function.debrief", "Second.debrief"}));
  EXPECT_DOUBLE_EQ(planner_->critic(0).prepared_goal.x, 1.5);
  EXPECT_EQ(planner_->critic(0).prepared_plan.header.frame_id, "odom");
  EXPECT_EQ(xsOf(planner_->critic(0).prepared_plan), (std::vector<double>{0.0, 0.5, 1.0, 1.5}));
  ASSERT_EQ(planner_->critic(1).debriefed.size(), 1u);
  EXPECT_DOUBLE_EQ(planner_->critic(1).debriefed[0].x, 0.3);
}

TEST_F(ScoringTest, TheThreeDimensionalCallGivesOnlyTheTwist)
{
  configureWithDefaults();
  prepare({0.2, 0.1});
  planner_->critic(0).score = byVelocity({{0.2, 3.0}, {0.1, 1.0}});

  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "odom";
  pose.header.stamp.sec = 9;
  pose.pose.orientation.w = 1.0;
  geometry_msgs::msg::Twist velocity;
  velocity.linear.x = 0.15;
  velocity.angular.z = 0.2;
  const auto cmd = planner_->computeVelocityCommands(pose, velocity, nullptr);
  EXPECT_EQ(cmd.header, std_msgs::msg::Header());
  EXPECT_DOUBLE_EQ(cmd.twist.linear.x, 0.1);
  EXPECT_DOUBLE_EQ(cmd.twist.linear.z, 0.0);
  EXPECT_DOUBLE_EQ(cmd.twist.angular.x, 0.0);
  EXPECT_DOUBLE_EQ(cmd.twist.angular.y, 0.0);
  EXPECT_DOUBLE_EQ(planner_->generator().iteration_velocity.x, 0.15);
  EXPECT_DOUBLE_EQ(planner_->generator().iteration_velocity.theta, 0.2);
}

TEST_F(ScoringTest, TiesKeepTheEarlierTrajectory)
{
  configureWithDefaults();
  prepare({0.1, 0.2, 0.3, 0.4});
  planner_->critic(0).score = byVelocity({{0.1, 2.0}, {0.2, 1.0}, {0.3, 1.0}, {0.4, 3.0}});

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  EXPECT_DOUBLE_EQ(plan(results).velocity.x, 0.2);
  EXPECT_EQ(results->best_index, 1u);
  EXPECT_EQ(results->worst_index, 3u);

  // The same without anyone collecting results.
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> none;
  EXPECT_DOUBLE_EQ(plan(none).velocity.x, 0.2);
}

TEST_F(ScoringTest, IllegalTrajectoriesAreRecordedAndSkipped)
{
  configureWithDefaults();
  prepare({0.1, 0.2, 0.3});
  planner_->critic(0).score = byVelocity({{0.1, 2.0}, {0.2, 0.0}, {0.3, 1.0}});
  planner_->critic(1).refusal = [](const dwb_msgs::msg::Trajectory2D & traj) {
      return traj.velocity.x > 0.15 && traj.velocity.x < 0.25 ? "too close" : "";
    };

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  EXPECT_DOUBLE_EQ(plan(results).velocity.x, 0.3);
  ASSERT_EQ(results->twists.size(), 3u);
  const auto & refused = results->twists[1];
  EXPECT_FLOAT_EQ(refused.total, -1.0f);
  ASSERT_EQ(refused.scores.size(), 1u);
  EXPECT_EQ(refused.scores[0].name, "Second");
  EXPECT_FLOAT_EQ(refused.scores[0].raw_score, -1.0f);
  EXPECT_DOUBLE_EQ(refused.traj.velocity.x, 0.2);
  EXPECT_EQ(results->best_index, 2u);
  EXPECT_EQ(results->worst_index, 0u);
}

TEST_F(ScoringTest, NoLegalTrajectoryRaisesTheTrackersSummary)
{
  configureWithDefaults();
  prepare({0.1, 0.2, 0.3});
  planner_->critic(0).refusal = [](const dwb_msgs::msg::Trajectory2D & traj) {
      return traj.velocity.x < 0.25 ? "too close" : "off the map";
    };

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  try {
    plan(results);
    FAIL() << "a trajectory was accepted";
  } catch (const dwb_core::NoLegalTrajectoriesException & e) {
    EXPECT_EQ(std::string(e.what()), e.tracker_.getMessage());
    const auto shares = e.tracker_.getPercentages();
    ASSERT_EQ(shares.size(), 2u);
    EXPECT_NEAR(shares.at({"Function", "too close"}), 2.0 / 3.0, 1e-9);
    EXPECT_NEAR(shares.at({"Function", "off the map"}), 1.0 / 3.0, 1e-9);
  }
  EXPECT_EQ(results->twists.size(), 3u);
  // The critics are told that the robot stops.
  ASSERT_EQ(planner_->critic(1).debriefed.size(), 1u);
  EXPECT_EQ(planner_->critic(1).debriefed[0], nav_2d_msgs::msg::Twist2D());

  // Through the three-dimensional call it is a planner failure like any other.
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "odom";
  EXPECT_THROW(
    planner_->computeVelocityCommands(pose, geometry_msgs::msg::Twist(), nullptr),
    nav2_core::PlannerException);
}

TEST_F(ScoringTest, DebugDetailsExplainWhyNothingWasLegal)
{
  const std::string p = std::string(kPlugin) + ".";
  for (const bool debug : {false, true}) {
    configureWithDefaults({rclcpp::Parameter(p + "debug_trajectory_details", debug)});
    prepare({0.1, 0.2});
    planner_->critic(0).refusal = [](const dwb_msgs::msg::Trajectory2D &) {return "blocked";};

    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> none;
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(plan(none), dwb_core::NoLegalTrajectoriesException);
    const std::string log = ::testing::internal::GetCapturedStderr();
    const bool explained = log.find("No valid trajectories out of 2!") != std::string::npos &&
      log.find("1.00:   Function/blocked") != std::string::npos;
    EXPECT_EQ(explained, debug) << log;
  }
}

TEST_F(ScoringTest, CriticsOfScaleZeroAreNotAsked)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults({rclcpp::Parameter(p + "Function.scale", 0.0)});
  prepare({0.1});
  planner_->critic(0).score = [](const dwb_msgs::msg::Trajectory2D &) {return 50.0;};
  planner_->critic(1).score = [](const dwb_msgs::msg::Trajectory2D &) {return 3.0;};

  const auto score = planner_->scoreTrajectory(dwb_msgs::msg::Trajectory2D());
  EXPECT_EQ(planner_->critic(0).scored, 0);
  ASSERT_EQ(score.scores.size(), 2u);
  EXPECT_EQ(score.scores[0].name, "Function");
  EXPECT_FLOAT_EQ(score.scores[0].scale, 0.0f);
  EXPECT_FLOAT_EQ(score.scores[0].raw_score, 0.0f);
  EXPECT_FLOAT_EQ(score.total, 3.0f);
}

TEST_F(ScoringTest, ScoringStopsOnceWorseThanTheBest)
{
  configureWithDefaults();
  prepare({0.1, 0.2});
  planner_->critic(0).score = byVelocity({{0.1, 1.0}, {0.2, 5.0}});
  planner_->critic(1).score = [](const dwb_msgs::msg::Trajectory2D &) {return 1.0;};

  dwb_msgs::msg::Trajectory2D traj;
  traj.velocity = twist(0.2);
  const auto cut = planner_->scoreTrajectory(traj, 1.0);
  EXPECT_EQ(cut.scores.size(), 1u);
  EXPECT_FLOAT_EQ(cut.total, 5.0f);
  EXPECT_EQ(planner_->critic(1).scored, 0);
  // No best yet (negative) or a best of 0: every critic is asked.
  EXPECT_EQ(planner_->scoreTrajectory(traj, -1.0).scores.size(), 2u);
  EXPECT_EQ(planner_->scoreTrajectory(traj, 0.0).scores.size(), 2u);
  EXPECT_FLOAT_EQ(planner_->scoreTrajectory(traj).total, 6.0f);

  // The search hands the running best on: the second sample skips the second critic.
  planner_->critic(1).scored = 0;
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> none;
  EXPECT_DOUBLE_EQ(plan(none).velocity.x, 0.1);
  EXPECT_EQ(planner_->critic(1).scored, 1);
}

TEST_F(ScoringTest, WithoutShortCircuitEveryCriticIsAsked)
{
  const std::string p = std::string(kPlugin) + ".";
  configureWithDefaults({rclcpp::Parameter(p + "short_circuit_trajectory_evaluation", false)});
  planner_->critic(0).score = [](const dwb_msgs::msg::Trajectory2D &) {return 5.0;};
  const auto full = planner_->scoreTrajectory(dwb_msgs::msg::Trajectory2D(), 1.0);
  EXPECT_EQ(full.scores.size(), 2u);
  EXPECT_EQ(planner_->critic(1).scored, 1);
}

TEST_F(ScoringTest, ACriticFailingToPrepareDoesNotStopTheSearch)
{
  configureWithDefaults();
  prepare({0.1, 0.2});
  planner_->critic(0).prepare_result = false;
  planner_->critic(1).score = byVelocity({{0.1, 2.0}, {0.2, 1.0}});
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> none;
  EXPECT_DOUBLE_EQ(plan(none).velocity.x, 0.2);
  EXPECT_EQ(
    journal_,
    (Journal{"Function.prepare", "Second.prepare", "Function.debrief", "Second.debrief"}));
}

TEST_F(ScoringTest, PlanFailuresLeaveBeforeAnyCriticIsAsked)
{
  configureWithDefaults();
  planner_->generator().twists = twists({0.1});
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> none;
  EXPECT_THROW(plan(none), nav2_core::PlannerException);
  EXPECT_TRUE(journal_.empty());
}

// ---- what the planner publishes ----

// Subscribes to a topic of the planner's node (so that it is published at all) and records
// what is published there.
template<typename MessageT>
class Listener
{
public:
  Listener(const rclcpp::Node::SharedPtr & node, const std::string & topic)
  : recorder_(topic),
    subscription_(node->create_subscription<MessageT>(
        topic, rclcpp::QoS(1), [](const std::shared_ptr<const MessageT>) {}))
  {}

  ros_lite::testing::TopicRecorder<MessageT> & recorder() {return recorder_;}

private:
  ros_lite::testing::TopicRecorder<MessageT> recorder_;
  typename rclcpp::Subscription<MessageT>::SharedPtr subscription_;
};

TEST_F(ScoringTest, EvaluationAndLocalPlanArePublishedToListeners)
{
  configureWithDefaults();
  prepare({0.1, 0.2});
  planner_->critic(0).score = byVelocity({{0.1, 2.0}, {0.2, 1.0}});
  const std::string ns = "/" + uniqueName("ns");
  auto listener_node = std::make_shared<rclcpp::Node>("listener");
  ros_lite::testing::TopicRecorder<dwb_msgs::msg::LocalPlanEvaluation> unheard(ns + "/evaluation");

  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "odom";
  pose.pose.orientation.w = 1.0;
  planner_->computeVelocityCommands(pose, geometry_msgs::msg::Twist(), nullptr);
  EXPECT_EQ(unheard.count(), 0u);  // nobody listens: nothing is built

  Listener<dwb_msgs::msg::LocalPlanEvaluation> evaluation(listener_node, ns + "/evaluation");
  Listener<nav_msgs::msg::Path> local_plan(listener_node, ns + "/local_plan");
  Listener<nav_msgs::msg::Path> transformed(listener_node, ns + "/transformed_global_plan");
  planner_->computeVelocityCommands(pose, geometry_msgs::msg::Twist(), nullptr);
  ASSERT_EQ(evaluation.recorder().count(), 1u);
  const auto published = *evaluation.recorder().last();
  EXPECT_EQ(published.header.frame_id, "odom");
  EXPECT_EQ(published.twists.size(), 2u);
  EXPECT_EQ(published.best_index, 1u);
  ASSERT_EQ(local_plan.recorder().count(), 1u);
  EXPECT_EQ(local_plan.recorder().last()->poses.size(), 5u);
  EXPECT_EQ(local_plan.recorder().last()->header.frame_id, "odom");
  EXPECT_EQ(transformed.recorder().count(), 1u);

  // A failed search still publishes its evaluation and an empty local plan.
  planner_->critic(0).refusal = [](const dwb_msgs::msg::Trajectory2D &) {return "blocked";};
  EXPECT_THROW(
    planner_->computeVelocityCommands(pose, geometry_msgs::msg::Twist(), nullptr),
    dwb_core::NoLegalTrajectoriesException);
  ASSERT_EQ(evaluation.recorder().count(), 2u);
  EXPECT_FLOAT_EQ(evaluation.recorder().last()->twists[0].total, -1.0f);
  ASSERT_EQ(local_plan.recorder().count(), 2u);
  EXPECT_TRUE(local_plan.recorder().last()->poses.empty());
}

TEST_F(ScoringTest, PrunedPlanIsRepublished)
{
  configureWithDefaults();
  auto listener_node = std::make_shared<rclcpp::Node>("listener");
  Listener<nav_msgs::msg::Path> global(listener_node, "/" + uniqueName("ns") + "/received_global_plan");
  planner_->setPlan(pathAlongX("odom", halfMetreSteps()));
  ASSERT_EQ(global.recorder().count(), 1u);
  EXPECT_EQ(global.recorder().last()->poses.size(), 13u);
  planner_->transformGlobalPlan(robotAt("odom", 2.1));
  ASSERT_EQ(global.recorder().count(), 2u);
  EXPECT_EQ(global.recorder().last()->poses.size(), 12u);
}

}  // namespace
