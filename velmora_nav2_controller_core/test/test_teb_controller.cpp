// The TEB controller on a real node and grid-map service (the controller-base suites' room):
// the per-goal limits written into the planner's parameters, the early arrivals (near the
// destination, empty final path, extra goals), the finished rule, refused goals, and the
// planner's failures reaching the caller.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controller/teb_controller.hpp"
#include "controller_base_fixture.hpp"
#include "nav2_core/exceptions.hpp"
#include "velmora/testing/log_capture.hpp"
#include "velmora/testing/map_pose.hpp"

namespace
{

using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using Goal = velmora_nav2_protocol::action::Controller::Goal;
using velmora::testing::pose;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A goal along y = 1.0 in the room, from x 0.5 to `to_x` in `count` poses.
std::shared_ptr<Goal> goal(std::size_t count = 10, double to_x = 2.5, bool finished = true)
{
  auto result = std::make_shared<Goal>();
  result->controller_id = "teb_controller";
  result->nav_path.header.frame_id = "map";
  for (std::size_t i = 0; i < count; ++i) {
    const double t = count > 1 ? static_cast<double>(i) / static_cast<double>(count - 1) : 1.0;
    result->nav_path.poses.push_back(pose(0.5 + t * (to_x - 0.5), 1.0));
  }
  result->max_velocity = controller_base_test::twist(0.5, 0.5, 0.8);
  result->finished = finished;
  return result;
}

class TebProbe : public controller::TebController
{
public:
  using TebController::TebController;
  void setRobotPose(const PoseStamped & at) {robot_pose_ = at;}
  bool goalReached() const {return goal_reached_;}
  std::size_t planSize() const {return plan_.poses.size();}
};

class TebControllerTest : public controller_base_test::ControllerBaseTest
{
protected:
  std::shared_ptr<TebProbe> makeTeb(const std::vector<rclcpp::Parameter> & overrides = {})
  {
    nodes_.push_back(std::make_shared<rclcpp_lifecycle::LifecycleNode>(
        "velmora_nav2_controller", rclcpp::NodeOptions().parameter_overrides(overrides)));
    return std::make_shared<TebProbe>(nodes_.back(), grid_map_);
  }

  double limit(const std::string & suffix)
  {
    return nodes_.back()->get_parameter("TebPlanning." + suffix).as_double();
  }

  // Within float precision: speed_limit_percent travels as a float32.
  void expectLimits(double vx, double vb, double vy, double w, double ax, double ay)
  {
    constexpr double kFloatEps = 1e-6;
    EXPECT_NEAR(limit("max_vel_x"), vx, kFloatEps);
    EXPECT_NEAR(limit("max_vel_x_backwards"), vb, kFloatEps);
    EXPECT_NEAR(limit("max_vel_y"), vy, kFloatEps);
    EXPECT_NEAR(limit("max_vel_theta"), w, kFloatEps);
    EXPECT_NEAR(limit("acc_lim_x"), ax, kFloatEps);
    EXPECT_NEAR(limit("acc_lim_y"), ay, kFloatEps);
  }

