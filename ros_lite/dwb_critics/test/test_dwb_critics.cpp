// The standard trajectory critics on small hand-made costmaps: their parameters, scores, the
// trajectories they refuse and why, and their creation by class name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dwb_core/exceptions.hpp"
#include "dwb_core/trajectory_critic.hpp"
#include "dwb_critics/base_obstacle.hpp"
#include "dwb_critics/goal_align.hpp"
#include "dwb_critics/goal_dist.hpp"
#include "dwb_critics/obstacle_footprint.hpp"
#include "dwb_critics/oscillation.hpp"
#include "dwb_critics/path_align.hpp"
#include "dwb_critics/path_dist.hpp"
#include "dwb_critics/prefer_forward.hpp"
#include "dwb_critics/rotate_to_goal.hpp"
#include "dwb_critics/twirling.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav_2d_utils/path_ops.hpp"
#include "pluginlib/class_loader.hpp"

using nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
using nav2_costmap_2d::LETHAL_OBSTACLE;
using nav2_costmap_2d::NO_INFORMATION;

namespace
{
class RclcppEnvironment : public ::testing::Environment
{
public:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}
};

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new RclcppEnvironment);

geometry_msgs::msg::Pose2D pose(double x, double y, double theta = 0.0)
{
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

nav_2d_msgs::msg::Twist2D twist(double x, double y, double theta)
{
  nav_2d_msgs::msg::Twist2D t;
  t.x = x;
  t.y = y;
  t.theta = theta;
  return t;
}

nav_2d_msgs::msg::Path2D path(const std::vector<geometry_msgs::msg::Pose2D> & poses)
{
  nav_2d_msgs::msg::Path2D plan;
  plan.header.frame_id = "map";
  plan.poses = poses;
  return plan;
}

dwb_msgs::msg::Trajectory2D trajectory(
  const std::vector<geometry_msgs::msg::Pose2D> & poses,
  const nav_2d_msgs::msg::Twist2D & velocity = nav_2d_msgs::msg::Twist2D())
{
  dwb_msgs::msg::Trajectory2D traj;
  traj.velocity = velocity;
  traj.poses = poses;
  for (size_t i = 0; i < poses.size(); ++i) {
    builtin_interfaces::msg::Duration offset;
    offset.sec = static_cast<int32_t>(i / 10);
    offset.nanosec = static_cast<uint32_t>((i % 10) * 100000000u);
    traj.time_offsets.push_back(offset);   // 0.1 s apart
  }
  return traj;
}

// The centre of cell (x, y) of the 0.1 m test grid with its corner at the origin.
geometry_msgs::msg::Pose2D cell(unsigned int x, unsigned int y, double theta = 0.0)
{
  return pose(0.1 * x + 0.05, 0.1 * y + 0.05, theta);
}

std::string illegalReason(dwb_core::TrajectoryCritic & critic, const dwb_msgs::msg::Trajectory2D & t)
{
  try {
    critic.scoreTrajectory(t);
  } catch (const dwb_core::IllegalTrajectoryException & e) {
    EXPECT_EQ(e.getCriticName(), critic.getName());
    return e.what();
  }
  return "legal";
}

// A configured 5 m x 5 m costmap of 0.1 m cells (50 x 50, corner at the origin, all free) and a
// planner node "FollowPath" critics are initialised on.
class CriticTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    static int counter = 0;
    const std::string suffix = std::to_string(counter++);
    costmap_ros_ = std::make_shared<nav2_costmap_2d::Costmap2DROS>("critic_costmap_" + suffix);
    costmap_ros_->configure();
    costmap_ = costmap_ros_->getCostmap();
    node_ = std::make_shared<nav2_util::LifecycleNode>("critic_planner_" + suffix);
  }

  template<class Critic>
  std::shared_ptr<Critic> make(
    const std::string & name, const std::vector<rclcpp::Parameter> & parameters = {})
  {
    for (const auto & parameter : parameters) {
      node_->declare_parameter(parameter.get_name(), parameter.get_parameter_value());
    }
    auto critic = std::make_shared<Critic>();
    critic->initialize(node_, name, "FollowPath", costmap_ros_);
    return critic;
  }

  template<class Critic>
  std::shared_ptr<Critic> prepared(
    const std::string & name, const nav_2d_msgs::msg::Path2D & plan,
    const std::vector<rclcpp::Parameter> & parameters = {},
    const geometry_msgs::msg::Pose2D & robot = pose(0.55, 2.05))
  {
    auto critic = make<Critic>(name, parameters);
    EXPECT_TRUE(critic->prepare(robot, twist(0, 0, 0), plan.poses.back(), plan));
    return critic;
  }

  double parameter(const std::string & name) {return node_->get_parameter(name).as_double();}

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  nav2_costmap_2d::Costmap2D * costmap_{nullptr};
  nav2_util::LifecycleNode::SharedPtr node_;
};

// --- BaseObstacle -------------------------------------------------------------------------------

TEST_F(CriticTest, BaseObstacleScoresTheCellUnderTheLastPoseOrTheSum)
{
  costmap_->setCost(10, 10, 40);
  costmap_->setCost(11, 10, 60);
  auto last = make<dwb_critics::BaseObstacleCritic>("BaseObstacle");
  EXPECT_FALSE(node_->get_parameter("FollowPath.BaseObstacle.sum_scores").as_bool());
  EXPECT_DOUBLE_EQ(parameter("FollowPath.BaseObstacle.scale"), 1.0);
  ASSERT_TRUE(last->prepare(cell(10, 10), twist(0, 0, 0), cell(11, 10), path({cell(11, 10)})));
  EXPECT_DOUBLE_EQ(last->scoreTrajectory(trajectory({cell(11, 10), cell(10, 10)})), 40.0);

  auto sum = make<dwb_critics::BaseObstacleCritic>(
    "Summed", {rclcpp::Parameter("FollowPath.Summed.sum_scores", true)});
  ASSERT_TRUE(sum->prepare(cell(10, 10), twist(0, 0, 0), cell(11, 10), path({cell(11, 10)})));
  EXPECT_DOUBLE_EQ(
    sum->scoreTrajectory(trajectory({cell(10, 10), cell(11, 10), cell(12, 10)})), 100.0);
}

