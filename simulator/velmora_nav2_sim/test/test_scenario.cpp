// The simulator runner's scenario files: the goal fields a TEB, PID or DWB goal needs (velocity
// cap, near-destination, extra goals, filled-in paths) reach the goal message as written, and
// values the runner could not use are refused with an error naming the goal and the field.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scenario.hpp"

namespace
{

using velmora_apps::ScenarioError;
using velmora_apps::ScenarioGoal;

constexpr double kPi = 3.14159265358979323846;

double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

class ScenarioGoalFields : public ::testing::Test
{
protected:
  void TearDown() override {std::filesystem::remove(path_);}

  // Loads a scenario of one TEB goal with the required fields and `fields` (YAML lines of the
  // goal's map, each starting with its key) added.
  ScenarioGoal load(const std::string & fields)
  {
    std::ofstream(path_) <<
      "start_pose: [6.5, 4.2, 0.0]\n"
      "goals:\n"
      "  - controller_id: teb_controller\n"
      "    controller_frequency: 20\n"
      "    path: [[6.5, 4.2, 0.0], [7.5, 4.2, 0.0]]\n"
      "    expect: SUCCEEDED\n" << indented(fields);
    const auto scenario = velmora_apps::loadScenario(path_);
    EXPECT_EQ(scenario.goals.size(), 1U);
    return scenario.goals.front();
  }

  // The error loading the goal with `fields` gives; empty when it loads.
  std::string refusal(const std::string & fields)
  {
    try {
      load(fields);
    } catch (const ScenarioError & error) {
      return error.what();
    }
    return {};
  }

  static std::string indented(const std::string & fields)
  {
    std::string text;
    std::size_t start = 0;
    while (start < fields.size()) {
      const auto end = fields.find('\n', start);
      text += "    " + fields.substr(start, end - start) + "\n";
      start = end == std::string::npos ? fields.size() : end + 1;
    }
    return text;
  }

