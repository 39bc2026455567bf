#ifndef APPS__TRACE_SVG_WRITER_HPP_
#define APPS__TRACE_SVG_WRITER_HPP_

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scenario.hpp"
#include "trace_recorder.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_apps
{

// One goal as the picture shows it.
struct DrawnGoal
{
  std::string name;
  std::vector<velmora_sim_robot::PlanarPose> path;  // in the map frame
  std::string status;  // final status; empty when the goal never ended
};

// The goals of a scenario in the map frame, with the final statuses of a trace. A path given
// relative to the robot is placed where the robot was when the goal was sent (left empty when it
// never was); one in "odom" is placed at the start pose, where the simulated robot fixes the
// odometry frame; any other frame is taken as the map.
std::vector<DrawnGoal> drawnGoals(const Scenario & scenario, const Trace & trace);

// Draws a run as SVG: the occupancy map (occupied and unknown cells as horizontal runs), each
// goal's path with its target marked and numbered, the driven trajectory as one polyline per
// goal coloured by the goal's final status, the start pose and a legend. The map's long side
// is scaled to about a thousand pixels, with y pointing up as in the map.
class TraceSvgWriter
{
public:
  // Throws std::invalid_argument for a map without cells or without a positive resolution.
  explicit TraceSvgWriter(velmora_nav2_gridmap::OccupancyMap map);

  // Goal number n (as in the samples) is goals[n - 1]; samples before the first goal are not
  // drawn.
  void write(
    const velmora_sim_robot::PlanarPose & start, const std::vector<DrawnGoal> & goals,
    const std::vector<TraceSample> & samples, std::ostream & out) const;

  // The stroke colour of a trajectory that ended with `status`.
  static const char * statusColour(const std::string & status);

private:
  double pixelX(double x) const;
  double pixelY(double y) const;
  double pixelWidth() const;
  double pixelHeight() const;
  void writeMap(std::ostream & svg) const;
  // The cells holding `value`, one rectangle per horizontal run.
  void writeCellRuns(
    std::ostream & svg, int8_t value, const char * kind, const char * colour) const;
  void writeGoal(std::ostream & svg, std::size_t number, const DrawnGoal & goal) const;
  void writeTrajectories(
    std::ostream & svg, const std::vector<DrawnGoal> & goals,
    const std::vector<TraceSample> & samples) const;
  void writeStart(std::ostream & svg, const velmora_sim_robot::PlanarPose & start) const;
  void writeLegend(std::ostream & svg) const;
  // A marker pointing along `yaw`: a circle and a heading stroke.
  void writePoseMarker(
    std::ostream & svg, const velmora_sim_robot::PlanarPose & pose, const char * kind,
    const char * colour, double radius) const;

  const velmora_nav2_gridmap::OccupancyMap map_;
  const double scale_;  // pixels per metre
};

}  // namespace velmora_apps

#endif  // APPS__TRACE_SVG_WRITER_HPP_
