// The DWB controller on a real node and grid-map service (the controller-base suites' room),
// with a scripted trajectory generator and critic so that every planned command is known:
// construction and parameters, the motion limits and soft start written per goal, refused goals,
// scaling, backward mirroring, the zero-command and arrival-tolerance rules, force-rotate, the
// rotation intent and the goal-reached rule.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controller/dwb_controller.hpp"
#include "controller_base_fixture.hpp"
#include "nav2_core/exceptions.hpp"
#include "rclcpp/exceptions.hpp"
#include "scripted_dwb/script.hpp"
#include "velmora/testing/log_capture.hpp"
#include "velmora/testing/map_pose.hpp"

namespace
{

using geometry_msgs::msg::PoseStamped;
using Goal = velmora_nav2_protocol::action::Controller::Goal;
using velmora::testing::pose;
using scripted_dwb::script;
using scripted_dwb::Sample;
using scripted_dwb::straight;

constexpr double kEps = 1e-6;
constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A path from (x0, y) to (x1, y) with a pose every `spacing` metres.
std::shared_ptr<Goal> straightGoal(double x0, double x1, double y = 2.0, double spacing = 0.1)
{
  auto goal = std::make_shared<Goal>();
  goal->nav_path.header.frame_id = "map";
  const int steps = static_cast<int>(std::lround(std::fabs(x1 - x0) / spacing));
  for (int i = 0; i <= steps; ++i) {
    goal->nav_path.poses.push_back(pose(x0 + (x1 - x0) * i / steps, y, x1 >= x0 ? 0.0 : kPi));
  }
  goal->finished = true;
  return goal;
}

Sample sample(double vx, double vy, double wz, std::vector<geometry_msgs::msg::Pose2D> offsets)
{
  Sample result;
  result.vx = vx;
  result.vy = vy;
  result.wz = wz;
  result.offsets = std::move(offsets);
  return result;
}

// Reaches the members a cycle works on.
class DwbProbe : public controller::DwbController
{
public:
  using DwbController::DwbController;

  // computeVelocity as the velocity cycle runs it: with this cycle's robot pose.
  bool computeAtRobotPose()
  {
    if (!getRobotPose(robot_pose_)) {
      ADD_FAILURE() << "no robot pose";
      return false;
    }
    return computeVelocity();
  }
  // The goal check as the control loop runs it, after a cycle fetched the robot pose.
  bool goalReachedAtRobotPose()
  {
    getRobotPose(robot_pose_);
    return isGoalReached();
  }

  geometry_msgs::msg::Twist & cmdVel() {return cmd_vel_;}
  double & speedScale() {return speed_scale_;}
  bool rotationIntent() const {return movement_status_rotation_intent_;}
};

class DwbControllerTest : public controller_base_test::ControllerBaseTest
{
protected:
  void SetUp() override
  {
    ControllerBaseTest::SetUp();
    script().reset();
    placeRobot(1.0, 2.0, 0.0);
  }

  // Declares what the planner needs to load the scripted plugins, the deceleration limits a
  // real generator would declare, then `extra`.
  void declarePlanner(const std::vector<rclcpp::Parameter> & extra = {})
  {
    node()->declare_parameter("DwbPlanning.decel_lim_x", rclcpp::ParameterValue(0.0));
    node()->declare_parameter("DwbPlanning.decel_lim_theta", rclcpp::ParameterValue(0.0));
    node()->declare_parameter(
      "DwbPlanning.trajectory_generator_name",
      rclcpp::ParameterValue(std::string("scripted_dwb::ScriptedGenerator")));
    node()->declare_parameter(
      "DwbPlanning.critics", rclcpp::ParameterValue(std::vector<std::string>{"Scripted"}));
    node()->declare_parameter(
      "DwbPlanning.Scripted.class",
      rclcpp::ParameterValue(std::string("scripted_dwb::ScriptedCritic")));
    for (const auto & parameter : extra) {
      node()->declare_parameter(parameter.get_name(), parameter.get_parameter_value());
    }
  }

