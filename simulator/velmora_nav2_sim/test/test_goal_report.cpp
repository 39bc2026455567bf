// The per-goal report of the simulator runner: the clearance of the robot's outline from the
// map's lethal cells, the distance of the robot from each goal's path, and the CSV and table
// written of them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "goal_report.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "outline_clearance.hpp"
#include "scenario.hpp"
#include "trace_recorder.hpp"

namespace velmora_apps
{
namespace
{

using velmora_sim_robot::PlanarPose;

constexpr double kPi = 3.14159265358979323846;
constexpr double kResolution = 0.05;
// A corridor along x: lethal rows below y 1.0 m and from y 2.0 m up, free width 1.0 m.
constexpr double kWallBelow = 1.0;
constexpr double kWallAbove = 2.0;

// A 0.6 m x 0.5 m outline, its front and rear corners listed as the parameter file lists them.
std::vector<geometry_msgs::msg::Point> outline()
{
  std::vector<geometry_msgs::msg::Point> points;
  for (const auto & [x, y] : std::vector<std::pair<double, double>>{
      {0.30, 0.25}, {0.30, -0.25}, {0.0, -0.25}, {-0.30, -0.25}, {-0.30, 0.25}, {0.0, 0.25}})
  {
    geometry_msgs::msg::Point point;
    point.x = x;
    point.y = y;
    points.push_back(point);
  }
  return points;
}

nav2_costmap_2d::Costmap2D freeMap()
{
  return nav2_costmap_2d::Costmap2D(100, 60, kResolution, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
}

// 5 m x 3 m with the corridor's walls; inflated cost next to them, which is no obstacle.
nav2_costmap_2d::Costmap2D corridor()
{
  nav2_costmap_2d::Costmap2D map = freeMap();
  for (unsigned int y = 0; y < map.getSizeInCellsY(); ++y) {
    const double centre = (y + 0.5) * kResolution;
    const bool wall = centre < kWallBelow || centre > kWallAbove;
    const bool beside_wall = centre < kWallBelow + 0.1 || centre > kWallAbove - 0.1;
    for (unsigned int x = 0; x < map.getSizeInCellsX(); ++x) {
      map.setCost(
        x, y, wall ? nav2_costmap_2d::LETHAL_OBSTACLE :
        beside_wall ? nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE : nav2_costmap_2d::FREE_SPACE);
    }
  }
  return map;
}

TEST(OutlineClearanceTest, ReproducesTheClearanceInACorridorWithinACell)
{
  const OutlineClearance clearance(corridor(), outline());
  // Centred, facing along the corridor: 0.25 m on either side.
  EXPECT_NEAR(clearance.at({2.5, 1.5, 0.0}), 0.25, kResolution);
  // Off-centre by 0.1 m, and between cell centres in x.
  EXPECT_NEAR(clearance.at({2.52, 1.4, 0.0}), 0.15, kResolution);
  EXPECT_NEAR(clearance.at({2.5, 1.63, 0.0}), 0.12, kResolution);
  // Across the corridor the outline is 0.6 m wide.
  EXPECT_NEAR(clearance.at({2.5, 1.5, kPi / 2.0}), 0.2, kResolution);
  // Turned by 0.4 rad a corner comes nearest the walls.
  const double half_extent = 0.30 * std::sin(0.4) + 0.25 * std::cos(0.4);
  EXPECT_NEAR(clearance.at({2.5, 1.5, 0.4}), 0.5 - half_extent, kResolution);
}

TEST(OutlineClearanceTest, IsZeroWhenTheOutlineCoversALethalCellOrLeavesTheMap)
{
  const OutlineClearance clearance(corridor(), outline());
  // An edge across the wall below.
  EXPECT_EQ(clearance.at({2.5, 1.2, 0.0}), 0.0);
  // A centimetre into the wall above.
  EXPECT_EQ(clearance.at({2.5, kWallAbove - 0.24, 0.0}), 0.0);
  // Half over the end of the map.
  EXPECT_EQ(clearance.at({4.9, 1.5, 0.0}), 0.0);
  EXPECT_EQ(clearance.at({-1.0, 1.5, 0.0}), 0.0);

  // One lethal cell wholly inside the outline, far from its edges.
  nav2_costmap_2d::Costmap2D map = freeMap();
  map.setCost(50, 30, nav2_costmap_2d::LETHAL_OBSTACLE);
  const OutlineClearance around(map, outline());
  EXPECT_EQ(around.at({2.525, 1.525, 0.0}), 0.0);
  // Beside it the same cell is 0.5 m from the robot centre: 0.25 m from the front edge, less
  // the half cell to its face.
  EXPECT_NEAR(around.at({1.975, 1.525, 0.0}), 0.225, 1e-6);
}

TEST(OutlineClearanceTest, MeasuresFromLethalCellsOnly)
{
  nav2_costmap_2d::Costmap2D map = freeMap();
  for (unsigned int x = 0; x < map.getSizeInCellsX(); ++x) {
    map.setCost(x, 17, nav2_costmap_2d::NO_INFORMATION);
    map.setCost(x, 21, nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  }
  const OutlineClearance no_obstacle(map, outline());
  // Over both rows.
  EXPECT_EQ(no_obstacle.at({2.5, 1.0, 0.0}), std::numeric_limits<double>::infinity());

  map.setCost(50, 50, nav2_costmap_2d::LETHAL_OBSTACLE);
  const OutlineClearance one_obstacle(map, outline());
  // Cell (50, 50) spans y 2.5 to 2.55: 0.75 m above the outline's top edge at y 1.75.
  EXPECT_NEAR(one_obstacle.at({2.525, 1.5, 0.0}), 0.75, 1e-6);
}

TEST(OutlineClearanceTest, RefusesAnEmptyFootprintOrMap)
{
  EXPECT_THROW(OutlineClearance(corridor(), {}), std::invalid_argument);
  EXPECT_THROW(
    OutlineClearance(nav2_costmap_2d::Costmap2D(0, 0, kResolution, 0.0, 0.0), outline()),
    std::invalid_argument);
}

// A scenario of the runner's file format, read the way the runner reads it.
class GoalFiguresTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    std::filesystem::remove(file_);
  }

  Scenario scenario(const std::string & goals)
  {
    std::ofstream(file_) << "start_pose: [1.0, 1.5, 0.0]\ngoals:\n" << goals;
    return loadScenario(file_.string());
  }

  static std::string goal(const std::string & name, const std::string & fields)
  {
    return "  - name: " + name + "\n    controller_id: lateral_move_controller\n"
           "    controller_frequency: 20\n    expect: SUCCEEDED\n" + fields;
  }

  static void sample(Trace & trace, std::size_t goal, double time, const PlanarPose & pose)
  {
    TraceSample entry;
    entry.time = time;
    entry.goal = goal;
    entry.pose = pose;
    trace.samples.push_back(entry);
  }

  static void sent(Trace & trace, std::size_t goal, double time, const PlanarPose & origin)
  {
    trace.sent_times[goal] = time;
    trace.goal_origins[goal] = origin;
  }

  static void ended(Trace & trace, std::size_t goal, double time, const std::string & status)
  {
    trace.end_times[goal] = time;
    trace.statuses[goal] = status;
  }

  const std::filesystem::path file_ = std::filesystem::temp_directory_path() /
    ("goal_report_" + std::to_string(getpid()) + ".yaml");
  const OutlineClearance clearance_{corridor(), outline()};
};

TEST_F(GoalFiguresTest, MeasuresEachGoalOverItsOwnPoses)
{
  const Scenario run = scenario(
    goal("along", "    path: [[1.0, 1.5, 0.0], [4.0, 1.5, 0.0]]\n") +
    goal("wander", "    path: [[3.0, 1.5, 0.0]]\n"));
  Trace trace;
  sample(trace, 0, 0.0, {1.0, 1.5, 0.0});
  sent(trace, 1, 0.5, {1.0, 1.5, 0.0});
  sample(trace, 1, 0.55, {2.0, 1.6, 0.0});
  sample(trace, 1, 0.60, {3.0, 1.3, 0.0});
  // Past the path's end: 0.2 m from the line, 0.25 m from the end.
  sample(trace, 1, 0.65, {4.15, 1.7, 0.0});
  ended(trace, 1, 2.25, "SUCCEEDED");
  sample(trace, 1, 2.3, {4.0, 1.5, 0.0});
  // The second goal starts where the first left the robot; an edge touches the wall meanwhile.
  sent(trace, 2, 3.0, {4.0, 1.5, 0.0});
  sample(trace, 2, 3.5, {3.0, 1.2, 0.0});
  ended(trace, 2, 4.0, "ABORTED");

  const std::vector<GoalFigures> figures = goalFigures(run, trace, clearance_);
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_EQ(figures[0].name, "along");
  EXPECT_EQ(figures[0].controller, "lateral_move_controller");
  EXPECT_EQ(figures[0].expected, "SUCCEEDED");
  EXPECT_EQ(figures[0].status, "SUCCEEDED");
  ASSERT_TRUE(figures[0].seconds && figures[0].max_path_distance_m && figures[0].min_clearance_m);
  EXPECT_NEAR(*figures[0].seconds, 1.75, 1e-9);
  EXPECT_NEAR(*figures[0].max_path_distance_m, 0.25, 1e-9);
  // Nearest the walls at y 1.3 and 1.7: 0.05 m from the outline.
  EXPECT_NEAR(*figures[0].min_clearance_m, 0.05, kResolution);

  EXPECT_EQ(figures[1].status, "ABORTED");
  ASSERT_TRUE(figures[1].seconds && figures[1].max_path_distance_m && figures[1].min_clearance_m);
  EXPECT_NEAR(*figures[1].seconds, 1.0, 1e-9);
  // A one-pose path: the distance to that pose, from the origin 1 m away.
  EXPECT_NEAR(*figures[1].max_path_distance_m, 1.0, 1e-9);
  EXPECT_EQ(*figures[1].min_clearance_m, 0.0);
}

TEST_F(GoalFiguresTest, PlacesPathsRelativeToTheRobotAndFilledInPaths)
{
  const Scenario run = scenario(
    goal("relative", "    relative_to_base: true\n    path: [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0]]\n") +
    goal("spaced", "    path_spacing: 0.1\n    path: [[1.0, 1.5, 0.0], [3.0, 1.5, 0.0]]\n"));
  Trace trace;
  // Facing north at (2, 1.2): the path runs from there to (2, 2.2).
  sent(trace, 1, 0.0, {2.0, 1.2, kPi / 2.0});
  sample(trace, 1, 0.1, {2.3, 1.7, kPi / 2.0});
  ended(trace, 1, 1.0, "SUCCEEDED");
  sent(trace, 2, 1.0, {2.0, 1.5, 0.0});
  sample(trace, 2, 1.1, {2.05, 1.45, 0.0});
  ended(trace, 2, 2.0, "SUCCEEDED");

  const std::vector<GoalFigures> figures = goalFigures(run, trace, clearance_);
  ASSERT_EQ(figures.size(), 2u);
  ASSERT_TRUE(figures[0].max_path_distance_m);
  EXPECT_NEAR(*figures[0].max_path_distance_m, 0.3, 1e-9);
  ASSERT_TRUE(figures[1].max_path_distance_m);
  EXPECT_NEAR(*figures[1].max_path_distance_m, 0.05, 1e-9);
}

TEST_F(GoalFiguresTest, GoalsNeverSentOrNeverEndedHaveNoFigures)
{
  const Scenario run = scenario(
    goal("refused", "    path: [[2.0, 1.5, 0.0]]\n") +
    goal("cut short", "    path: [[2.0, 1.5, 0.0]]\n") +
    goal("never sent", "    relative_to_base: true\n    path: [[1.0, 0.0, 0.0]]\n"));
  Trace trace;
  sent(trace, 1, 0.0, {2.0, 1.5, 0.0});
  ended(trace, 1, 5.0, "NOT ACCEPTED");
  sent(trace, 2, 5.0, {2.0, 1.5, 0.0});

  const std::vector<GoalFigures> figures = goalFigures(run, trace, clearance_);
  ASSERT_EQ(figures.size(), 3u);
  EXPECT_EQ(figures[0].status, "NOT ACCEPTED");
  EXPECT_TRUE(figures[0].seconds && figures[0].max_path_distance_m && figures[0].min_clearance_m);
  EXPECT_EQ(figures[1].status, "NOT FINISHED");
  EXPECT_FALSE(figures[1].seconds);
  EXPECT_TRUE(figures[1].max_path_distance_m && figures[1].min_clearance_m);
  EXPECT_EQ(figures[2].name, "never sent");
  EXPECT_EQ(figures[2].status, "NOT SENT");
  EXPECT_FALSE(figures[2].seconds || figures[2].max_path_distance_m || figures[2].min_clearance_m);
}

std::vector<GoalFigures> reportRows()
{
  return {
    {"slide, left", "lateral_move_controller", "SUCCEEDED", "SUCCEEDED", 3.14159, 0.0126, 0.2},
    {"say \"hi\"", "dwb", "ABORTED", "NOT SENT", {}, {}, {}}};
}

TEST(GoalReportWriterTest, WritesCsvWithQuotedTextsAndThreeDecimals)
{
  std::ostringstream csv;
  writeGoalReportCsv(reportRows(), csv);
  EXPECT_EQ(
    csv.str(),
    "goal,name,controller,expected,status,seconds,max_path_distance_m,min_clearance_m\n"
    "1,\"slide, left\",lateral_move_controller,SUCCEEDED,SUCCEEDED,3.142,0.013,0.200\n"
    "2,\"say \"\"hi\"\"\",dwb,ABORTED,NOT SENT,,,\n");
}

TEST(GoalReportWriterTest, WritesATableWithAlignedColumns)
{
  std::ostringstream table;
  writeGoalReportTable(reportRows(), table);
  std::istringstream lines(table.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line); ) {
    rows.push_back(line);
  }
  ASSERT_EQ(rows.size(), 3u);
  // Each column starts at the same place in every row.
  const std::size_t status = rows[0].find("status");
  const std::size_t seconds = rows[0].find("seconds");
  ASSERT_NE(status, std::string::npos);
  EXPECT_EQ(rows[1].find("SUCCEEDED 3.142"), std::string::npos);
  EXPECT_EQ(rows[1].substr(status, 10), "SUCCEEDED ");
  EXPECT_EQ(rows[1].substr(seconds, 5), "3.142");
  EXPECT_EQ(rows[2].substr(status, 8), "NOT SENT");
  EXPECT_EQ(rows[1].find("0.200"), rows[0].find("min_clearance_m"));
  // No figures, no trailing blanks.
  EXPECT_EQ(rows[2].back(), 'T');
}

}  // namespace
}  // namespace velmora_apps
