// The DWB controller's planner with a scripted generator and critic: the goal test against the
// plan still ahead, the choice of the cheapest trajectory (ties, illegal ones, the evaluation
// record), the trajectory kept for the controller, the diagnostics of a search without a legal
// trajectory, the command's shape, the speed-limited plan hand-over and what is published.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "controller/dwb_local_planner.hpp"
#include "controller_base_fixture.hpp"
#include "dwb_core/illegal_trajectory_tracker.hpp"
#include "nav_msgs/msg/path.hpp"
#include "scripted_dwb/script.hpp"
#include "velmora/testing/log_capture.hpp"

namespace
{

using geometry_msgs::msg::PoseStamped;
using scripted_dwb::Sample;
using scripted_dwb::script;
using scripted_dwb::straight;

constexpr double kEps = 1e-9;

PoseStamped pose(double x, double y)
{
  PoseStamped result;
  result.header.frame_id = "map";
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.w = 1.0;
  return result;
}

nav_msgs::msg::Path path(const std::vector<std::pair<double, double>> & points)
{
  nav_msgs::msg::Path result;
  result.header.frame_id = "map";
  for (const auto & [x, y] : points) {
    result.poses.push_back(pose(x, y));
  }
  return result;
}

Sample sample(double vx, double score, int steps = 4)
{
  Sample result;
  result.vx = vx;
  result.score = score;
  result.offsets = straight(vx * 0.5, steps, 0.0);
  return result;
}

// Opens the scoring search to the test, as the controller's cycle runs it.
class PlannerProbe : public controller::LocalPlanner
{
public:
  using LocalPlanner::coreScoringAlgorithm;
};

class LocalPlannerTest : public controller_base_test::ControllerBaseTest
{
protected:
  void SetUp() override
  {
    ControllerBaseTest::SetUp();
    script().reset();
    placeRobot(1.0, 2.0, 0.0);
  }

  std::shared_ptr<PlannerProbe> makePlanner(bool debug_details = false)
  {
    node()->declare_parameter(
      "DwbPlanning.trajectory_generator_name",
      rclcpp::ParameterValue(std::string("scripted_dwb::ScriptedGenerator")));
    node()->declare_parameter(
      "DwbPlanning.critics", rclcpp::ParameterValue(std::vector<std::string>{"Scripted"}));
    node()->declare_parameter(
      "DwbPlanning.Scripted.class",
      rclcpp::ParameterValue(std::string("scripted_dwb::ScriptedCritic")));
    node()->declare_parameter(
      "DwbPlanning.debug_trajectory_details", rclcpp::ParameterValue(debug_details));
    auto planner = std::make_shared<PlannerProbe>();
    const auto costmap = grid_map_->getCostmapROS();
    planner->configure(node(), "DwbPlanning", costmap->getTfBuffer(), costmap);
    planner->activate();
    return planner;
  }

  geometry_msgs::msg::TwistStamped plan(controller::LocalPlanner & planner)
  {
    return planner.computeVelocityCommands(pose(1.0, 2.0), geometry_msgs::msg::Twist(), nullptr);
  }
};

TEST_F(LocalPlannerTest, ReachesTheGoalOnlyWhenThePlanAheadIsShortAndItsEndIsNear)
{
  auto planner = makePlanner();
  PoseStamped robot = pose(1.0, 2.0);

  planner->setPlan(path({{1.2, 2.0}}));  // one pose: only the distance counts
  EXPECT_TRUE(planner->isGoalReached(robot, 0.3));
  EXPECT_FALSE(planner->isGoalReached(robot, 0.1));

  planner->setPlan(path({{1.0, 2.0}, {1.0, 2.25}, {1.0, 2.1}}));  // 0.25 + 0.15 = 0.4 left
  EXPECT_FALSE(planner->isGoalReached(robot, 0.3));  // the end is 0.1 away, but not yet reached

  planner->setPlan(path({{1.45, 2.0}, {1.25, 2.0}}));  // 0.2 long, end 0.25 away
  EXPECT_TRUE(planner->isGoalReached(robot, 0.3));
  EXPECT_DOUBLE_EQ(robot.pose.position.x, 1.0);
}

TEST_F(LocalPlannerTest, MeasuresThePlanAheadFromThePoseNearestTheRobot)
{
  auto planner = makePlanner();
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i <= 15; ++i) {
    points.emplace_back(1.0 + 0.1 * i, 2.0);
  }
  planner->setPlan(path(points));  // 1.5 m, of which pruning would keep up to 2 m behind
  PoseStamped near_end = pose(2.4, 2.0);
  EXPECT_TRUE(planner->isGoalReached(near_end, 0.3));
  PoseStamped short_of_it = pose(2.0, 2.0);
  EXPECT_FALSE(planner->isGoalReached(short_of_it, 0.3));