TEST_F(CriticTest, BaseObstacleRefusesObstaclesUnknownCellsAndLeavingTheMap)
{
  auto critic = make<dwb_critics::BaseObstacleCritic>("BaseObstacle");
  ASSERT_TRUE(critic->prepare(cell(5, 5), twist(0, 0, 0), cell(6, 5), path({cell(6, 5)})));
  const unsigned char refused[] = {LETHAL_OBSTACLE, INSCRIBED_INFLATED_OBSTACLE, NO_INFORMATION};
  unsigned int x = 20;
  for (unsigned char cost : refused) {
    costmap_->setCost(x, 20, cost);
    EXPECT_EQ(
      illegalReason(*critic, trajectory({cell(5, 5), cell(x, 20), cell(5, 6)})),
      "Trajectory Hits Obstacle.") << int{cost};
    ++x;
  }
  EXPECT_EQ(illegalReason(*critic, trajectory({cell(5, 5), cell(24, 20)})), "legal");
  costmap_->setCost(25, 20, nav2_costmap_2d::MAX_NON_OBSTACLE);
  EXPECT_EQ(illegalReason(*critic, trajectory({cell(25, 20)})), "legal");
  EXPECT_EQ(
    illegalReason(*critic, trajectory({cell(5, 5), pose(-0.01, 1.0)})),
    "Trajectory Goes Off Grid.");
  EXPECT_EQ(illegalReason(*critic, trajectory({pose(1.0, 5.01)})), "Trajectory Goes Off Grid.");

  std::vector<std::pair<std::string, std::vector<float>>> channels;
  critic->addCriticVisualization(channels);
  ASSERT_EQ(channels.size(), 1u);
  EXPECT_EQ(channels[0].first, "BaseObstacle");
  ASSERT_EQ(channels[0].second.size(), 2500u);
  EXPECT_FLOAT_EQ(channels[0].second[20 * 50 + 20], LETHAL_OBSTACLE);
  EXPECT_FLOAT_EQ(channels[0].second[20 * 50 + 19], 0.0f);
}

// --- ObstacleFootprint --------------------------------------------------------------------------

class FootprintTest : public CriticTest
{
protected:
  void SetUp() override
  {
    CriticTest::SetUp();
    // A 0.4 m square; padded by the costmap's default 0.01 m.
    geometry_msgs::msg::Point corner;
    std::vector<geometry_msgs::msg::Point> square;
    for (auto [x, y] : {std::pair{0.19, 0.19}, {-0.19, 0.19}, {-0.19, -0.19}, {0.19, -0.19}}) {
      corner.x = x;
      corner.y = y;
      square.push_back(corner);
    }
    costmap_ros_->setRobotFootprint(square);
    critic_ = make<dwb_critics::ObstacleFootprintCritic>("ObstacleFootprint");
    ASSERT_TRUE(critic_->prepare(cell(20, 20), twist(0, 0, 0), cell(30, 20), path({cell(30, 20)})));
  }

  std::shared_ptr<dwb_critics::ObstacleFootprintCritic> critic_;
};

TEST_F(FootprintTest, ScoresTheHighestCostAlongTheOutlineOnly)
{
  // Centred on cell (20, 20), the outline runs along cells 18 and 22.
  costmap_->setCost(22, 22, 90);
  costmap_->setCost(22, 21, 80);
  costmap_->setCost(18, 19, 30);
  costmap_->setCost(20, 20, LETHAL_OBSTACLE);   // inside, not on the outline
  costmap_->setCost(21, 21, INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(trajectory({cell(20, 20)})), 90.0);
  // The same cells a quarter turn on lie on the outline as well.
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(trajectory({cell(20, 20, M_PI_2)})), 90.0);
  // Turned 45 degrees the corner (22, 22) is outside; the edge from (23, 20) to (20, 23) still
  // crosses (22, 21).
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(trajectory({cell(20, 20, M_PI_4)})), 80.0);
  EXPECT_DOUBLE_EQ(critic_->getScale(), 0.1);
}

TEST_F(FootprintTest, ScoresTheCostmapAsItIsAtEachCall)
{
  // The same outline scored again, with no new cycle in between, after the costmap changed.
  const auto traj = trajectory({cell(20, 20), cell(20, 20)});
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(traj), 0.0);
  costmap_->setCost(22, 20, 120);
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(traj), 120.0);
  costmap_->setCost(22, 20, LETHAL_OBSTACLE);
  EXPECT_EQ(illegalReason(*critic_, traj), "Trajectory Hits Obstacle.");
}

TEST_F(FootprintTest, RefusesLethalAndUnknownOutlinesAndCentresOffTheMap)
{
  costmap_->setCost(22, 20, LETHAL_OBSTACLE);
  EXPECT_EQ(
    illegalReason(*critic_, trajectory({cell(10, 10), cell(20, 20)})), "Trajectory Hits Obstacle.");
  costmap_->setCost(22, 20, NO_INFORMATION);
  EXPECT_EQ(
    illegalReason(*critic_, trajectory({cell(20, 20)})), "Trajectory Hits Unknown Region.");
  EXPECT_EQ(illegalReason(*critic_, trajectory({pose(-0.05, 2.0)})), "Trajectory Goes Off Grid.");
  // The centre on the map, a side beyond its edge.
  EXPECT_EQ(illegalReason(*critic_, trajectory({cell(0, 10)})), "Footprint Goes Off Grid.");
  // Edge by edge: the front edge (row 3), checked first, hits an obstacle before the rear
  // corners, below the map, are looked at.
  EXPECT_EQ(illegalReason(*critic_, trajectory({cell(20, 1)})), "Footprint Goes Off Grid.");
  costmap_->setCost(20, 3, LETHAL_OBSTACLE);
  EXPECT_EQ(illegalReason(*critic_, trajectory({cell(20, 1)})), "Trajectory Hits Obstacle.");
}