  const std::string path_ =
    (std::filesystem::path(::testing::TempDir()) /
    (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".yaml"))
    .string();
};

TEST_F(ScenarioGoalFields, CapNearDestinationAndExtraGoalsReachTheGoal)
{
  const auto goal = load(
    "frame_id: odom\n"
    "max_velocity: [0.3, 0.2, 0.5]\n"
    "near_destination: true\n"
    "extra_goals: [[7.0, 4.4, 0.0], [7.2, 4.0, 1.5]]").goal;
  EXPECT_DOUBLE_EQ(goal.max_velocity.linear.x, 0.3);
  EXPECT_DOUBLE_EQ(goal.max_velocity.linear.y, 0.2);
  EXPECT_DOUBLE_EQ(goal.max_velocity.angular.z, 0.5);
  EXPECT_EQ(goal.max_velocity.linear.z, 0.0);
  EXPECT_EQ(goal.max_velocity.angular.x, 0.0);
  EXPECT_EQ(goal.max_velocity.angular.y, 0.0);
  EXPECT_TRUE(goal.near_destination);
  ASSERT_EQ(goal.extra_goals.size(), 2U);
  EXPECT_EQ(goal.extra_goals[1].header.frame_id, "odom") << "extra goals are in the goal's frame";
  EXPECT_DOUBLE_EQ(goal.extra_goals[0].pose.position.x, 7.0);
  EXPECT_DOUBLE_EQ(goal.extra_goals[0].pose.position.y, 4.4);
  EXPECT_DOUBLE_EQ(goal.extra_goals[1].pose.position.x, 7.2);
  EXPECT_DOUBLE_EQ(goal.extra_goals[1].pose.position.y, 4.0);
  EXPECT_NEAR(yawOf(goal.extra_goals[1].pose.orientation), 1.5, 1e-9);
}

TEST_F(ScenarioGoalFields, LeftOutTheyKeepTheMessageDefaults)
{
  const auto goal = load("").goal;
  EXPECT_EQ(goal.max_velocity, geometry_msgs::msg::Twist());
  EXPECT_FALSE(goal.near_destination);
  EXPECT_TRUE(goal.extra_goals.empty());
  EXPECT_EQ(goal.nav_path.poses.size(), 2U) << "no path_spacing, no poses filled in";
}

TEST_F(ScenarioGoalFields, ACapThatIsNotANumberIsPassedOnForTheControllerToJudge)
{
  // The TEB controller reads a cap that is not a number as no cap on that axis, so a scenario
  // may send one on purpose.
  const auto goal = load("max_velocity: [.nan, 0.2, .nan]").goal;
  EXPECT_TRUE(std::isnan(goal.max_velocity.linear.x));
  EXPECT_DOUBLE_EQ(goal.max_velocity.linear.y, 0.2);
  EXPECT_TRUE(std::isnan(goal.max_velocity.angular.z));
}

TEST_F(ScenarioGoalFields, PathSpacingFillsInPosesFacingAlongEachSegment)
{
  std::ofstream(path_) <<
    "start_pose: [0.0, 0.0, 0.0]\n"
    "goals:\n"
    "  - controller_id: dwb_controller\n"
    "    controller_frequency: 20\n"
    "    path: [[0.0, 0.0, 0.3], [1.0, 0.0, 0.3], [1.0, 0.5, 2.0]]\n"
    "    path_spacing: 0.25\n"
    "    expect: SUCCEEDED\n";
  const auto poses = velmora_apps::loadScenario(path_).goals.front().goal.nav_path.poses;
  // The waypoints keep their headings; the poses between them face along their segment.
  const std::vector<velmora_sim_robot::PlanarPose> expected{
    {0.0, 0.0, 0.3}, {0.25, 0.0, 0.0}, {0.5, 0.0, 0.0}, {0.75, 0.0, 0.0}, {1.0, 0.0, 0.3},
    {1.0, 0.25, kPi / 2.0}, {1.0, 0.5, 2.0}};
  ASSERT_EQ(poses.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("pose " + std::to_string(i));
    EXPECT_NEAR(poses[i].pose.position.x, expected[i].x, 1e-9);
    EXPECT_NEAR(poses[i].pose.position.y, expected[i].y, 1e-9);
    EXPECT_NEAR(yawOf(poses[i].pose.orientation), expected[i].yaw, 1e-9);
  }
}

TEST_F(ScenarioGoalFields, ASpacingWiderThanTheSegmentsAddsNothing)
{
  EXPECT_EQ(load("path_spacing: 5.0").goal.nav_path.poses.size(), 2U);
}

TEST_F(ScenarioGoalFields, UnusableValuesAreRefusedNamingTheField)
{
  const struct
  {
    const char * fields;
    const char * named;
  } cases[] = {
    {"max_velocity: [0.3, 0.2]", "goals[0].max_velocity "},
    {"max_velocity: 0.3", "goals[0].max_velocity "},
    {"max_velocity: [fast, 0.2, 0.5]", "goals[0].max_velocity "},
    {"max_velocity: {x: 0.3}", "goals[0].max_velocity "},
    {"near_destination: maybe", "goals[0].near_destination "},
    {"near_destination: [true]", "goals[0].near_destination "},
    {"extra_goals: here", "goals[0].extra_goals "},
    {"extra_goals: [7.5, 4.4, 0.0]", "goals[0].extra_goals[0] "},
    {"extra_goals: [[7.5, 4.4]]", "goals[0].extra_goals[0] "},
    {"extra_goals: [[7.5, 4.4, 0.0], [.nan, 4.4, 0.0]]", "goals[0].extra_goals[1] "},
    {"extra_goals: [[7.5, .inf, 0.0]]", "goals[0].extra_goals[0] "},
    {"extra_goals: [[7.5, north, 0.0]]", "goals[0].extra_goals[0] "},
    {"path_spacing: -0.05", "goals[0].path_spacing "},
    {"path_spacing: 0", "goals[0].path_spacing "},
    {"path_spacing: .nan", "goals[0].path_spacing "},
    {"path_spacing: .inf", "goals[0].path_spacing "},
    {"path_spacing: wide", "goals[0].path_spacing "},
    // A million poses along the metre of path: memory, not a path.
    {"path_spacing: 0.000001", "goals[0].path_spacing "},
    // Waits the runner's clock cannot hold, or that never end.
    {"timeout: .inf", "goals[0].timeout "},
    {"timeout: .nan", "goals[0].timeout "},
    {"cancel_after: 1.0e12", "goals[0].cancel_after "},
    {"preempt_after: .inf", "goals[0].preempt_after "},
  };
  for (const auto & refused : cases) {
    SCOPED_TRACE(refused.fields);
    const std::string message = refusal(refused.fields);
    EXPECT_NE(message.find(refused.named), std::string::npos) << message;
    EXPECT_EQ(message.rfind(path_ + ": ", 0), 0U) << "the message starts with the file: " << message;
  }
}

TEST_F(ScenarioGoalFields, ADenseFillInWithinTheLimitStillLoads)
{
  // 1 m at 2^-10 m (exact in binary): 1024 steps, 1025 poses.
  EXPECT_EQ(load("path_spacing: 0.0009765625").goal.nav_path.poses.size(), 1025U);
}

}  // namespace