  // Round a corner, with more plan behind the robot's place than pruning's window.
  std::vector<std::pair<double, double>> corner;
  for (int i = 0; i <= 25; ++i) {
    corner.emplace_back(1.0 + 0.1 * i, 2.0);
  }
  for (int i = 1; i <= 18; ++i) {
    corner.emplace_back(3.5, 2.0 + 0.1 * i);
  }
  planner->setPlan(path(corner));
  PoseStamped round_the_corner = pose(3.5, 3.76);
  EXPECT_TRUE(planner->isGoalReached(round_the_corner, 0.1));
  PoseStamped before_the_corner = pose(3.3, 2.0);
  EXPECT_FALSE(planner->isGoalReached(before_the_corner, 0.3));

  // A round trip ends where it starts: at its start it is not done.
  std::vector<std::pair<double, double>> round_trip;
  for (int i = 0; i <= 30; ++i) {
    round_trip.emplace_back(1.0 + 0.1 * (i <= 15 ? i : 30 - i), i <= 15 ? 2.0 : 2.2);
  }
  round_trip.back() = {1.0, 2.0};
  planner->setPlan(path(round_trip));
  PoseStamped at_start = pose(1.0, 2.0);
  EXPECT_FALSE(planner->isGoalReached(at_start, 0.3));
  PoseStamped nearer_the_end = pose(1.0, 2.05);
  EXPECT_FALSE(planner->isGoalReached(nearer_the_end, 0.3));
}

TEST_F(LocalPlannerTest, ChoosesTheCheapestTrajectoryAndTheFirstOfEquals)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.1, 3.0), sample(0.2, 1.0), sample(0.3, 1.0), sample(0.4, 5.0)};

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  geometry_msgs::msg::Pose2D start;
  start.x = 1.0;
  start.y = 2.0;
  const auto best = planner->coreScoringAlgorithm(start, nav_2d_msgs::msg::Twist2D(), results);
  EXPECT_DOUBLE_EQ(best.traj.velocity.x, 0.2);
  ASSERT_EQ(results->twists.size(), 4U);
  EXPECT_EQ(results->best_index, 1U);
  EXPECT_EQ(results->worst_index, 3U);
}

TEST_F(LocalPlannerTest, RecordsIllegalTrajectoriesInTheEvaluation)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.1, 2.0), sample(0.2, -1.0), sample(0.3, 1.0)};

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  geometry_msgs::msg::Pose2D start;
  const auto best = planner->coreScoringAlgorithm(start, nav_2d_msgs::msg::Twist2D(), results);
  EXPECT_DOUBLE_EQ(best.traj.velocity.x, 0.3);
  ASSERT_EQ(results->twists.size(), 3U);
  const auto & refused = results->twists[1];
  EXPECT_FLOAT_EQ(refused.total, -1.0F);
  ASSERT_EQ(refused.scores.size(), 1U);
  EXPECT_EQ(refused.scores[0].name, "Scripted");
  EXPECT_FLOAT_EQ(refused.scores[0].raw_score, -1.0F);
  EXPECT_DOUBLE_EQ(refused.traj.velocity.x, 0.2);
  EXPECT_EQ(results->best_index, 2U);
}

TEST_F(LocalPlannerTest, KeepsTheLastChosenTrajectoryUntilTheNextSuccess)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.2, 1.0, 3)};
  plan(*planner);
  ASSERT_EQ(planner->lastTrajectoryPoses().size(), 4U);
  EXPECT_NEAR(planner->lastTrajectoryPoses().back().x, 1.3, kEps);

  script().samples = {sample(0.2, -1.0)};
  EXPECT_THROW(plan(*planner), dwb_core::NoLegalTrajectoriesException);
  EXPECT_EQ(planner->lastTrajectoryPoses().size(), 4U);

  planner->setPlan(path({{1.0, 2.0}, {1.5, 2.0}}));  // a new goal keeps it too
  EXPECT_EQ(planner->lastTrajectoryPoses().size(), 4U);

  script().samples = {sample(0.4, 1.0, 6)};
  plan(*planner);
  ASSERT_EQ(planner->lastTrajectoryPoses().size(), 7U);
  EXPECT_NEAR(planner->lastTrajectoryPoses().back().x, 2.2, kEps);
}

