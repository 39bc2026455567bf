#ifndef APPS__SCENARIO_HPP_
#define APPS__SCENARIO_HPP_

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_apps
{

// A scenario that cannot be used; the message names the file and the field.
class ScenarioError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// One goal of a scenario and how it must end.
struct ScenarioGoal
{
  std::string name;
  velmora_nav2_protocol::action::Controller::Goal goal;
  std::string expected_status;  // SUCCEEDED, CANCELED or ABORTED
  double timeout_seconds{60.0};
  // Cancel the goal this long after sending it.
  std::optional<double> cancel_after_seconds;
  // Send the next goal this long after this one, while it still runs.
  std::optional<double> preempt_after_seconds;
};

struct Scenario
{
  velmora_sim_robot::PlanarPose start_pose;
  std::vector<ScenarioGoal> goals;
};

// Reads a scenario file (YAML):
//
//   start_pose: [x, y, yaw]                 # in the map frame
//   goals:
//     - name: text
//       controller_id: lateral_move_controller
//       controller_frequency: 20            # Hz
//       path: [[x, y, yaw], ...]            # poses of nav_path
//       path_spacing: 0.05                  # optional: fill a pose in every 0.05 m between
//                                           #   the listed ones, facing along the segment
//                                           #   (100000 poses at most)
//       frame_id: map                       # optional, default "map"
//       relative_to_base: false             # optional goal options, default false/0:
//       run_mode: 0                         #   finished, precise_goal_reaching, backward,
//       speed_limit_percent: 0.0            #   stop_in_place, fine_goal_reach, tolerance,
//                                           #   near_destination
//       max_velocity: [0.3, 0.2, 0.5]       # optional cap [x, y, theta]; default all 0
//       extra_goals: [[x, y, yaw], ...]     # optional poses that also end the goal
//       expect: SUCCEEDED                   # SUCCEEDED, CANCELED or ABORTED
//       timeout: 60                         # optional, seconds (each wait at most a day)
//       cancel_after: 1.0                   # optional, seconds
//       preempt_after: 1.0                  # optional, seconds
//
// Throws ScenarioError naming the file and the field for anything missing, mistyped or unknown.
Scenario loadScenario(const std::string & path);

// The waypoints (at least one) with poses filled in every `spacing` metres (> 0) along each
// straight segment, as a global planner hands a path over; a filled-in pose faces along its
// segment, the waypoints keep their own headings.
std::vector<velmora_sim_robot::PlanarPose> fillInPath(
  const std::vector<velmora_sim_robot::PlanarPose> & waypoints, double spacing);

}  // namespace velmora_apps

#endif  // APPS__SCENARIO_HPP_