  std::shared_ptr<DwbProbe> makeDwb(const std::vector<rclcpp::Parameter> & extra = {})
  {
    declarePlanner(extra);
    return std::make_shared<DwbProbe>(node(), grid_map_);
  }

  double nodeDouble(const std::string & name) {return node()->get_parameter(name).as_double();}
  std::int64_t nodeInt(const std::string & name) {return node()->get_parameter(name).as_int();}

  void setOdometry(double vx, double vy)
  {
    geometry_msgs::msg::TwistStamped odom;
    odom.twist.linear.x = vx;
    odom.twist.linear.y = vy;
    link_->setOdom(odom);
  }

  // One cycle of a goal that measures `vx` on odometry, so that the next goal's soft start
  // starts from that speed.
  void driveOneCycleMeasuring(DwbProbe & dwb, double vx)
  {
    script().samples = {sample(0.2, 0.0, 0.0, straight(0.1, 6, 0.0))};
    ASSERT_TRUE(dwb.setPlan(straightGoal(1.0, 2.5)));
    setOdometry(vx, 0.0);
    ASSERT_TRUE(dwb.computeAtRobotPose());
  }
};

TEST_F(DwbControllerTest, DeclaresItsParametersWithTheirDefaults)
{
  makeDwb();
  EXPECT_DOUBLE_EQ(nodeDouble("oscillation_coefficient"), 0.4);
  EXPECT_DOUBLE_EQ(nodeDouble("dwb_goal_reach_distance"), 0.3);
  EXPECT_DOUBLE_EQ(nodeDouble("marlo_dwb_goal_reach_distance"), 0.05);
  EXPECT_DOUBLE_EQ(nodeDouble("last_vel_ratio"), 0.6);
  EXPECT_DOUBLE_EQ(nodeDouble("theta_threshold"), 0.8);
  EXPECT_DOUBLE_EQ(nodeDouble("forward_path_remain_dis"), 0.5);
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.backward.min_vel_x"), 0.08);
  EXPECT_EQ(nodeInt("DwbPlanning.backward.vtheta_samples"), 40);
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_vel_x"), 1.0);
  EXPECT_EQ(nodeInt("DwbPlanning.vtheta_samples"), 30);
  // The library's own default of 0 would leave nothing but turns on the spot.
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_speed_xy"), 1.0);
}

TEST_F(DwbControllerTest, RefusesANodeThatAlreadyDeclaredItsParameters)
{
  node()->declare_parameter("goal_distance", rclcpp::ParameterValue(0.2));
  EXPECT_THROW(makeDwb(), rclcpp::exceptions::ParameterAlreadyDeclaredException);
}

TEST_F(DwbControllerTest, RefusesAWronglyTypedBackwardParameter)
{
  node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
    "velmora_nav2_controller", rclcpp::NodeOptions().parameter_overrides(
      {rclcpp::Parameter("DwbPlanning.backward.vtheta_samples", 40.0)}));
  EXPECT_THROW(makeDwb(), rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(DwbControllerTest, WritesTheForwardLimitsWithTheSoftStartAtEachGoal)
{
  auto dwb = makeDwb();
  struct Case
  {
    double measured;
    float speed_limit;
    double cap;
  };
  const std::vector<Case> cases{
    {0.0, 0.5F, 0.35},   // first goal: nothing measured yet
    {0.1, 0.8F, 0.59},   // slower than 0.6 of the limit: blended
    {0.5, 0.8F, 0.8},    // fast enough: the limit itself
    {-0.2, 0.8F, 0.56},  // reversing counts as standing
    {0.3, 0.0F, 1.0},    // no limit: the configured top speed
  };
  for (const Case & c : cases) {
    SCOPED_TRACE(testing::Message() << "measured " << c.measured << ", limit " << c.speed_limit);
    if (c.measured != 0.0) {
      driveOneCycleMeasuring(*dwb, c.measured);
    }
    auto goal = straightGoal(1.0, 2.5);
    goal->speed_limit_percent = c.speed_limit;
    ASSERT_TRUE(dwb->setPlan(goal));
    EXPECT_NEAR(nodeDouble("DwbPlanning.max_vel_x"), c.cap, kEps);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.min_vel_x"), 0.0);
    EXPECT_EQ(nodeInt("DwbPlanning.vtheta_samples"), 30);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.sim_time"), 1.5);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_vel_theta"), 0.8);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.acc_lim_x"), 0.3);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.decel_lim_x"), -0.3);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.acc_lim_theta"), 0.8);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.decel_lim_theta"), -0.8);
  }
}

