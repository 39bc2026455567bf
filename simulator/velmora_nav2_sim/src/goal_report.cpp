#include "goal_report.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "trace_svg_writer.hpp"

namespace velmora_apps
{

namespace
{
using velmora_sim_robot::PlanarPose;

constexpr std::size_t kColumns = 8;
using Row = std::array<std::string, kColumns>;
constexpr const char * kNotSent = "NOT SENT";
constexpr const char * kNotFinished = "NOT FINISHED";

double distanceToSegment(const PlanarPose & a, const PlanarPose & b, double x, double y)
{
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  const double t = length_squared > 0.0 ?
    std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length_squared, 0.0, 1.0) : 0.0;
  return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
}

std::vector<PlanarPose> posesOf(std::size_t number, const PlanarPose & origin, const Trace & trace)
{
  std::vector<PlanarPose> poses{origin};
  for (const TraceSample & sample : trace.samples) {
    if (sample.goal == number) {
      poses.push_back(sample.pose);
    }
  }
  return poses;
}

std::string figure(const std::optional<double> & value)
{
  if (!value) {
    return "";
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%.3f", *value);
  return text;
}

Row cellsOf(std::size_t number, const GoalFigures & goal)
{
  return Row{
    std::to_string(number), goal.name, goal.controller, goal.expected, goal.status,
    figure(goal.seconds), figure(goal.max_path_distance_m), figure(goal.min_clearance_m)};
}

const Row & header()
{
  static const Row row{
    "goal", "name", "controller", "expected", "status", "seconds", "max_path_distance_m",
    "min_clearance_m"};
  return row;
}

std::string csvField(const std::string & text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + "\"";
}

void writeCsvRow(const Row & row, std::ostream & out)
{
  for (std::size_t column = 0; column < kColumns; ++column) {
    out << (column == 0 ? "" : ",") << csvField(row[column]);
  }
  out << '\n';
}
}  // namespace

double distanceToPath(const std::vector<PlanarPose> & path, double x, double y)
{
  double nearest = distanceToSegment(path.front(), path.front(), x, y);
  for (std::size_t i = 1; i < path.size(); ++i) {
    nearest = std::min(nearest, distanceToSegment(path[i - 1], path[i], x, y));
  }
  return nearest;
}

std::vector<GoalFigures> goalFigures(
  const Scenario & scenario, const Trace & trace, const OutlineClearance & clearance)
{
  const std::vector<DrawnGoal> placed = drawnGoals(scenario, trace);
  std::vector<GoalFigures> figures;
  for (std::size_t index = 0; index < scenario.goals.size(); ++index) {
    const ScenarioGoal & goal = scenario.goals[index];
    const std::size_t number = index + 1;
    GoalFigures row{goal.name, goal.goal.controller_id, goal.expected_status, kNotSent, {}, {}, {}};
    const auto sent = trace.sent_times.find(number);
    const auto origin = trace.goal_origins.find(number);
    if (sent == trace.sent_times.end() || origin == trace.goal_origins.end()) {
      figures.push_back(row);
      continue;
    }
    const auto status = trace.statuses.find(number);
    row.status = status == trace.statuses.end() ? kNotFinished : status->second;
    const auto ended = trace.end_times.find(number);
    if (ended != trace.end_times.end()) {
      row.seconds = ended->second - sent->second;
    }
    double farthest = 0.0;
    double closest = std::numeric_limits<double>::infinity();
    const std::vector<PlanarPose> & path = placed[index].path;
    for (const PlanarPose & pose : posesOf(number, origin->second, trace)) {
      if (!path.empty()) {
        farthest = std::max(farthest, distanceToPath(path, pose.x, pose.y));
      }
      closest = std::min(closest, clearance.at(pose));
    }
    if (!path.empty()) {
      row.max_path_distance_m = farthest;
    }
    row.min_clearance_m = closest;
    figures.push_back(row);
  }
  return figures;
}

void writeGoalReportCsv(const std::vector<GoalFigures> & goals, std::ostream & out)
{
  writeCsvRow(header(), out);
  for (std::size_t index = 0; index < goals.size(); ++index) {
    writeCsvRow(cellsOf(index + 1, goals[index]), out);
  }
  out.flush();
}

void writeGoalReportTable(const std::vector<GoalFigures> & goals, std::ostream & out)
{
  std::vector<Row> rows{header()};
  for (std::size_t index = 0; index < goals.size(); ++index) {
    rows.push_back(cellsOf(index + 1, goals[index]));
  }
  std::array<std::size_t, kColumns> widths{};
  for (const Row & row : rows) {
    for (std::size_t column = 0; column < kColumns; ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  for (const Row & row : rows) {
    std::string line;
    for (std::size_t column = 0; column < kColumns; ++column) {
      line += row[column];
      line.append(widths[column] - row[column].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  }
  out.flush();
}

}  // namespace velmora_apps