TEST_F(FootprintTest, PrepareFailsWithoutAFootprint)
{
  costmap_ros_->setRobotFootprint({});
  EXPECT_FALSE(critic_->prepare(cell(20, 20), twist(0, 0, 0), cell(30, 20), path({cell(30, 20)})));
}

TEST(OrientedFootprint, TurnsThePointsByTheHeadingAndMovesThemToThePose)
{
  geometry_msgs::msg::Point ahead, left;
  ahead.x = 0.5;
  left.y = 0.25;
  const auto oriented = dwb_critics::getOrientedFootprint(pose(1.0, 2.0, M_PI_2), {ahead, left});
  ASSERT_EQ(oriented.size(), 2u);
  EXPECT_NEAR(oriented[0].x, 1.0, 1e-12);
  EXPECT_NEAR(oriented[0].y, 2.5, 1e-12);
  EXPECT_NEAR(oriented[1].x, 0.75, 1e-12);
  EXPECT_NEAR(oriented[1].y, 2.0, 1e-12);
}

// Records the lines and cells the critic asks for; a cell costs 1000 x + y, so that the score
// names the costliest cell.
class RecordingFootprintCritic : public dwb_critics::ObstacleFootprintCritic
{
public:
  std::vector<std::vector<int>> lines;
  std::vector<std::pair<int, int>> points;

protected:
  double lineCost(int x0, int x1, int y0, int y1) override
  {
    lines.push_back({x0, x1, y0, y1});
    return ObstacleFootprintCritic::lineCost(x0, x1, y0, y1);
  }
  double pointCost(int x, int y) override
  {
    points.emplace_back(x, y);
    return 1000.0 * x + y;
  }
};

TEST_F(CriticTest, FootprintLineAndPointCostsCanBeReplacedByASubclass)
{
  auto critic = make<RecordingFootprintCritic>("Recording");
  // A two-point outline from cell (10, 12) to cell (15, 13): its edge there and back.
  geometry_msgs::msg::Point from, to;
  from.x = 1.05;
  from.y = 1.25;
  to.x = 1.55;
  to.y = 1.35;
  EXPECT_DOUBLE_EQ(critic->scorePose(cell(12, 12), {from, to}), 15013.0);
  EXPECT_EQ(
    critic->lines, (std::vector<std::vector<int>>{{10, 15, 12, 13}, {15, 10, 13, 12}}));
  const std::vector<std::pair<int, int>> there =
  {{10, 12}, {11, 12}, {12, 12}, {13, 13}, {14, 13}, {15, 13}};
  const std::vector<std::pair<int, int>> back =
  {{15, 13}, {14, 13}, {13, 13}, {12, 12}, {11, 12}, {10, 12}};
  std::vector<std::pair<int, int>> both = there;
  both.insert(both.end(), back.begin(), back.end());
  EXPECT_EQ(critic->points, both);
}

// --- PathDist / GoalDist (MapGrid) --------------------------------------------------------------

// A plan along `row` from column `from` to column `to`, one pose per cell.
nav_2d_msgs::msg::Path2D rowPlan(unsigned int from = 5, unsigned int to = 45, unsigned int row = 20)
{
  nav_2d_msgs::msg::Path2D plan = path({});
  for (unsigned int x = from; x <= to; ++x) {
    plan.poses.push_back(cell(x, row));
  }
  return plan;
}

// Gives the tests the goal-distance critic's choice of local goal.
class GoalDistProbe : public dwb_critics::GoalDistCritic
{
public:
  using GoalDistCritic::getLastPoseOnCostmap;
};

TEST_F(CriticTest, PathDistSpreadsFromThePlanThroughObstacles)
{
  // A wall along row 24 from x = 0 to 29 and a closed box round (40, 40): the distances are
  // straight Manhattan distances to the plan all the same.
  for (unsigned int x = 0; x < 30; ++x) {
    costmap_->setCost(x, 24, LETHAL_OBSTACLE);
  }
  for (unsigned int i = 37; i <= 43; ++i) {
    for (unsigned int edge : {37u, 43u}) {
      costmap_->setCost(i, edge, LETHAL_OBSTACLE);
      costmap_->setCost(edge, i, NO_INFORMATION);
    }
  }
  auto critic = prepared<dwb_critics::PathDistCritic>("PathDist", rowPlan());
  EXPECT_EQ(node_->get_parameter("FollowPath.PathDist.aggregation_type").as_string(), "last");
  EXPECT_DOUBLE_EQ(critic->getScore(10, 20), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(45, 20), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(10, 24), 4.0);    // on the wall
  EXPECT_DOUBLE_EQ(critic->getScore(10, 26), 6.0);    // behind it
  EXPECT_DOUBLE_EQ(critic->getScore(40, 40), 20.0);   // inside the box
  EXPECT_DOUBLE_EQ(critic->getScore(2, 10), 13.0);    // round the plan's start
  EXPECT_DOUBLE_EQ(critic->getScore(49, 49), 33.0);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(10, 21), cell(10, 26)})), 6.0);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(43, 40), cell(40, 40)})), 20.0);
  EXPECT_DOUBLE_EQ(critic->getScale(), 0.05);

  std::vector<std::pair<std::string, std::vector<float>>> channels;
  critic->addCriticVisualization(channels);
  ASSERT_EQ(channels.size(), 1u);
  EXPECT_EQ(channels[0].first, "PathDist");
  ASSERT_EQ(channels[0].second.size(), 2500u);
  EXPECT_FLOAT_EQ(channels[0].second[26 * 50 + 10], 6.0f);
}

