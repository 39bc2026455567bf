// DWB goals on the simulated robot in the warehouse world, sent through a real action client:
// the robot plans its way round a shelf corner and down a backward segment to within the goal's
// tolerance, its outline never touching an obstacle; a goal into a pallet and goals it cannot
// drive safely end ABORTED with the robot stopped and nothing non-finite ever commanded.
// Built twice: on the controller's built-in planner setup, and (VELMORA_WITH_PARAMETER_FILE) on
// the installed parameter file, as the robot is started.
#include <algorithm>
#include <limits>
#include <string>

#include "ament_index_cpp/get_package_share_directory.hpp"

#include "end_to_end_fixture.hpp"

namespace
{
using namespace end_to_end_test;

constexpr auto kMoveDeadline = 40s;
constexpr double kPi = 3.14159265358979323846;
// The goals ask for arrival within 0.1 m; the base drifts a little further while it brakes.
constexpr float kGoalTolerance = 0.1F;
constexpr double kPositionTolerance = 0.15;

std::string parametersFile()
{
#ifdef VELMORA_WITH_PARAMETER_FILE
  return ament_index_cpp::get_package_share_directory("velmora_nav2_controller_core") +
         "/config/velmora_nav2_controller.yaml";
#else
  return "";
#endif
}

const auto * const kEnvironment =
  ::testing::AddGlobalTestEnvironment(robotEnvironment(parametersFile()));

Action::Goal dwbGoal(const std::vector<PlanarPose> & waypoints)
{
  auto goal = pathGoal("dwb_controller", filledPath(waypoints));
  goal.finished = true;
  goal.speed_limit_percent = 1.0F;
  goal.tolerance = kGoalTolerance;
  return goal;
}

// Each case starts where its route does.
template<const PlanarPose & start>
class EndToEndDwb : public EndToEndTest
{
protected:
  EndToEndDwb()
  : EndToEndTest(start, kMoveDeadline) {}
};

// Near the east end of aisle 1, facing east; the cross aisle is at x 12.25.
constexpr PlanarPose kAisleOneEnd{11.0, 4.4, 0.0};
// Aisle 2, facing west, as after a drive west along it.
constexpr PlanarPose kAisleTwo{9.6, 7.2, kPi};
// The loading room, north of the pallet that stands round (17.65, 7.0), facing south at it.
constexpr PlanarPose kAbovePallet{17.65, 10.0, -kPi / 2.0};

using CornerRoute = EndToEndDwb<kAisleOneEnd>;
using BackwardRoute = EndToEndDwb<kAisleTwo>;
using PalletRoute = EndToEndDwb<kAbovePallet>;

TEST_F(CornerRoute, PlansRoundTheShelfCornerToTheGoal)
{
  const PlanarPose goal_pose{12.25, 6.2, kPi / 2.0};
  ASSERT_EQ(drive(dwbGoal({start_, {12.25, 4.4, 0.0}, goal_pose})), ResultCode::SUCCEEDED);
  const auto end = stack_->robot().mapPose();
  EXPECT_LT(std::hypot(end.x - goal_pose.x, end.y - goal_pose.y), kPositionTolerance);
  // The route turned the corner rather than cutting it: the robot went up the cross aisle.
  const auto poses = driven();
  const auto reached_cross_aisle = std::any_of(
    poses.begin(), poses.end(), [](const PlanarPose & pose) {return pose.x > 11.9;});
  EXPECT_TRUE(reached_cross_aisle);
}

TEST_F(BackwardRoute, DrivesBackwardsWithItsHeadingKept)
{
  // The path runs east with poses facing east; the robot, facing west, backs along it.
  auto goal = dwbGoal({{start_.x, start_.y, 0.0}, {11.0, 7.2, 0.0}});
  goal.backward = true;
  goal.speed_limit_percent = 0.3F;
  ASSERT_EQ(drive(goal), ResultCode::SUCCEEDED);
  const auto end = stack_->robot().mapPose();
  EXPECT_NEAR(end.x, 11.0, kPositionTolerance);
  EXPECT_NEAR(end.y, 7.2, kPositionTolerance);
  for (const auto & pose : driven()) {
    ASSERT_LT(std::fabs(BaseRobot().calDelAngle(pose.yaw, kPi)), 0.5)
      << "the robot turned round at (" << pose.x << ", " << pose.y << ")";
  }
}

TEST_F(PalletRoute, AGoalIntoThePalletIsAbortedShortOfIt)
{
  EXPECT_EQ(drive(dwbGoal({start_, {17.65, 7.0, -kPi / 2.0}})), ResultCode::ABORTED);
  EXPECT_GT(stack_->robot().mapPose().y, 7.0 + 0.5) << "stopped well short of the pallet";
}

TEST_F(PalletRoute, GoalsItCannotDriveSafelyAreAbortedWithTheRobotStill)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto poisoned = dwbGoal({start_, {17.65, 9.0, -kPi / 2.0}});
  poisoned.nav_path.poses[5].pose.position.x = nan;
  auto no_speed = dwbGoal({start_, {17.65, 9.0, -kPi / 2.0}});
  no_speed.speed_limit_percent = std::numeric_limits<float>::quiet_NaN();
  auto backwards_speed = dwbGoal({start_, {17.65, 9.0, -kPi / 2.0}});
  backwards_speed.speed_limit_percent = -0.5F;
  auto no_tolerance = dwbGoal({start_, {17.65, 9.0, -kPi / 2.0}});
  no_tolerance.tolerance = std::numeric_limits<float>::infinity();
  auto other_frame = dwbGoal({start_, {17.65, 9.0, -kPi / 2.0}});
  for (auto & pose : other_frame.nav_path.poses) {
    pose.header.frame_id = "odom_of_another_robot";
  }
  other_frame.nav_path.header.frame_id = "odom_of_another_robot";
  // Far east of the warehouse's outer wall.
  auto off_the_map = dwbGoal({{60.0, 10.0, 0.0}, {61.0, 10.0, 0.0}});

  for (const auto & goal :
    {poisoned, no_speed, backwards_speed, no_tolerance, other_frame, off_the_map})
  {
    EXPECT_EQ(drive(goal), ResultCode::ABORTED);
  }
  const auto end = stack_->robot().mapPose();
  EXPECT_LT(std::hypot(end.x - start_.x, end.y - start_.y), 0.6)
    << "no refused goal took the robot anywhere";
}

}  // namespace