TEST_F(DwbControllerTest, WritesTheBackwardLimitsWithTheGoalSpeedAsTheCap)
{
  auto dwb = makeDwb();
  struct Case
  {
    double measured;
    float speed_limit;
    double cap;
  };
  const std::vector<Case> cases{
    {-0.3, 0.4F, 0.4},   // already reversing fast enough
    {0.2, 0.4F, 0.28},   // moving forward counts as standing
    {0.2, 0.0F, 0.0},    // no speed given: no backward motion allowed
  };
  for (const Case & c : cases) {
    SCOPED_TRACE(testing::Message() << "measured " << c.measured << ", limit " << c.speed_limit);
    driveOneCycleMeasuring(*dwb, c.measured);
    auto goal = straightGoal(2.5, 1.0);
    goal->backward = true;
    goal->speed_limit_percent = c.speed_limit;
    ASSERT_TRUE(dwb->setPlan(goal));
    EXPECT_NEAR(nodeDouble("DwbPlanning.max_vel_x"), c.cap, kEps);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.min_vel_x"), 0.08);
    EXPECT_EQ(nodeInt("DwbPlanning.vtheta_samples"), 40);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.sim_time"), 2.5);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_vel_theta"), 1.0);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.acc_lim_x"), 0.2);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.decel_lim_x"), -0.2);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.acc_lim_theta"), 0.6);
    EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.decel_lim_theta"), -0.6);
  }
  // The next forward goal takes its limits from the forward set again.
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.min_vel_x"), 0.0);
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.sim_time"), 1.5);
}

TEST_F(DwbControllerTest, RefusesGoalsItCannotDriveSafely)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));
  const double cap_before = nodeDouble("DwbPlanning.max_vel_x");

  EXPECT_FALSE(dwb->setPlan(std::make_shared<Goal>()));

  auto nan_pose = straightGoal(1.0, 2.5);
  nan_pose->nav_path.poses[3].pose.position.y = kNaN;
  auto infinite_turn = straightGoal(1.0, 2.5);
  infinite_turn->nav_path.poses[1].pose.orientation.z = std::numeric_limits<double>::infinity();
  auto nan_speed = straightGoal(1.0, 2.5);
  nan_speed->speed_limit_percent = std::numeric_limits<float>::quiet_NaN();
  auto negative_speed = straightGoal(1.0, 2.5);
  negative_speed->speed_limit_percent = -0.3F;
  auto nan_tolerance = straightGoal(1.0, 2.5);
  nan_tolerance->tolerance = std::numeric_limits<float>::quiet_NaN();
  auto unknown_frame = straightGoal(1.0, 2.5);
  unknown_frame->nav_path.header.frame_id = "nowhere";

  velmora::testing::LogCapture log;
  for (const auto & goal : {nan_pose, infinite_turn, nan_speed, negative_speed, nan_tolerance,
      unknown_frame})
  {
    EXPECT_FALSE(dwb->setPlan(goal));
  }
  EXPECT_EQ(log.linesContaining("DwbController refuses the goal").size(), 6U);
  // A refused goal writes nothing into the planner's limits.
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_vel_x"), cap_before);
}

