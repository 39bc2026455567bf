#include "trace_svg_writer.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <map>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace velmora_apps
{

namespace
{
using velmora_sim_robot::PlanarPose;

constexpr double kLongSidePixels = 1000.0;
constexpr double kMargin = 20.0;
constexpr double kLegendHeight = 30.0;
constexpr const char * kPathColour = "#1565c0";
constexpr const char * kStartColour = "#6a1b9a";
constexpr const char * kOccupiedColour = "#37474f";
constexpr const char * kUnknownColour = "#cfd8dc";

// The map's long side spans kLongSidePixels.
double scaleOf(const velmora_nav2_gridmap::OccupancyMap & map)
{
  if (map.width == 0 || map.height == 0 || map.data.size() != std::size_t{map.width} * map.height ||
    !(map.resolution > 0.0) || !std::isfinite(map.resolution))
  {
    throw std::invalid_argument("the trace picture needs a map with cells and a resolution");
  }
  return kLongSidePixels / (std::max(map.width, map.height) * map.resolution);
}

// Text and attribute values with the five XML special characters escaped.
std::string escaped(const std::string & text)
{
  std::string result;
  for (const char c : text) {
    switch (c) {
      case '&': result += "&amp;"; break;
      case '<': result += "&lt;"; break;
      case '>': result += "&gt;"; break;
      case '"': result += "&quot;"; break;
      case '\'': result += "&apos;"; break;
      default: result += c;
    }
  }
  return result;
}

PlanarPose planar(const geometry_msgs::msg::Pose & pose)
{
  const auto & q = pose.orientation;
  const double yaw = std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
  return PlanarPose{pose.position.x, pose.position.y, yaw};
}
}  // namespace

std::vector<DrawnGoal> drawnGoals(const Scenario & scenario, const Trace & trace)
{
  std::vector<DrawnGoal> goals;
  for (std::size_t index = 0; index < scenario.goals.size(); ++index) {
    const ScenarioGoal & goal = scenario.goals[index];
    const std::size_t number = index + 1;
    DrawnGoal drawn;
    drawn.name = goal.name;
    const auto status = trace.statuses.find(number);
    if (status != trace.statuses.end()) {
      drawn.status = status->second;
    }
    const auto origin = trace.goal_origins.find(number);
    for (const auto & stamped : goal.goal.nav_path.poses) {
      const std::string & frame =
        stamped.header.frame_id.empty() ? goal.goal.nav_path.header.frame_id :
        stamped.header.frame_id;
      const PlanarPose pose = planar(stamped.pose);
      if (goal.goal.relative_to_base) {
        if (origin != trace.goal_origins.end()) {
          drawn.path.push_back(velmora_sim_robot::compose(origin->second, pose));
        }
      } else if (frame == "odom") {
        drawn.path.push_back(velmora_sim_robot::compose(scenario.start_pose, pose));
      } else {
        drawn.path.push_back(pose);
      }
    }
    goals.push_back(std::move(drawn));
  }
  return goals;
}

TraceSvgWriter::TraceSvgWriter(velmora_nav2_gridmap::OccupancyMap map)
: map_(std::move(map)), scale_(scaleOf(map_))
{
}

const char * TraceSvgWriter::statusColour(const std::string & status)
{
  if (status == "SUCCEEDED") {
    return "#2e7d32";
  }
  if (status == "CANCELED") {
    return "#ef6c00";
  }
  if (status == "ABORTED") {
    return "#c62828";
  }
  return "#757575";
}

void TraceSvgWriter::write(
  const PlanarPose & start, const std::vector<DrawnGoal> & goals,
  const std::vector<TraceSample> & samples, std::ostream & out) const
{
  // Formatted apart, so the caller's stream keeps its own number format.
  std::ostringstream svg;
  svg << std::fixed << std::setprecision(2);
  const double width = pixelWidth() + 2.0 * kMargin;
  const double height = pixelHeight() + 2.0 * kMargin + kLegendHeight;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\""
      << height << "\" viewBox=\"0 0 " << width << ' ' << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height
      << "\" fill=\"#ffffff\"/>\n";
  writeMap(svg);
  svg << "<g id=\"goals\">\n";
  for (std::size_t index = 0; index < goals.size(); ++index) {
    writeGoal(svg, index + 1, goals[index]);
  }
  svg << "</g>\n";
  writeTrajectories(svg, goals, samples);
  writeStart(svg, start);
  writeLegend(svg);
  svg << "</svg>\n";
  out << svg.str();
}

double TraceSvgWriter::pixelX(double x) const
{
  return kMargin + (x - map_.origin_x) * scale_;
}

double TraceSvgWriter::pixelY(double y) const
{
  // The image's y runs down, the map's up.
  return kMargin + (map_.origin_y + map_.height * map_.resolution - y) * scale_;
}

double TraceSvgWriter::pixelWidth() const
{
  return map_.width * map_.resolution * scale_;
}

double TraceSvgWriter::pixelHeight() const
{
  return map_.height * map_.resolution * scale_;
}

void TraceSvgWriter::writeMap(std::ostream & svg) const
{
  svg << "<g id=\"map\" shape-rendering=\"crispEdges\">\n"
      << "<rect class=\"map-area\" x=\"" << kMargin << "\" y=\"" << kMargin << "\" width=\""
      << pixelWidth() << "\" height=\"" << pixelHeight()
      << "\" fill=\"none\" stroke=\"#90a4ae\"/>\n";
  writeCellRuns(svg, velmora_nav2_gridmap::OccupancyMap::kUnknown, "unknown", kUnknownColour);
  writeCellRuns(svg, velmora_nav2_gridmap::OccupancyMap::kOccupied, "occupied", kOccupiedColour);
  svg << "</g>\n";
}

void TraceSvgWriter::writeCellRuns(
  std::ostream & svg, int8_t value, const char * kind, const char * colour) const
{
  const double cell = map_.resolution * scale_;
  for (unsigned int row = 0; row < map_.height; ++row) {
    const auto line = map_.data.begin() + static_cast<std::ptrdiff_t>(row) * map_.width;
    unsigned int column = 0;
    while (column < map_.width) {
      if (line[column] != value) {
        ++column;
        continue;
      }
      const unsigned int first = column;
      while (column < map_.width && line[column] == value) {
        ++column;
      }
      // Row 0 is the bottom of the map, so its top edge is the map's height above the origin
      // minus the rows above it.
      svg << "<rect class=\"" << kind << "\" x=\"" << kMargin + first * cell << "\" y=\""
          << kMargin + (map_.height - 1 - row) * cell << "\" width=\"" << (column - first) * cell
          << "\" height=\"" << cell << "\" fill=\"" << colour << "\"/>\n";
    }
  }
}

void TraceSvgWriter::writeGoal(std::ostream & svg, std::size_t number, const DrawnGoal & goal) const
{
  svg << "<g class=\"goal\" id=\"goal-" << number << "\">\n<title>goal " << number << ": "
      << escaped(goal.name) << "</title>\n";
  if (!goal.path.empty()) {
    svg << "<polyline class=\"path\" points=\"";
    for (std::size_t index = 0; index < goal.path.size(); ++index) {
      svg << (index == 0 ? "" : " ") << pixelX(goal.path[index].x) << ','
          << pixelY(goal.path[index].y);
    }
    svg << "\" fill=\"none\" stroke=\"" << kPathColour
        << "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>\n";
    const PlanarPose & target = goal.path.back();
    writePoseMarker(svg, target, "target", kPathColour, 4.0);
    svg << "<text class=\"label\" x=\"" << pixelX(target.x) + 6.0 << "\" y=\""
        << pixelY(target.y) - 6.0 << "\" fill=\"" << kPathColour << "\">" << number
        << "</text>\n";
  }
  svg << "</g>\n";
}

void TraceSvgWriter::writeTrajectories(
  std::ostream & svg, const std::vector<DrawnGoal> & goals,
  const std::vector<TraceSample> & samples) const
{
  std::map<std::size_t, std::vector<const TraceSample *>> by_goal;
  for (const TraceSample & sample : samples) {
    if (sample.goal >= 1 && sample.goal <= goals.size()) {
      by_goal[sample.goal].push_back(&sample);
    }
  }
  svg << "<g id=\"trajectories\" fill=\"none\" stroke-width=\"2\" stroke-linejoin=\"round\">\n";
  for (const auto & [number, points] : by_goal) {
    const DrawnGoal & goal = goals[number - 1];
    svg << "<polyline class=\"trajectory\" data-goal=\"" << number << "\" stroke=\""
        << statusColour(goal.status) << "\" points=\"";
    for (std::size_t index = 0; index < points.size(); ++index) {
      svg << (index == 0 ? "" : " ") << pixelX(points[index]->pose.x) << ','
          << pixelY(points[index]->pose.y);
    }
    svg << "\"><title>goal " << number << ": "
        << escaped(goal.status.empty() ? "no final status" : goal.status) << "</title></polyline>\n";
  }
  svg << "</g>\n";
}

void TraceSvgWriter::writeStart(std::ostream & svg, const PlanarPose & start) const
{
  svg << "<g id=\"start\">\n";
  writePoseMarker(svg, start, "start", kStartColour, 6.0);
  svg << "<text x=\"" << pixelX(start.x) + 8.0 << "\" y=\"" << pixelY(start.y) + 16.0
      << "\" fill=\"" << kStartColour << "\">start</text>\n</g>\n";
}

void TraceSvgWriter::writeLegend(std::ostream & svg) const
{
  const std::pair<const char *, const char *> entries[] = {
    {"succeeded", statusColour("SUCCEEDED")}, {"cancelled", statusColour("CANCELED")},
    {"aborted", statusColour("ABORTED")}, {"other", statusColour("")}};
  const double y = pixelHeight() + 2.0 * kMargin + kLegendHeight / 2.0;
  double x = kMargin;
  svg << "<g id=\"legend\">\n"
      << "<line x1=\"" << x << "\" y1=\"" << y << "\" x2=\"" << x + 24.0 << "\" y2=\"" << y
      << "\" stroke=\"" << kPathColour << "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"/>\n"
      << "<text x=\"" << x + 30.0 << "\" y=\"" << y + 4.0 << "\">path</text>\n";
  for (const auto & [text, colour] : entries) {
    x += 110.0;
    svg << "<line x1=\"" << x << "\" y1=\"" << y << "\" x2=\"" << x + 24.0 << "\" y2=\"" << y
        << "\" stroke=\"" << colour << "\" stroke-width=\"2\"/>\n"
        << "<text x=\"" << x + 30.0 << "\" y=\"" << y + 4.0 << "\">" << text << "</text>\n";
  }
  svg << "</g>\n";
}

void TraceSvgWriter::writePoseMarker(
  std::ostream & svg, const PlanarPose & pose, const char * kind, const char * colour,
  double radius) const
{
  const double x = pixelX(pose.x);
  const double y = pixelY(pose.y);
  const double reach = 2.5 * radius;
  svg << "<circle class=\"" << kind << "\" cx=\"" << x << "\" cy=\"" << y << "\" r=\"" << radius
      << "\" fill=\"" << colour << "\"/>\n"
      << "<line class=\"" << kind << "-heading\" x1=\"" << x << "\" y1=\"" << y << "\" x2=\""
      << x + reach * std::cos(pose.yaw) << "\" y2=\"" << y - reach * std::sin(pose.yaw)
      << "\" stroke=\"" << colour << "\" stroke-width=\"2\"/>\n";
}

}  // namespace velmora_apps