TEST_F(LocalPlannerTest, LogsWhyNoTrajectoryWasLegalOnlyWithDebugDetails)
{
  auto quiet = makePlanner(false);
  quiet->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.1, -1.0), sample(0.2, -1.0)};
  {
    velmora::testing::LogCapture log;
    try {
      plan(*quiet);
      FAIL() << "no legal trajectory must throw";
    } catch (const dwb_core::NoLegalTrajectoriesException & failure) {
      EXPECT_EQ(std::string(failure.what()), failure.tracker_.getMessage());
    }
    EXPECT_TRUE(log.statements().empty());
  }

  node_.reset();
  auto verbose = makePlanner(true);
  verbose->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  velmora::testing::LogCapture log;
  EXPECT_THROW(plan(*verbose), dwb_core::NoLegalTrajectoriesException);
  const auto lines = log.statements();
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_NE(lines[0].text.find("DWBLocalPlanner No valid trajectories out of 2"), std::string::npos);
  EXPECT_NE(lines[0].text.find("error code is 101100001"), std::string::npos);
  EXPECT_NE(lines[1].text.find("1: Scripted/Scripted refusal."), std::string::npos);
  EXPECT_EQ(lines[0].function, "coreScoringAlgorithm");
}

// A critic that cannot prepare is reported on the library's own logger, and the search still
// runs on the scores it gives.
TEST_F(LocalPlannerTest, WarnsOnTheLibraryLoggerWhenACriticFailsToPrepare)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.1, 2.0), sample(0.2, 1.0)};
  script().critic_prepares = false;
  testing::internal::CaptureStderr();
  const auto command = plan(*planner);
  const std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(
    output.find("[WARN]"), std::string::npos) << output;
  EXPECT_NE(
    output.find("[DWBLocalPlanner]: A scoring function failed to prepare"), std::string::npos)
    << output;
  EXPECT_DOUBLE_EQ(command.twist.linear.x, 0.2);
}

TEST_F(LocalPlannerTest, ReturnsAPlanarCommandWithAnEmptyHeader)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  Sample turning = sample(0.3, 1.0);
  turning.vy = 0.05;
  turning.wz = 0.2;
  script().samples = {turning};
  const auto cmd = plan(*planner);
  EXPECT_DOUBLE_EQ(cmd.twist.linear.x, 0.3);
  EXPECT_DOUBLE_EQ(cmd.twist.linear.y, 0.05);
  EXPECT_DOUBLE_EQ(cmd.twist.angular.z, 0.2);
  EXPECT_DOUBLE_EQ(cmd.twist.linear.z, 0.0);
  EXPECT_DOUBLE_EQ(cmd.twist.angular.x, 0.0);
  EXPECT_DOUBLE_EQ(cmd.twist.angular.y, 0.0);
  EXPECT_TRUE(cmd.header.frame_id.empty());
  EXPECT_EQ(cmd.header.stamp.sec, 0);
  EXPECT_EQ(cmd.header.stamp.nanosec, 0U);
}

TEST_F(LocalPlannerTest, HandsASpeedRatioToTheGeneratorInPercent)
{
  auto planner = makePlanner();
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}), 0.4);
  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  ASSERT_EQ(script().speed_limits.size(), 1U);
  EXPECT_DOUBLE_EQ(script().speed_limits[0], 40.0);
}

TEST_F(LocalPlannerTest, PublishesTheGlobalAndLocalPlansButNeverTheTransformedOne)
{
  auto planner = makePlanner();
  auto listener = std::make_shared<rclcpp::Node>("plan_listener");
  int global = 0;
  int transformed = 0;
  int local = 0;
  auto counter = [](int & count) {
      return [&count](nav_msgs::msg::Path::ConstSharedPtr) {++count;};
    };
  auto global_sub = listener->create_subscription<nav_msgs::msg::Path>(
    "/received_global_plan", 10, counter(global));
  auto transformed_sub = listener->create_subscription<nav_msgs::msg::Path>(
    "/transformed_global_plan", 10, counter(transformed));
  auto local_sub = listener->create_subscription<nav_msgs::msg::Path>(
    "/local_plan", 10, counter(local));
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener);

  planner->setPlan(path({{1.0, 2.0}, {2.0, 2.0}}));
  script().samples = {sample(0.2, 1.0)};
  plan(*planner);
  // The transformed plan would have gone out before the local plan of the same cycle.
  const auto deadline = std::chrono::steady_clock::now() + controller_base_test::kDeadline;
  while (local == 0 && std::chrono::steady_clock::now() < deadline) {
    executor.spin_some();
  }
  executor.spin_some();
  EXPECT_GE(global, 1);
  EXPECT_EQ(local, 1);
  EXPECT_EQ(transformed, 0);
}

}  // namespace
