// A few goals of the world suite, on the generated doors world with the installed parameter
// file: each path-following controller takes the robot through the 0.8 m door (the robot's
// width plus 0.3 m), the TEB planner and the PID follower also from a start heading far off the
// path and round a bend after the door. The robot must arrive, its outline clear of the walls,
// its centre close to the straight path. The whole suite runs with scripts/worlds.sh.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ament_index_cpp/get_package_share_directory.hpp"

#include "end_to_end_fixture.hpp"
#include "goal_report.hpp"

namespace
{
using namespace end_to_end_test;

constexpr auto kMoveDeadline = 40s;
constexpr double kPi = 3.14159265358979323846;
// The largest distance of the robot's centre from a straight path.
constexpr double kLargestSwing = 0.1;
// Where each controller ends a goal: DWB within its reach distance of the end (0.3 m, the
// robot braking a little further), the TEB planner within the general goal checker's 0.25 m,
// the PID core within its arrival tolerance.
constexpr double kDwbArrival = 0.35;
constexpr double kTebArrival = 0.3;
constexpr double kPidArrival = 0.1;

std::string worldsShare()
{
  return ament_index_cpp::get_package_share_directory("velmora_sim_worlds");
}

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(robotEnvironment(
    ament_index_cpp::get_package_share_directory("velmora_nav2_controller_core") +
    "/config/velmora_nav2_controller.yaml",
    {"-p", "yaml_filename:=" + worldsShare() + "/worlds/doors.yaml"}));

// The 0.8 m door is in the wall x 4.2-4.4; its centre line is y 3.2.
constexpr PlanarPose kWestOfDoor{3.3, 3.2, 0.0};
constexpr PlanarPose kEastOfDoor{5.3, 3.2, 0.0};
constexpr PlanarPose kNorthAfterDoor{5.3, 4.6, kPi / 2.0};

PlanarPose facing(const PlanarPose & place, double yaw)
{
  return {place.x, place.y, yaw};
}

// A final goal for `controller_id` along `waypoints`, filled in as a global planner hands a
// path over, with the speed options the world suite gives each controller.
Action::Goal worldGoal(const std::string & controller_id, const std::vector<PlanarPose> & waypoints)
{
  auto goal = pathGoal(controller_id, filledPath(waypoints));
  goal.finished = true;
  if (controller_id == "dwb_controller") {
    goal.speed_limit_percent = 0.4F;
  } else if (controller_id == "teb_controller") {
    goal.max_velocity.linear.x = 0.4;
    goal.max_velocity.linear.y = 0.3;
    goal.max_velocity.angular.z = 0.8;
  }
  return goal;
}

// Each case starts where its route does, with the heading it gives.
template<const PlanarPose & start>
class EndToEndWorlds : public EndToEndTest
{
protected:
  EndToEndWorlds()
  : EndToEndTest(start, kMoveDeadline) {}

  // The largest distance of the robot's centre from the straight path a-b over the last goal
  // driven.
  double largestSwingFrom(const PlanarPose & a, const PlanarPose & b) const
  {
    double largest = 0.0;
    for (const auto & pose : driven()) {
      largest = std::max(largest, velmora_apps::distanceToPath({a, b}, pose.x, pose.y));
    }
    return largest;
  }

  void expectArrivalAt(const PlanarPose & end, double tolerance)
  {
    const auto pose = stack_->robot().mapPose();
    EXPECT_LT(std::hypot(pose.x - end.x, pose.y - end.y), tolerance);
  }
};

constexpr PlanarPose kAlignedWestOfDoor = kWestOfDoor;
constexpr PlanarPose kWestOfDoorFacingNorth{kWestOfDoor.x, kWestOfDoor.y, kPi / 2.0};
constexpr PlanarPose kEastOfDoorFacingEast = kEastOfDoor;

using AlignedWestOfTheDoor = EndToEndWorlds<kAlignedWestOfDoor>;
using WestOfTheDoorFacingNorth = EndToEndWorlds<kWestOfDoorFacingNorth>;
using EastOfTheDoorFacingAway = EndToEndWorlds<kEastOfDoorFacingEast>;

TEST_F(AlignedWestOfTheDoor, DwbDrivesThroughTheNarrowestDoorOnItsCentreLine)
{
  ASSERT_EQ(drive(worldGoal("dwb_controller", {kWestOfDoor, kEastOfDoor})), ResultCode::SUCCEEDED);
  expectArrivalAt(kEastOfDoor, kDwbArrival);
  EXPECT_LE(largestSwingFrom(kWestOfDoor, kEastOfDoor), kLargestSwing);
}

TEST_F(WestOfTheDoorFacingNorth, TebAndPidTurnTowardsThePathFirstThenDriveThroughTheDoor)
{
  ASSERT_EQ(drive(worldGoal("teb_controller", {kWestOfDoor, kEastOfDoor})), ResultCode::SUCCEEDED);
  expectArrivalAt(kEastOfDoor, kTebArrival);
  EXPECT_LE(largestSwingFrom(kWestOfDoor, kEastOfDoor), kLargestSwing);

  // Back through the door facing away from the path: the PID follower turns round first.
  const auto here = stack_->robot().mapPose();
  const PlanarPose from{here.x, here.y, kPi};
  ASSERT_EQ(
    drive(worldGoal("pid_controller", {from, facing(kWestOfDoor, kPi)})), ResultCode::SUCCEEDED);
  expectArrivalAt(kWestOfDoor, kPidArrival);
  EXPECT_LE(largestSwingFrom(from, kWestOfDoor), kLargestSwing);
}

TEST_F(EastOfTheDoorFacingAway, TebAndPidDriveWestThroughTheDoorAndBackRoundABend)
{
  const PlanarPose east = facing(kEastOfDoor, kPi);
  const PlanarPose west = facing(kWestOfDoor, kPi);
  ASSERT_EQ(drive(worldGoal("teb_controller", {east, west})), ResultCode::SUCCEEDED);
  expectArrivalAt(kWestOfDoor, kTebArrival);
  EXPECT_LE(largestSwingFrom(east, west), kLargestSwing);

  const auto here = stack_->robot().mapPose();
  const PlanarPose from{here.x, here.y, 0.0};
  ASSERT_EQ(
    drive(worldGoal("pid_controller", {from, kEastOfDoor, kNorthAfterDoor})),
    ResultCode::SUCCEEDED);
  expectArrivalAt(kNorthAfterDoor, kPidArrival);
}

}  // namespace
