#include "scenario.hpp"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include <yaml-cpp/yaml.h>

#include "base_robot/base_robot.hpp"

namespace velmora_apps
{

namespace
{

const std::set<std::string> kGoalKeys{
  "name", "controller_id", "controller_frequency", "path", "frame_id", "relative_to_base",
  "run_mode", "speed_limit_percent", "finished", "precise_goal_reaching", "backward",
  "stop_in_place", "fine_goal_reach", "tolerance", "expect", "timeout", "cancel_after",
  "preempt_after", "path_spacing", "max_velocity", "near_destination", "extra_goals"};
const std::set<std::string> kStatuses{"SUCCEEDED", "CANCELED", "ABORTED"};
// Longer waits are typos, not tests, and far longer ones do not fit the runner's clock.
constexpr double kLongestWaitSeconds = 86400.0;
// A fill-in denser or longer than this would eat the runner's memory rather than make a path.
constexpr double kMostFilledPoses = 100000.0;

// How many poses fillInPath makes of `waypoints` at `spacing`, counted without making them.
double filledPoseCount(
  const std::vector<velmora_sim_robot::PlanarPose> & waypoints, double spacing)
{
  double count = 1.0;
  for (std::size_t i = 0; i + 1 < waypoints.size(); ++i) {
    const double length =
      std::hypot(waypoints[i + 1].x - waypoints[i].x, waypoints[i + 1].y - waypoints[i].y);
    count += std::max(1.0, std::ceil(length / spacing));
  }
  return count;
}

// Reads fields of one YAML map, naming the file and the field in every error.
class FieldReader
{
public:
  FieldReader(const YAML::Node & node, std::string file, std::string where)
  : node_(node), file_(std::move(file)), where_(std::move(where)) {}

  template<typename T>
  T required(const std::string & key) const
  {
    if (!node_[key]) {
      fail(key, "is missing");
    }
    return read<T>(key);
  }

  template<typename T>
  T optional(const std::string & key, const T & fallback) const
  {
    return node_[key] ? read<T>(key) : fallback;
  }

  // A wait: a finite number of seconds up to a day, above 0 or, if `zero_allowed`, at least 0.
  std::optional<double> optionalSeconds(const std::string & key, bool zero_allowed) const
  {
    if (!node_[key]) {
      return std::nullopt;
    }
    const auto seconds = read<double>(key);
    const bool above_floor = zero_allowed ? seconds >= 0.0 : seconds > 0.0;
    if (!above_floor || !(seconds <= kLongestWaitSeconds)) {
      fail(
        key, std::string("must be a ") + (zero_allowed ? "non-negative" : "positive") +
        " number of seconds, at most " + std::to_string(static_cast<int>(kLongestWaitSeconds)));
    }
    return seconds;
  }

  // A pose written as [x, y, yaw].
  velmora_sim_robot::PlanarPose pose(const YAML::Node & value, const std::string & key) const
  {
    if (!value.IsSequence() || value.size() != 3) {
      fail(key, "must be [x, y, yaw]");
    }
    try {
      velmora_sim_robot::PlanarPose pose{
        value[0].as<double>(), value[1].as<double>(), value[2].as<double>()};
      if (!std::isfinite(pose.x) || !std::isfinite(pose.y) || !std::isfinite(pose.yaw)) {
        fail(key, "must hold finite numbers");
      }
      return pose;
    } catch (const YAML::Exception &) {
      fail(key, "must be [x, y, yaw] numbers");
    }
  }

  // A velocity cap written as [x, y, theta]: numbers, .nan included (the controller decides
  // what a cap that is not a number means).
  geometry_msgs::msg::Twist velocityCap(const std::string & key) const
  {
    const YAML::Node value = node_[key];
    if (!value.IsSequence() || value.size() != 3) {
      fail(key, "must be [x, y, theta]");
    }
    try {
      geometry_msgs::msg::Twist cap;
      cap.linear.x = value[0].as<double>();
      cap.linear.y = value[1].as<double>();
      cap.angular.z = value[2].as<double>();
      return cap;
    } catch (const YAML::Exception &) {
      fail(key, "must be [x, y, theta] numbers");
    }
  }

  [[noreturn]] void fail(const std::string & key, const std::string & problem) const
  {
    throw ScenarioError(file_ + ": " + where_ + key + " " + problem);
  }

private:
  template<typename T>
  T read(const std::string & key) const
  {
    try {
      return node_[key].as<T>();
    } catch (const YAML::Exception &) {
      fail(key, "has the wrong type");
    }
  }