TEST_F(CriticTest, MapGridRefusesOnlyUnwrittenAndMarkedCellsAndLeavingTheMap)
{
  // The local goal in the corner: the spread stops 50 cells (the map's side) from it, so the far
  // half of the map gets no distance and stays unreachable.
  costmap_->setCost(5, 5, LETHAL_OBSTACLE);
  auto critic = prepared<dwb_critics::GoalDistCritic>("GoalDist", path({cell(1, 0), cell(0, 0)}));
  EXPECT_DOUBLE_EQ(critic->getScore(25, 25), 50.0);
  EXPECT_DOUBLE_EQ(critic->getScore(26, 25), 2501.0);
  EXPECT_DOUBLE_EQ(critic->getScore(49, 49), 2501.0);
  EXPECT_EQ(
    illegalReason(*critic, trajectory({cell(10, 10), cell(26, 25), cell(10, 10)})),
    "Trajectory Hits Unreachable Area.");
  EXPECT_EQ(
    illegalReason(*critic, trajectory({cell(10, 21), pose(2.0, -0.2)})),
    "Trajectory Goes Off Grid.");

  // A lethal cell is only a distance, until the cell is marked as an obstacle; the next cycle
  // fills the grid afresh.
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(5, 5)})), 10.0);
  critic->setAsObstacle(costmap_->getIndex(5, 5));
  EXPECT_DOUBLE_EQ(critic->getScore(5, 5), 2500.0);
  EXPECT_EQ(illegalReason(*critic, trajectory({cell(5, 5)})), "Trajectory Hits Obstacle.");
  ASSERT_TRUE(critic->prepare(cell(5, 5), twist(0, 0, 0), cell(0, 0), path({cell(0, 0)})));
  EXPECT_EQ(illegalReason(*critic, trajectory({cell(5, 5)})), "legal");

  // A plan off the map seeds nothing: every cell is unreachable.
  auto away = make<dwb_critics::PathDistCritic>("Away");
  const auto off_map = path({pose(-1.0, 1.0), pose(-2.0, 1.0)});
  EXPECT_FALSE(away->prepare(cell(5, 5), twist(0, 0, 0), off_map.poses.back(), off_map));
  EXPECT_EQ(
    illegalReason(*away, trajectory({cell(5, 5)})), "Trajectory Hits Unreachable Area.");
}

TEST_F(CriticTest, MapGridAggregatesLastSumOrProduct)
{
  const auto traj = trajectory({cell(10, 22), cell(10, 23), cell(10, 24)});   // 2, 3, 4
  const std::vector<std::pair<std::string, double>> expected = {
    {"last", 4.0}, {"sum", 9.0}, {"Product", 24.0}, {"median", 4.0}};
  for (const auto & [type, score] : expected) {
    const std::string name = "PathDist_" + type;
    auto critic = prepared<dwb_critics::PathDistCritic>(
      name, rowPlan(), {rclcpp::Parameter("FollowPath." + name + ".aggregation_type", type)});
    EXPECT_DOUBLE_EQ(critic->scoreTrajectory(traj), score) << type;
  }
  // A product that meets the plan stays zero; a product of no poses is 1.
  auto product = prepared<dwb_critics::PathDistCritic>(
    "Product", rowPlan(), {rclcpp::Parameter("FollowPath.Product.aggregation_type", "product")});
  EXPECT_DOUBLE_EQ(
    product->scoreTrajectory(trajectory({cell(10, 20), cell(10, 23)})), 0.0);
  EXPECT_DOUBLE_EQ(product->scoreTrajectory(trajectory({})), 1.0);
  auto last = prepared<dwb_critics::PathDistCritic>("Last", rowPlan());
  EXPECT_DOUBLE_EQ(last->scoreTrajectory(trajectory({})), 0.0);
}

TEST_F(CriticTest, MapGridIsRefilledEveryCycleOverTheCostmapAsItIsThen)
{
  auto critic = prepared<dwb_critics::PathDistCritic>("PathDist", rowPlan());
  EXPECT_DOUBLE_EQ(critic->getScore(20, 5), 15.0);
  ASSERT_TRUE(critic->prepare(cell(5, 5), twist(0, 0, 0), cell(40, 5), rowPlan(5, 40, 5)));
  EXPECT_DOUBLE_EQ(critic->getScore(20, 5), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(20, 20), 15.0);

  // A larger costmap: the grid, its limit and its special scores follow its size.
  costmap_->resizeMap(80, 30, 0.1, 0.0, 0.0);
  ASSERT_TRUE(critic->prepare(cell(5, 5), twist(0, 0, 0), cell(70, 5), rowPlan(5, 70, 5)));
  EXPECT_DOUBLE_EQ(critic->getScore(79, 29), 33.0);
  std::vector<std::pair<std::string, std::vector<float>>> channels;
  critic->addCriticVisualization(channels);
  ASSERT_EQ(channels.size(), 1u);
  EXPECT_EQ(channels[0].second.size(), 2400u);
  critic->setAsObstacle(costmap_->getIndex(79, 29));
  EXPECT_DOUBLE_EQ(critic->getScore(79, 29), 2400.0);
  EXPECT_EQ(illegalReason(*critic, trajectory({cell(79, 29)})), "Trajectory Hits Obstacle.");
}