TEST_F(DwbControllerTest, RefusesAReachDistanceInsideThePlannersTurnOnTheSpotWindow)
{
  auto dwb = makeDwb({rclcpp::Parameter("DwbPlanning.xy_goal_tolerance", 0.25)});
  velmora::testing::LogCapture log;
  auto close = straightGoal(1.0, 2.5);
  close->tolerance = 0.1F;
  EXPECT_FALSE(dwb->setPlan(close));
  auto fine = straightGoal(1.0, 2.5);
  fine->fine_goal_reach = true;
  EXPECT_FALSE(dwb->setPlan(fine));
  EXPECT_EQ(log.linesContaining("within which the robot only turns").size(), 2U);

  auto wide = straightGoal(1.0, 2.5);
  wide->tolerance = 0.25F;
  EXPECT_TRUE(dwb->setPlan(wide));
  EXPECT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5))) << "the default reach distance, 0.3 m";
}

TEST_F(DwbControllerTest, ItsOwnPlannerSetupLetsFineGoalsBeReached)
{
  auto dwb = makeDwb();
  auto fine = straightGoal(1.0, 2.5);
  fine->fine_goal_reach = true;
  EXPECT_TRUE(dwb->setPlan(fine));
}

TEST_F(DwbControllerTest, BoundsAHugeSpeedLimitByTheConfiguredTopSpeed)
{
  auto dwb = makeDwb({rclcpp::Parameter("DwbPlanning.max_vel_x", 0.7)});
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_speed_xy"), 0.7) << "follows the top speed";
  driveOneCycleMeasuring(*dwb, 0.6);
  auto goal = straightGoal(1.0, 2.5);
  goal->speed_limit_percent = 1e30F;
  ASSERT_TRUE(dwb->setPlan(goal));
  EXPECT_DOUBLE_EQ(nodeDouble("DwbPlanning.max_vel_x"), 0.7);
}

TEST_F(DwbControllerTest, AcceptsAOnePosePath)
{
  auto dwb = makeDwb();
  auto goal = std::make_shared<Goal>();
  goal->nav_path.header.frame_id = "map";
  goal->nav_path.poses = {pose(1.5, 2.0)};
  goal->finished = true;
  ASSERT_TRUE(dwb->setPlan(goal));
  // Pointing away from the single pose never forces a rotation: the path is too short to judge.
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, kPi))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
}

TEST_F(DwbControllerTest, ScalesForwardCommandsAndNeverSlowsTurnsBelowHalf)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));
  script().samples = {sample(0.5, 0.1, 0.4, straight(0.1, 8, 0.0))};
  dwb->speedScale() = 0.2;
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(dwb->cmdVel().linear.x, 0.1, kEps);
  EXPECT_NEAR(dwb->cmdVel().linear.y, 0.02, kEps);
  EXPECT_NEAR(dwb->cmdVel().angular.z, 0.2, kEps);
  EXPECT_DOUBLE_EQ(dwb->speedScale(), 0.5);
  EXPECT_DOUBLE_EQ(dwb->cmdVel().linear.z, 0.0);

  script().samples = {sample(-0.3, 0.0, 0.0, straight(0.1, 8, 0.0))};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(dwb->cmdVel().linear.x, -0.3, kEps);
}

TEST_F(DwbControllerTest, PlansBackwardGoalsFromTheTurnedPoseAndMirrorsTheCommand)
{
  auto dwb = makeDwb();
  auto goal = straightGoal(1.0, 0.5);
  goal->backward = true;
  goal->speed_limit_percent = 0.3F;
  ASSERT_TRUE(dwb->setPlan(goal));
  setOdometry(-0.2, 0.05);
  script().samples = {sample(0.3, 0.0, 0.25, straight(0.1, 8, 0.0))};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(script().start_velocity.x, 0.2, kEps);
  EXPECT_NEAR(script().start_velocity.y, -0.05, kEps);
  EXPECT_NEAR(dwb->cmdVel().linear.x, -0.3, kEps);
  EXPECT_NEAR(dwb->cmdVel().angular.z, 0.25, kEps);
}