  std::vector<std::shared_ptr<rclcpp_lifecycle::LifecycleNode>> nodes_;
};

TEST_F(TebControllerTest, WritesTheGoalsLimitsAndScalesTheAccelerations)
{
  // The configured forward limit of 0.5 makes a forward cap of 0.3 a ratio of 0.6.
  const auto teb = makeTeb({rclcpp::Parameter("TebPlanning.max_vel_theta", 0.8)});
  expectLimits(0.5, 0.5, 0.5, 0.8, 0.3, 0.3);

  auto capped = goal();
  capped->max_velocity = controller_base_test::twist(0.3, 0.2, 0.5);
  ASSERT_TRUE(teb->setPlan(capped));
  expectLimits(0.3, 0.3, 0.2, 0.5, 0.18, 0.18);

  capped->speed_limit_percent = 0.1F;
  ASSERT_TRUE(teb->setPlan(capped));
  expectLimits(0.1, 0.1, 0.1, 0.5, 0.3 * 0.2, 0.3 * 0.2);

  auto zero_forward = goal();
  zero_forward->max_velocity = controller_base_test::twist(0.0, 0.4, 0.5);
  ASSERT_TRUE(teb->setPlan(zero_forward));
  expectLimits(0.0, 0.0, 0.4, 0.5, 0.0, 0.0);

  auto all_zero = goal();
  all_zero->max_velocity = Twist();
  ASSERT_TRUE(teb->setPlan(all_zero));
  expectLimits(0.0, 0.0, 0.0, 0.0, 0.0, 0.0);

  // The baseline stays: a generous request gets the configured limits back, and a request that
  // is not a number asks for nothing.
  auto generous = goal();
  generous->max_velocity = controller_base_test::twist(2.0, kNaN, 9.0);
  ASSERT_TRUE(teb->setPlan(generous));
  expectLimits(0.5, 0.5, 0.5, 0.8, 0.3, 0.3);
}

TEST_F(TebControllerTest, AZeroConfiguredForwardLimitKeepsTheAccelerations)
{
  const auto teb = makeTeb({rclcpp::Parameter("TebPlanning.max_vel_x", 0.0),
      rclcpp::Parameter("TebPlanning.acc_lim_y", 0.2)});
  auto capped = goal();
  capped->max_velocity = controller_base_test::twist(0.3, 0.2, 0.5);
  ASSERT_TRUE(teb->setPlan(capped));
  expectLimits(0.0, 0.3, 0.2, 0.5, 0.3, 0.2);
}

TEST_F(TebControllerTest, RefusesGoalsItCannotDriveWithAndLeavesTheLimits)
{
  const auto teb = makeTeb();
  velmora::testing::LogCapture log;
  auto negative = goal();
  negative->max_velocity = controller_base_test::twist(-0.3, 0.2, 0.5);
  EXPECT_FALSE(teb->setPlan(negative));
  auto negative_turn = goal();
  negative_turn->max_velocity = controller_base_test::twist(0.3, 0.2, -0.5);
  EXPECT_FALSE(teb->setPlan(negative_turn));
  for (float percent : {-0.2F, std::numeric_limits<float>::quiet_NaN()}) {
    auto bad_limit = goal();
    bad_limit->speed_limit_percent = percent;
    EXPECT_FALSE(teb->setPlan(bad_limit));
  }
  auto bad_extra = goal();
  bad_extra->extra_goals = {pose(1.0, kNaN)};
  EXPECT_FALSE(teb->setPlan(bad_extra));
  auto bad_path = goal();
  bad_path->nav_path.poses[4].pose.orientation.w = kNaN;
  EXPECT_FALSE(teb->setPlan(bad_path));

  EXPECT_EQ(log.linesContaining("[TebController]::setPlan refuses the goal").size(), 6u);
  expectLimits(0.5, 0.5, 0.5, 0.8, 0.3, 0.3);
}

TEST_F(TebControllerTest, NearDestinationAndEmptyFinalPathsArriveAtOnce)
{
  const auto teb = makeTeb();
  velmora::testing::LogCapture log;
  auto near = goal(5);
  near->near_destination = true;
  near->max_velocity = controller_base_test::twist(0.1, 0.1, 0.1);
  ASSERT_TRUE(teb->setPlan(near));
  EXPECT_TRUE(teb->goalReached());
  EXPECT_EQ(teb->planSize(), 0u);
  EXPECT_EQ(
    log.linesContaining("because near destination, nav_path.poses.size: 5").size(), 1u);
  EXPECT_TRUE(log.linesContaining("[TebController]::setPlan finished").empty())
    << "the planner is not handed the path";
  EXPECT_NEAR(limit("max_vel_x"), 0.5, 1e-9) << "nor are the limits written";
  EXPECT_TRUE(teb->isGoalReached());

  auto empty_final = goal(0);
  ASSERT_TRUE(teb->setPlan(empty_final));
  EXPECT_TRUE(teb->goalReached());
  EXPECT_EQ(
    log.linesContaining(
      "[TebController]::setPlan reach to destination in advance, nav_path.poses.size: 0, "
      "finished: true").size(), 1u);
  EXPECT_TRUE(teb->isGoalReached());

  auto empty_segment = goal(0, 2.5, false);
  const auto lines_before = log.statements().size();
  EXPECT_FALSE(teb->setPlan(empty_segment));
  EXPECT_EQ(log.statements().size(), lines_before) << "refused without a line";
}

TEST_F(TebControllerTest, ShortPathsAreLoggedAndAOnePosePathAtTheRobotIsReached)
{
  const auto teb = makeTeb();
  velmora::testing::LogCapture log;
  ASSERT_TRUE(teb->setPlan(goal(3)));
  EXPECT_EQ(log.linesContaining("[TebController]::setPlan nav_path poses size is 3").size(), 1u);
  ASSERT_TRUE(teb->setPlan(goal(4)));
  EXPECT_TRUE(log.linesContaining("nav_path poses size is 4").empty());
  EXPECT_EQ(log.linesContaining("[TebController]::setPlan get extra goals size: 0").size(), 2u);

  placeRobot(2.5, 1.0, 0.0);
  teb->setRobotPose(pose(2.45, 1.0));
  ASSERT_TRUE(teb->setPlan(goal(1)));
  EXPECT_TRUE(teb->goalReached());
  link_->clear();
  ASSERT_TRUE(teb->computeAndPublishVelocity());
  ASSERT_FALSE(link_->velocities().empty());
  EXPECT_EQ(link_->velocities().back(), Twist()) << "the robot is kept stopped";
}

TEST_F(TebControllerTest, ExtraGoalsEndAFinishedGoalEarly)
{
  const auto teb = makeTeb();
  velmora::testing::LogCapture log;
  teb->setRobotPose(pose(1.5, 2.0));
  auto with_extras = goal();
  with_extras->extra_goals = {pose(0.5, 3.0), pose(1.55, 2.0)};
  ASSERT_TRUE(teb->setPlan(with_extras));
  EXPECT_TRUE(teb->goalReached());
  EXPECT_EQ(teb->planSize(), 0u);
  EXPECT_EQ(log.linesContaining("teb is goal reached by extra goals in setPlan").size(), 1u);
  EXPECT_EQ(log.linesContaining("get extra goals size: 2").size(), 1u);
  EXPECT_TRUE(teb->isGoalReached());

  // Not finished: extra goals do not count, neither in setPlan nor later.
  auto segment = goal(10, 2.5, false);
  segment->extra_goals = {pose(1.5, 2.0)};
  ASSERT_TRUE(teb->setPlan(segment));
  EXPECT_FALSE(teb->goalReached());
  EXPECT_FALSE(teb->isGoalReached());

  // Finished, reached during the run.
  auto finished = goal();
  finished->extra_goals = {pose(0.5, 3.0)};
  ASSERT_TRUE(teb->setPlan(finished));
  EXPECT_FALSE(teb->isGoalReached());
  teb->setRobotPose(pose(0.5, 3.0));
  EXPECT_TRUE(teb->isGoalReached());
  EXPECT_EQ(log.linesContaining("teb is goal reached by extra goals in isGoalReached").size(), 1u);
  EXPECT_EQ(log.linesContaining("[TebController]: teb finished").size(), 1u);

  // Finished, no extra goals, last pose out of reach.
  ASSERT_TRUE(teb->setPlan(goal()));
  teb->setRobotPose(pose(1.0, 3.0));
  EXPECT_FALSE(teb->isGoalReached());
}

TEST_F(TebControllerTest, TheEndOfASegmentStopsTheRobotWithoutEndingTheGoal)
{
  const auto teb = makeTeb();
  velmora::testing::LogCapture log;
  ASSERT_TRUE(teb->setPlan(goal(10, 2.5, false)));
  teb->setRobotPose(pose(2.5, 1.0));
  EXPECT_FALSE(teb->isGoalReached());
  EXPECT_TRUE(teb->goalReached());
  EXPECT_EQ(log.linesContaining("[TebController]: teb is goalreached").size(), 1u);
  EXPECT_TRUE(log.linesContaining("teb finished").empty());

  ASSERT_TRUE(teb->setPlan(goal(10, 2.5, true)));
  EXPECT_TRUE(teb->isGoalReached());
  EXPECT_EQ(log.linesContaining("[TebController]: teb finished").size(), 1u);
}

TEST_F(TebControllerTest, DrivesAlongThePathAndPassesOnThePlannersFailures)
{
  const auto teb = makeTeb();
  placeRobot(0.5, 1.0, 0.0);
  ASSERT_TRUE(teb->setPlan(goal()));
  link_->clear();
  ASSERT_TRUE(teb->computeAndPublishVelocity());
  ASSERT_FALSE(link_->velocities().empty());
  EXPECT_GT(link_->velocities().back().linear.x, 0.0);
  EXPECT_FALSE(teb->isGoalReached());

  // Two metres off the path: the planner gives up and says why.
  placeRobot(0.5, 3.0, 0.0);
  try {
    teb->computeAndPublishVelocity();
    ADD_FAILURE() << "the planner did not give up";
  } catch (const nav2_core::PlannerException & exception) {
    EXPECT_NE(std::string(exception.what()).find("off the path"), std::string::npos);
  }
}

}  // namespace