TEST_F(CriticTest, PathDistSeedsThePlanUntilItLeavesTheKnownMap)
{
  costmap_->setCost(20, 20, LETHAL_OBSTACLE);
  // In along row 20, out of the map below, back in along row 40: that last stretch is ignored.
  auto plan = rowPlan(5, 30, 20);
  plan.poses.push_back(pose(3.05, -1.0));
  plan.poses.push_back(pose(-1.0, -1.0));
  const auto back_in = rowPlan(5, 30, 40);
  plan.poses.insert(plan.poses.end(), back_in.poses.begin(), back_in.poses.end());
  auto critic = prepared<dwb_critics::PathDistCritic>("PathDist", plan);
  EXPECT_DOUBLE_EQ(critic->getScore(25, 20), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(20, 20), 0.0);    // an obstacle on the plan is a seed too
  EXPECT_DOUBLE_EQ(critic->getScore(20, 40), 20.0);
  EXPECT_DOUBLE_EQ(critic->getScore(5, 40), 20.0);

  // An unknown cell on the plan ends it just the same.
  costmap_->setCost(20, 30, NO_INFORMATION);
  ASSERT_TRUE(critic->prepare(cell(5, 30), twist(0, 0, 0), cell(40, 30), rowPlan(5, 40, 30)));
  EXPECT_DOUBLE_EQ(critic->getScore(19, 30), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(20, 30), 1.0);
  EXPECT_DOUBLE_EQ(critic->getScore(30, 30), 11.0);
}

TEST_F(CriticTest, MapGridCriticsSeedThePlanAtTheCostmapsResolution)
{
  // Two poses 4 m apart: the plan is densified before it is seeded, exactly as
  // nav_2d_utils::adjustPlanResolution does it.
  const auto plan = path({cell(5, 10), cell(45, 10)});
  auto critic = prepared<dwb_critics::PathDistCritic>("PathDist", plan);
  std::set<unsigned int> seeds;
  for (const auto & plan_pose : nav_2d_utils::adjustPlanResolution(plan, 0.1).poses) {
    unsigned int x, y;
    ASSERT_TRUE(costmap_->worldToMap(plan_pose.x, plan_pose.y, x, y));
    seeds.insert(costmap_->getIndex(x, y));
  }
  EXPECT_GT(seeds.size(), 30u);
  std::vector<std::pair<std::string, std::vector<float>>> channels;
  critic->addCriticVisualization(channels);
  ASSERT_EQ(channels.size(), 1u);
  for (unsigned int index = 0; index < 2500; ++index) {
    EXPECT_EQ(channels[0].second[index] == 0.0f, seeds.count(index) == 1) << index;
  }

  // The local goal is the last densified point on the map: near the right edge, not the first
  // pose, which is the last of the plan's own poses on the map.
  auto goal_dist = make<GoalDistProbe>("GoalDist");
  unsigned int x = 0, y = 0;
  ASSERT_TRUE(goal_dist->getLastPoseOnCostmap(path({cell(10, 20), pose(7.05, 2.05)}), x, y));
  EXPECT_GE(x, 47u);
  EXPECT_EQ(y, 20u);
}

TEST_F(CriticTest, GoalDistMeasuresFromTheLastPlanPointOnTheMap)
{
  auto critic = make<GoalDistProbe>("GoalDist");
  unsigned int x = 0, y = 0;
  ASSERT_TRUE(critic->getLastPoseOnCostmap(rowPlan(10, 40, 20), x, y));
  EXPECT_EQ(x, 40u);
  EXPECT_EQ(y, 20u);
  // Entering from off the map counts from the first point on it; leaving ends the plan, even
  // where it comes back.
  auto plan = path({pose(-0.35, 2.05), pose(-0.25, 2.05), pose(-0.15, 2.05)});
  const auto on_map = rowPlan(0, 49, 20);
  plan.poses.insert(plan.poses.end(), on_map.poses.begin(), on_map.poses.end());
  plan.poses.push_back(pose(5.05, 2.05));
  plan.poses.push_back(pose(5.15, 2.05));
  plan.poses.push_back(cell(40, 20));
  ASSERT_TRUE(critic->getLastPoseOnCostmap(plan, x, y));
  EXPECT_EQ(x, 49u);
  EXPECT_EQ(y, 20u);
  // An unknown cell ends it too.
  costmap_->setCost(30, 20, NO_INFORMATION);
  ASSERT_TRUE(critic->getLastPoseOnCostmap(rowPlan(10, 40, 20), x, y));
  EXPECT_EQ(x, 29u);
  EXPECT_FALSE(critic->getLastPoseOnCostmap(path({pose(6.0, 1.0), pose(7.0, 1.0)}), x, y));

  costmap_->setCost(30, 20, 0);
  ASSERT_TRUE(critic->prepare(cell(10, 20), twist(0, 0, 0), cell(40, 20), rowPlan(10, 40, 20)));
  EXPECT_DOUBLE_EQ(critic->getScore(40, 20), 0.0);
  EXPECT_DOUBLE_EQ(critic->getScore(10, 20), 30.0);
  EXPECT_DOUBLE_EQ(critic->getScore(45, 25), 10.0);
  EXPECT_DOUBLE_EQ(
    critic->scoreTrajectory(trajectory({cell(10, 20), cell(38, 21)}, twist(0.3, 0, 0))), 3.0);
  auto off_map = path({pose(6.0, 1.0), pose(7.0, 1.0)});
  EXPECT_FALSE(critic->prepare(cell(5, 5), twist(0, 0, 0), off_map.poses.back(), off_map));
}

// --- PathAlign / GoalAlign ----------------------------------------------------------------------