  YAML::Node node_;
  std::string file_;
  std::string where_;
};

ScenarioGoal readGoal(const YAML::Node & node, const std::string & file, std::size_t index)
{
  const std::string where = "goals[" + std::to_string(index) + "].";
  const FieldReader field(node, file, where);
  if (!node.IsMap()) {
    throw ScenarioError(file + ": goals[" + std::to_string(index) + "] must be a map");
  }
  for (const auto & entry : node) {
    const auto key = entry.first.as<std::string>();
    if (kGoalKeys.count(key) == 0) {
      field.fail(key, "is not a goal field");
    }
  }

  ScenarioGoal result;
  result.name = field.optional<std::string>("name", "goal " + std::to_string(index + 1));
  auto & goal = result.goal;
  goal.controller_id = field.required<std::string>("controller_id");
  goal.controller_frequency = field.required<int32_t>("controller_frequency");
  goal.relative_to_base = field.optional<bool>("relative_to_base", false);
  goal.run_mode = field.optional<int32_t>("run_mode", 0);
  goal.speed_limit_percent = field.optional<float>("speed_limit_percent", 0.0F);
  goal.finished = field.optional<bool>("finished", false);
  goal.precise_goal_reaching = field.optional<bool>("precise_goal_reaching", false);
  goal.backward = field.optional<bool>("backward", false);
  goal.stop_in_place = field.optional<bool>("stop_in_place", false);
  goal.fine_goal_reach = field.optional<bool>("fine_goal_reach", false);
  goal.tolerance = field.optional<float>("tolerance", 0.0F);
  goal.near_destination = field.optional<bool>("near_destination", false);
  if (node["max_velocity"]) {
    goal.max_velocity = field.velocityCap("max_velocity");
  }

  const auto frame_id = field.optional<std::string>("frame_id", "map");
  goal.nav_path.header.frame_id = frame_id;
  const YAML::Node path = node["path"];
  if (!path || !path.IsSequence() || path.size() == 0) {
    field.fail("path", "must be a non-empty list of [x, y, yaw]");
  }
  std::vector<velmora_sim_robot::PlanarPose> waypoints;
  for (std::size_t i = 0; i < path.size(); ++i) {
    waypoints.push_back(field.pose(path[i], "path[" + std::to_string(i) + "]"));
  }
  if (node["path_spacing"]) {
    const auto spacing = field.required<double>("path_spacing");
    if (!(spacing > 0.0) || !std::isfinite(spacing)) {
      field.fail("path_spacing", "must be a positive number of metres");
    }
    if (!(filledPoseCount(waypoints, spacing) <= kMostFilledPoses)) {
      field.fail(
        "path_spacing", "would fill the path with more than " +
        std::to_string(static_cast<int>(kMostFilledPoses)) + " poses");
    }
    waypoints = fillInPath(waypoints, spacing);
  }
  const BaseRobot geometry;
  const auto stamped = [&geometry, &frame_id](const velmora_sim_robot::PlanarPose & pose) {
      geometry_msgs::msg::PoseStamped result;
      result.header.frame_id = frame_id;
      result.pose.position.x = pose.x;
      result.pose.position.y = pose.y;
      result.pose.orientation = geometry.eulerToQuaternion(pose.yaw, 0.0, 0.0);
      return result;
    };
  for (const auto & pose : waypoints) {
    goal.nav_path.poses.push_back(stamped(pose));
  }
  if (const YAML::Node extra_goals = node["extra_goals"]) {
    if (!extra_goals.IsSequence()) {
      field.fail("extra_goals", "must be a list of [x, y, yaw]");
    }
    for (std::size_t i = 0; i < extra_goals.size(); ++i) {
      goal.extra_goals.push_back(
        stamped(field.pose(extra_goals[i], "extra_goals[" + std::to_string(i) + "]")));
    }
  }

  result.expected_status = field.required<std::string>("expect");
  if (kStatuses.count(result.expected_status) == 0) {
    field.fail("expect", "must be SUCCEEDED, CANCELED or ABORTED");
  }
  result.timeout_seconds =
    field.optionalSeconds("timeout", false).value_or(result.timeout_seconds);
  result.cancel_after_seconds = field.optionalSeconds("cancel_after", true);
  result.preempt_after_seconds = field.optionalSeconds("preempt_after", true);
  return result;
}

}  // namespace

std::vector<velmora_sim_robot::PlanarPose> fillInPath(
  const std::vector<velmora_sim_robot::PlanarPose> & waypoints, double spacing)
{
  std::vector<velmora_sim_robot::PlanarPose> poses;
  for (std::size_t i = 0; i + 1 < waypoints.size(); ++i) {
    const auto & from = waypoints[i];
    const auto & to = waypoints[i + 1];
    poses.push_back(from);
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    const double heading = std::atan2(to.y - from.y, to.x - from.x);
    const auto steps = static_cast<int>(std::ceil(length / spacing));
    for (int step = 1; step < steps; ++step) {
      const double share = static_cast<double>(step) / steps;
      poses.push_back(
        {from.x + share * (to.x - from.x), from.y + share * (to.y - from.y), heading});
    }
  }
  poses.push_back(waypoints.back());
  return poses;
}

Scenario loadScenario(const std::string & path)
{
  YAML::Node root;
  try {
    root = YAML::LoadFile(path);
  } catch (const YAML::BadFile &) {
    throw ScenarioError(path + ": cannot be read");
  } catch (const YAML::Exception & error) {
    throw ScenarioError(
            path + ":" + std::to_string(error.mark.line + 1) + ": " + error.msg);
  }
  if (!root.IsMap()) {
    throw ScenarioError(path + ": must be a map with start_pose and goals");
  }
  const FieldReader field(root, path, "");
  Scenario scenario;
  if (!root["start_pose"]) {
    field.fail("start_pose", "is missing");
  }
  scenario.start_pose = field.pose(root["start_pose"], "start_pose");
  const YAML::Node goals = root["goals"];
  if (!goals || !goals.IsSequence() || goals.size() == 0) {
    field.fail("goals", "must be a non-empty list");
  }
  for (std::size_t i = 0; i < goals.size(); ++i) {
    scenario.goals.push_back(readGoal(goals[i], path, i));
  }
  if (scenario.goals.back().preempt_after_seconds) {
    field.fail("goals", "cannot end with a goal that waits to be preempted");
  }
  return scenario;
}

}  // namespace velmora_apps