TEST_F(DwbControllerTest, TreatsAZeroCommandAsAPlanningFailure)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));

  script().samples = {sample(0.2, 0.0, 0.0005, straight(0.1, 8, 0.0))};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(dwb->cmdVel().linear.x, 0.2, kEps);

  // Far from the end of the path: the goal fails.
  script().samples = {sample(0.0005, 0.0, 0.0005, straight(0.001, 2, 0.0))};
  try {
    dwb->computeAtRobotPose();
    FAIL() << "a zero command far from the goal must fail";
  } catch (const nav2_core::PlannerException & failure) {
    EXPECT_STREQ(failure.what(), "dwb_controller failed,can not find valid path");
  }

  // Within the reach distance of the end pose it counts as arrived.
  placeRobot(2.3, 2.0, 0.0);
  EXPECT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(dwb->cmdVel().linear.x, 0.0005, kEps);
}

TEST_F(DwbControllerTest, ToleratesNoLegalTrajectoryOnlyNearTheEnd)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));
  auto refused = sample(0.2, 0.0, 0.0, straight(0.1, 8, 0.0));
  refused.score = -1.0;
  script().samples = {refused};
  EXPECT_THROW(dwb->computeAtRobotPose(), nav2_core::PlannerException);

  placeRobot(2.25, 2.0, 0.0);
  dwb->cmdVel() = controller_base_test::twist(0.4, 0.0, 0.1);
  EXPECT_TRUE(dwb->computeAtRobotPose());
  EXPECT_NEAR(dwb->cmdVel().linear.x, 0.4, kEps);
}

TEST_F(DwbControllerTest, StopsInPlaceWithoutPlanning)
{
  auto dwb = makeDwb();
  auto goal = straightGoal(1.0, 2.5);
  goal->stop_in_place = true;
  ASSERT_TRUE(dwb->setPlan(goal));
  dwb->cmdVel() = controller_base_test::twist(0.4, 0.1, 0.2);
  for (int cycle = 0; cycle < 3; ++cycle) {
    EXPECT_TRUE(dwb->computeAtRobotPose());
  }
  EXPECT_EQ(script().iterations, 0);
  EXPECT_DOUBLE_EQ(dwb->cmdVel().linear.x, 0.0);
  EXPECT_DOUBLE_EQ(dwb->cmdVel().linear.y, 0.0);
  EXPECT_DOUBLE_EQ(dwb->cmdVel().angular.z, 0.0);
}

TEST_F(DwbControllerTest, ForcesARotationOnlyForAShortTrajectoryAgainstTheWay)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));

  // 0.3 m heading back against a 1.5 m path: abandoned, with the warning.
  {
    velmora::testing::LogCapture log;
    script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, kPi))};
    dwb->cmdVel() = controller_base_test::twist(0.1, 0.0, 0.0);
    EXPECT_FALSE(dwb->computeAtRobotPose());
    EXPECT_NEAR(dwb->cmdVel().linear.x, 0.1, kEps);
    EXPECT_EQ(log.linesContaining("sim path too short and direction error").size(), 1U);
  }
  // 0.6 m the same way is long enough to be trusted.
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.1, 6, kPi))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
  // Short but along the path.
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, 0.0))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
  // Short, against the way, but the path left is not longer than forward_path_remain_dis.
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 1.4, 2.0, 0.08)));
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, kPi))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
}

TEST_F(DwbControllerTest, JudgesTheDirectionAgainstThePathAheadOfTheRobot)
{
  auto dwb = makeDwb();
  // East 1.0 m, then north 1.5 m; the robot has turned the corner and heads north.
  auto goal = straightGoal(1.0, 2.0);
  for (int i = 1; i <= 15; ++i) {
    goal->nav_path.poses.push_back(pose(2.0, 2.0 + 0.1 * i, kPi / 2.0));
  }
  ASSERT_TRUE(dwb->setPlan(goal));
  placeRobot(2.0, 2.3, kPi / 2.0);
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, 0.0))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
  // Heading back east from there is against the way.
  placeRobot(2.0, 2.4, 0.0);
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, -kPi / 2.0))};
  EXPECT_FALSE(dwb->computeAtRobotPose());
}