TEST_F(CriticTest, PathAlignScoresThePointAheadWithoutRefusingIt)
{
  auto critic = prepared<dwb_critics::PathAlignCritic>("PathAlign", rowPlan());
  EXPECT_DOUBLE_EQ(parameter("FollowPath.PathAlign.forward_point_distance"), 0.325);
  EXPECT_DOUBLE_EQ(critic->getScale(), 0.05);
  // On the plan facing along it scores 0; facing across, the nose is 3 cells off.
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(10, 20)})), 0.0);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(10, 20, M_PI_2)})), 3.0);
  // Only the last pose is looked at: poses before it may even lie off the map.
  EXPECT_DOUBLE_EQ(
    critic->scoreTrajectory(trajectory({pose(-1.0, -1.0), cell(10, 20, M_PI_2)})), 3.0);
  // Nor is anything refused: a nose off the map aside, every cell has a distance.
  costmap_->setCost(10, 23, LETHAL_OBSTACLE);
  ASSERT_TRUE(critic->prepare(cell(5, 20), twist(0, 0, 0), cell(45, 20), rowPlan()));
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(10, 20, M_PI_2)})), 3.0);
  critic->setAsObstacle(costmap_->getIndex(10, 23));
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(10, 20, M_PI_2)})), 2500.0);
}

TEST_F(CriticTest, AlignCriticsKeepScoringRightUpToTheGoal)
{
  // One cell short of the goal, well within forward_point_distance of it.
  const auto plan = rowPlan();
  auto path_align = make<dwb_critics::PathAlignCritic>("PathAlign");
  auto goal_align = make<dwb_critics::GoalAlignCritic>("GoalAlign");
  ASSERT_TRUE(path_align->prepare(cell(44, 20), twist(0, 0, 0), plan.poses.back(), plan));
  ASSERT_TRUE(goal_align->prepare(cell(44, 20), twist(0, 0, 0), plan.poses.back(), plan));
  EXPECT_DOUBLE_EQ(path_align->getScale(), 0.05);
  EXPECT_DOUBLE_EQ(goal_align->getScale(), 0.05);
  EXPECT_DOUBLE_EQ(path_align->scoreTrajectory(trajectory({cell(44, 20, M_PI_2)})), 3.0);
  // GoalAlign's target lies 0.325 m beyond the goal, on (48, 20): a nose 0.325 m ahead of
  // (44, 20) is on (47, 20) facing the goal and on (44, 23) facing left.
  EXPECT_DOUBLE_EQ(goal_align->scoreTrajectory(trajectory({cell(44, 20)})), 1.0);
  EXPECT_DOUBLE_EQ(goal_align->scoreTrajectory(trajectory({cell(44, 20, M_PI_2)})), 7.0);
}

TEST_F(CriticTest, GoalAlignDrawsTheNoseOfARobotFacingTheGoalToIt)
{
  // The robot comes from below-left of the goal (40, 20); the target lies beyond, away from it.
  auto plan = path({cell(20, 10), cell(40, 20)});
  auto critic = prepared<dwb_critics::GoalAlignCritic>("GoalAlign", plan, {}, cell(20, 10));
  EXPECT_DOUBLE_EQ(parameter("FollowPath.GoalAlign.forward_point_distance"), 0.325);
  const double heading = std::atan2(1.0, 2.0);
  // The target is cell (43, 21); the nose 0.325 m ahead of the goal cell's centre lands on it
  // when facing on, on (39, 23) when turned a quarter left and on (37, 19) when facing back.
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(40, 20, heading)})), 0.0);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(40, 20, heading + M_PI_2)})), 6.0);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({cell(40, 20, heading + M_PI)})), 8.0);
}

// --- RotateToGoal -------------------------------------------------------------------------------

class RotateToGoalTest : public CriticTest
{
protected:
  void SetUp() override
  {
    CriticTest::SetUp();
    critic_ = make<dwb_critics::RotateToGoalCritic>("RotateToGoal");
  }

  bool prepareAt(double x, double speed)
  {
    return critic_->prepare(pose(x, 2.0), twist(speed, 0, 0), goal_, path({goal_}));
  }

  const geometry_msgs::msg::Pose2D goal_ = pose(3.0, 2.0, M_PI_2);
  std::shared_ptr<dwb_critics::RotateToGoalCritic> critic_;
};

TEST_F(RotateToGoalTest, ReadsThePlannersToleranceAndItsOwnFactors)
{
  EXPECT_DOUBLE_EQ(parameter("FollowPath.xy_goal_tolerance"), 0.25);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.trans_stopped_velocity"), 0.25);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.RotateToGoal.slowing_factor"), 5.0);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.RotateToGoal.lookahead_time"), -1.0);
  EXPECT_FALSE(node_->has_parameter("FollowPath.RotateToGoal.xy_goal_tolerance"));
}

