#ifndef APPS__GOAL_REPORT_HPP_
#define APPS__GOAL_REPORT_HPP_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outline_clearance.hpp"
#include "scenario.hpp"
#include "trace_recorder.hpp"

namespace velmora_apps
{

// What a run made of one goal of its scenario.
struct GoalFigures
{
  std::string name;
  std::string controller;
  std::string expected;
  // The final status as the runner saw it, NOT SENT for a goal never sent.
  std::string status;
  // From sending the goal to its end; none when it never ended.
  std::optional<double> seconds;
  // Over the robot poses of the goal: the largest distance of the robot centre from the goal's
  // path (a polyline in the map frame; a one-pose path is that point) and the smallest clearance
  // of the robot's outline. None for a goal never sent.
  std::optional<double> max_path_distance_m;
  std::optional<double> min_clearance_m;
};

// The distance from (x, y) to `path` (at least one pose) taken as a polyline; a one-pose path is
// that point.
double distanceToPath(
  const std::vector<velmora_sim_robot::PlanarPose> & path, double x, double y);

// The figures of every goal of `scenario`, in its order, from the trace of its run. A goal's
// poses are where the robot was when the goal was sent and every sample tagged with it; its path
// is placed in the map frame as the trace picture places it.
std::vector<GoalFigures> goalFigures(
  const Scenario & scenario, const Trace & trace, const OutlineClearance & clearance);

// The figures as CSV: the header line
//   goal,name,controller,expected,status,seconds,max_path_distance_m,min_clearance_m
// then one row per goal: its number, the texts (quoted when they hold a comma, a quote or a line
// break) and the figures in metres and seconds with 3 decimals, empty when there are none.
void writeGoalReportCsv(const std::vector<GoalFigures> & goals, std::ostream & out);

// The same cells as a table with aligned columns, for a person reading the run's output.
void writeGoalReportTable(const std::vector<GoalFigures> & goals, std::ostream & out);

}  // namespace velmora_apps

#endif  // APPS__GOAL_REPORT_HPP_