TEST_F(DwbControllerTest, BackwardGoalsAreNeverForcedToRotate)
{
  auto dwb = makeDwb();
  auto goal = straightGoal(1.0, 2.5);
  goal->backward = true;
  goal->speed_limit_percent = 0.3F;
  ASSERT_TRUE(dwb->setPlan(goal));
  script().samples = {sample(0.2, 0.0, 0.0, straight(0.05, 6, 0.0))};
  EXPECT_TRUE(dwb->computeAtRobotPose());
}

TEST_F(DwbControllerTest, ReportsRotationIntentFromTheChosenTrajectoryHeading)
{
  auto dwb = makeDwb();
  ASSERT_TRUE(dwb->setPlan(straightGoal(1.0, 2.5)));
  auto turning = straight(0.1, 8, 0.0);
  turning.back().theta = 0.5;
  script().samples = {sample(0.2, 0.0, 0.3, turning)};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_TRUE(dwb->rotationIntent());

  auto gentle = straight(0.1, 8, 0.0);
  gentle.back().theta = 0.2;
  script().samples = {sample(0.2, 0.0, 0.1, gentle)};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_FALSE(dwb->rotationIntent());

  // Across the wrap: from 3.0 to -3.0 rad is a turn of about 0.28 rad, not 6.
  auto wrapped = straight(0.1, 8, 0.0);
  wrapped.front().theta = 3.0;
  wrapped.back().theta = -3.0;
  script().samples = {sample(0.2, 0.0, 0.1, wrapped)};
  ASSERT_TRUE(dwb->computeAtRobotPose());
  EXPECT_FALSE(dwb->rotationIntent());
}

TEST_F(DwbControllerTest, ReachesTheGoalByTheDistanceTheGoalAsksFor)
{
  auto dwb = makeDwb({rclcpp::Parameter("DwbPlanning.prune_plan", false)});
  auto goal = [](bool finished, float tolerance, bool fine) {
      auto result = std::make_shared<Goal>();
      result->nav_path.header.frame_id = "map";
      result->nav_path.poses = {pose(1.2, 2.0)};
      result->finished = finished;
      result->tolerance = tolerance;
      result->fine_goal_reach = fine;
      return result;
    };
  placeRobot(1.0, 2.0, 0.0);  // 0.2 m from the goal

  ASSERT_TRUE(dwb->setPlan(goal(true, 0.0F, false)));
  EXPECT_TRUE(dwb->goalReachedAtRobotPose());  // default 0.3 m
  ASSERT_TRUE(dwb->setPlan(goal(false, 0.0F, false)));
  EXPECT_FALSE(dwb->goalReachedAtRobotPose());  // a segment of a longer route never ends here
  ASSERT_TRUE(dwb->setPlan(goal(true, 0.1F, false)));
  EXPECT_FALSE(dwb->goalReachedAtRobotPose());  // the goal's own tolerance
  ASSERT_TRUE(dwb->setPlan(goal(true, 0.01F, false)));
  EXPECT_TRUE(dwb->goalReachedAtRobotPose());  // 0.01 is no tolerance: back to 0.3 m
  ASSERT_TRUE(dwb->setPlan(goal(true, 0.5F, true)));
  EXPECT_FALSE(dwb->goalReachedAtRobotPose());  // fine reaching: 0.05 m, whatever the tolerance
  placeRobot(1.17, 2.0, 0.0);
  EXPECT_TRUE(dwb->goalReachedAtRobotPose());
}

TEST_F(DwbControllerTest, NeverChecksCollisionsOrScalesItself)
{
  auto dwb = makeDwb();
  EXPECT_TRUE(dwb->isCollisionFree());
  EXPECT_DOUBLE_EQ(dwb->computeSpeedRate(), 1.0);
}

}  // namespace