TEST_F(RotateToGoalTest, SlowsDownInTheWindowThenOnlyRotates)
{
  const auto fast = trajectory({pose(2.8, 2.0, 0.0), pose(2.9, 2.0, 0.5)}, twist(0.4, 0, 0.5));
  ASSERT_TRUE(prepareAt(2.0, 0.5));
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(fast), 0.0);   // outside the window

  ASSERT_TRUE(prepareAt(2.8, 0.4));
  EXPECT_EQ(illegalReason(*critic_, fast), "Not slowing down near goal.");
  const auto slower = trajectory({pose(2.8, 2.0, 0.0), pose(2.85, 2.0, 0.5)}, twist(0.3, 0, 0.5));
  EXPECT_NEAR(critic_->scoreTrajectory(slower), 0.09 * 5.0 + (M_PI_2 - 0.5), 1e-9);

  // Leaving the window again does not end it.
  ASSERT_TRUE(prepareAt(2.5, 0.4));
  EXPECT_EQ(illegalReason(*critic_, fast), "Not slowing down near goal.");

  // Slow enough: from now on only turning in place is allowed.
  ASSERT_TRUE(prepareAt(2.9, 0.2));
  EXPECT_EQ(illegalReason(*critic_, slower), "Nonrotation command near goal.");
  EXPECT_EQ(
    illegalReason(*critic_, trajectory({pose(2.9, 2.0)}, twist(0, 0.01, 0))),
    "Nonrotation command near goal.");
  const auto spin = trajectory({pose(2.9, 2.0, 0.0), pose(2.9, 2.0, 2.0)}, twist(0, 0, 1.0));
  EXPECT_NEAR(critic_->scoreTrajectory(spin), 2.0 - M_PI_2, 1e-9);
  // Across the wrap: the shortest way round.
  const auto wrapped = trajectory({pose(2.9, 2.0, -3.0)}, twist(0, 0, -1.0));
  EXPECT_NEAR(critic_->scoreTrajectory(wrapped), 2.0 * M_PI - 3.0 - M_PI_2, 1e-9);
  ASSERT_TRUE(prepareAt(2.0, 0.5));
  EXPECT_EQ(illegalReason(*critic_, slower), "Nonrotation command near goal.");

  critic_->reset();
  ASSERT_TRUE(prepareAt(2.0, 0.5));
  EXPECT_DOUBLE_EQ(critic_->scoreTrajectory(slower), 0.0);
}

TEST_F(RotateToGoalTest, LookaheadJudgesTheHeadingPartWay)
{
  auto critic = make<dwb_critics::RotateToGoalCritic>(
    "Ahead", {rclcpp::Parameter("FollowPath.Ahead.lookahead_time", 0.15)});
  ASSERT_TRUE(critic->prepare(pose(2.95, 2.0), twist(0, 0, 0), goal_, path({goal_})));
  ASSERT_TRUE(prepareAt(2.95, 0.0));
  // Headings 0, 0.4, 0.8 at 0, 0.1, 0.2 s: 0.6 at 0.15 s.
  const auto spin = trajectory(
    {pose(2.95, 2.0, 0.0), pose(2.95, 2.0, 0.4), pose(2.95, 2.0, 0.8)}, twist(0, 0, 4.0));
  EXPECT_NEAR(critic->scoreTrajectory(spin), M_PI_2 - 0.6, 1e-9);
  EXPECT_NEAR(critic_->scoreRotation(spin), M_PI_2 - 0.8, 1e-9);
  EXPECT_EQ(
    illegalReason(*critic, trajectory({}, twist(0, 0, 1.0))), "Empty trajectory.");
}

// --- Oscillation --------------------------------------------------------------------------------

class OscillationTest : public CriticTest
{
protected:
  // One planning cycle at `robot` that chose `command`.
  void cycle(
    dwb_critics::OscillationCritic & critic, const geometry_msgs::msg::Pose2D & robot,
    const nav_2d_msgs::msg::Twist2D & command)
  {
    ASSERT_TRUE(critic.prepare(robot, command, pose(4, 4), path({pose(4, 4)})));
    critic.debrief(command);
  }

  std::string judge(
    dwb_critics::OscillationCritic & critic, const nav_2d_msgs::msg::Twist2D & command)
  {
    return illegalReason(critic, trajectory({pose(1, 1)}, command));
  }
};

TEST_F(OscillationTest, RefusesASecondReversalUntilTheRobotHasMoved)
{
  auto critic = make<dwb_critics::OscillationCritic>("Oscillation");
  EXPECT_DOUBLE_EQ(parameter("FollowPath.Oscillation.oscillation_reset_dist"), 0.05);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.Oscillation.oscillation_reset_angle"), 0.2);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.Oscillation.oscillation_reset_time"), -1.0);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.Oscillation.x_only_threshold"), 0.05);

  cycle(*critic, pose(1.0, 1.0), twist(0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(-0.2, 0, 0)), "legal");   // one reversal is fine
  cycle(*critic, pose(1.0, 1.0), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "Trajectory is oscillating.");
  EXPECT_EQ(judge(*critic, twist(-0.1, 0, 0)), "legal");
  EXPECT_EQ(judge(*critic, twist(0.0, 0, 0)), "legal");
  // Small moves keep the memory; more than the reset distance from the reversal clears it.
  cycle(*critic, pose(0.97, 1.0), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "Trajectory is oscillating.");
  cycle(*critic, pose(0.94, 1.0), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "legal");

  // The same for sideways moves, undone by turning far enough, and by reset().
  cycle(*critic, pose(1.0, 1.0, 0.0), twist(0, 0.2, 0));
  cycle(*critic, pose(1.0, 1.0, 0.0), twist(0, -0.2, 0));
  EXPECT_EQ(judge(*critic, twist(0, 0.1, 0)), "Trajectory is oscillating.");
  cycle(*critic, pose(1.0, 1.0, 0.15), twist(0, -0.2, 0));
  EXPECT_EQ(judge(*critic, twist(0, 0.1, 0)), "Trajectory is oscillating.");
  cycle(*critic, pose(1.0, 1.0, 0.25), twist(0, -0.2, 0));
  EXPECT_EQ(judge(*critic, twist(0, 0.1, 0)), "legal");
  cycle(*critic, pose(1.0, 1.0, 0.25), twist(0, 0.2, 0));
  cycle(*critic, pose(1.0, 1.0, 0.25), twist(0, -0.2, 0));
  critic->reset();
  EXPECT_EQ(judge(*critic, twist(0, 0.1, 0)), "legal");
}

TEST_F(OscillationTest, WatchesTurningOnlyWhileBarelyDrivingForward)
{
  auto critic = make<dwb_critics::OscillationCritic>("Oscillation");
  cycle(*critic, pose(1.0, 1.0), twist(0.3, 0, 0.5));
  cycle(*critic, pose(1.0, 1.0), twist(0.3, 0, -0.5));
  EXPECT_EQ(judge(*critic, twist(0.3, 0, 0.5)), "legal");
  cycle(*critic, pose(1.0, 1.0), twist(0.0, 0, 0.5));
  cycle(*critic, pose(1.0, 1.0), twist(0.04, 0, -0.5));
  EXPECT_EQ(judge(*critic, twist(0.0, 0, 0.5)), "Trajectory is oscillating.");
  // The memory is about the robot's commands, not the one judged: a fast trajectory is refused too.
  EXPECT_EQ(judge(*critic, twist(0.3, 0, 0.5)), "Trajectory is oscillating.");
}

TEST_F(OscillationTest, AResetTimeClearsTheMemoryWithoutMoving)
{
  auto critic = make<dwb_critics::OscillationCritic>(
    "Oscillation", {rclcpp::Parameter("FollowPath.Oscillation.oscillation_reset_time", 0.3),
      rclcpp::Parameter("FollowPath.Oscillation.oscillation_reset_dist", -1.0),
      rclcpp::Parameter("FollowPath.Oscillation.oscillation_reset_angle", -1.0)});
  cycle(*critic, pose(1.0, 1.0), twist(0.2, 0, 0));
  cycle(*critic, pose(1.0, 1.0), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "Trajectory is oscillating.");
  const auto reversed = node_->get_clock()->now();
  while (node_->get_clock()->now() - reversed <= rclcpp::Duration::from_seconds(0.3)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  cycle(*critic, pose(1.0, 1.0), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "legal");
}

TEST_F(OscillationTest, TurningAcrossTheWrapCountsTheShortWayRound)
{
  auto critic = make<dwb_critics::OscillationCritic>("Oscillation");
  cycle(*critic, pose(1.0, 1.0, 3.1), twist(0.2, 0, 0));
  cycle(*critic, pose(1.0, 1.0, 3.1), twist(-0.2, 0, 0));
  // From 3.1 to -3.1 is a turn of 0.08 rad, below the reset angle.
  cycle(*critic, pose(1.0, 1.0, -3.1), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "Trajectory is oscillating.");
  // To -2.9 it is 0.28 rad.
  cycle(*critic, pose(1.0, 1.0, -2.9), twist(-0.2, 0, 0));
  EXPECT_EQ(judge(*critic, twist(0.2, 0, 0)), "legal");
}

// --- PreferForward and Twirling -----------------------------------------------------------------

TEST_F(CriticTest, PreferForwardPenalisesBackingAndCreeping)
{
  auto critic = make<dwb_critics::PreferForwardCritic>("PreferForward");
  EXPECT_DOUBLE_EQ(parameter("FollowPath.PreferForward.penalty"), 1.0);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.PreferForward.strafe_x"), 0.1);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.PreferForward.strafe_theta"), 0.2);
  EXPECT_DOUBLE_EQ(parameter("FollowPath.PreferForward.theta_scale"), 10.0);
  auto score = [&](double x, double theta) {
      return critic->scoreTrajectory(trajectory({pose(1, 1)}, twist(x, 0.0, theta)));
    };
  EXPECT_DOUBLE_EQ(score(-0.1, 0.5), 1.0);
  EXPECT_DOUBLE_EQ(score(0.05, 0.1), 1.0);
  EXPECT_DOUBLE_EQ(score(0.05, -0.3), 3.0);
  EXPECT_DOUBLE_EQ(score(0.3, 0.1), 1.0);
  EXPECT_DOUBLE_EQ(score(0.3, -0.05), 0.5);

  auto strict = make<dwb_critics::PreferForwardCritic>(
    "Strict", {rclcpp::Parameter("FollowPath.Strict.penalty", 7.0)});
  EXPECT_DOUBLE_EQ(strict->scoreTrajectory(trajectory({}, twist(-0.1, 0, 0))), 7.0);
}

TEST_F(CriticTest, TwirlingScoresTheTurnRate)
{
  auto critic = make<dwb_critics::TwirlingCritic>("Twirling");
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({}, twist(0.3, 0, -0.7))), 0.7);
  EXPECT_DOUBLE_EQ(critic->scoreTrajectory(trajectory({}, twist(0.3, 0.1, 0))), 0.0);
}

// --- Loading by class name ----------------------------------------------------------------------

TEST_F(CriticTest, EveryCriticLoadsByClassName)
{
  pluginlib::ClassLoader<dwb_core::TrajectoryCritic> loader("dwb_core", "dwb_core::TrajectoryCritic");
  const std::vector<std::string> names = {
    "dwb_critics::BaseObstacleCritic", "dwb_critics::ObstacleFootprintCritic",
    "dwb_critics::GoalAlignCritic", "dwb_critics::PathAlignCritic",
    "dwb_critics::PathDistCritic", "dwb_critics::GoalDistCritic",
    "dwb_critics::RotateToGoalCritic", "dwb_critics::OscillationCritic",
    "dwb_critics::PreferForwardCritic", "dwb_critics::TwirlingCritic"};
  for (const auto & name : names) {
    std::shared_ptr<dwb_core::TrajectoryCritic> critic = loader.createSharedInstance(name);
    ASSERT_NE(critic, nullptr) << name;
    const std::string short_name = name.substr(name.find("::") + 2);
    critic->initialize(node_, short_name, "FollowPath", costmap_ros_);
    EXPECT_GT(critic->getScale(), 0.0) << name;
  }
  EXPECT_NE(
    std::dynamic_pointer_cast<dwb_critics::PathDistCritic>(
      loader.createSharedInstance("dwb_critics::PathAlignCritic")), nullptr);
  EXPECT_NE(
    std::dynamic_pointer_cast<dwb_critics::BaseObstacleCritic>(
      loader.createSharedInstance("dwb_critics::ObstacleFootprintCritic")), nullptr);
}

}  // namespace
