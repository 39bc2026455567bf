// The simulator runner's trace: what the recorder samples while a scenario runs, the CSV rows and
// the SVG picture written from it, and the runner telling the recorder about its goals.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base_robot/base_robot.hpp"
#include "rclcpp/rclcpp.hpp"
#include "scenario.hpp"
#include "scenario_runner.hpp"
#include "simulated_stack.hpp"
#include "trace_csv_writer.hpp"
#include "trace_recorder.hpp"
#include "trace_svg_writer.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"
#include "velmora_sim_robot/sim_robot.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace velmora_apps
{
namespace
{

using namespace std::chrono_literals;
using velmora_nav2_gridmap::OccupancyMap;
using velmora_sim_robot::BodyTwist;
using velmora_sim_robot::PlanarPose;
using Attributes = std::map<std::string, std::string>;

constexpr double kPi = 3.14159265358979323846;
constexpr auto kDeadline = 5s;

// The robot outline of the demo's parameter file, given the way an operator would: -p on the
// command line (quoted, as the footprint is a string), taken by the costmap node, the one node
// that declares it.
constexpr const char * kFootprintOverride =
  "footprint:='[[0.30, 0.25], [0.30, -0.25], [-0.30, -0.25], [-0.30, 0.25]]'";
const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(
  new velmora::testing::RclcppEnvironment({"--ros-args", "-p", kFootprintOverride}));

// The attributes of every `tag` element, in document order.
std::vector<Attributes> elements(const std::string & svg, const std::string & tag)
{
  std::vector<Attributes> found;
  const std::regex element("<" + tag + "\\s([^>]*)>");
  const std::regex attribute("([\\w-]+)=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
    it != std::sregex_iterator(); ++it)
  {
    const std::string body = (*it)[1];
    Attributes attributes;
    for (auto at = std::sregex_iterator(body.begin(), body.end(), attribute);
      at != std::sregex_iterator(); ++at)
    {
      attributes[(*at)[1]] = (*at)[2];
    }
    found.push_back(attributes);
  }
  return found;
}

std::vector<Attributes> withClass(const std::vector<Attributes> & all, const std::string & kind)
{
  std::vector<Attributes> found;
  for (const Attributes & attributes : all) {
    if (attributes.count("class") && attributes.at("class") == kind) {
      found.push_back(attributes);
    }
  }
  return found;
}

double number(const Attributes & attributes, const std::string & name)
{
  return std::stod(attributes.at(name));
}

std::vector<std::pair<double, double>> points(const Attributes & polyline)
{
  std::vector<std::pair<double, double>> result;
  std::istringstream text(polyline.at("points"));
  double x = 0.0;
  double y = 0.0;
  char comma = 0;
  while (text >> x >> comma >> y) {
    result.emplace_back(x, y);
  }
  return result;
}

// Enough of XML to catch broken output: tags closed in the order opened, one root, no '<' inside
// a tag, and every '&' starting one of the five predefined entities.
::testing::AssertionResult wellFormed(const std::string & xml)
{
  static const std::regex entity("&(amp|lt|gt|quot|apos);");
  std::size_t ampersands = 0;
  for (std::size_t at = xml.find('&'); at != std::string::npos; at = xml.find('&', at + 1)) {
    ++ampersands;
  }
  const auto entities = static_cast<std::size_t>(
    std::distance(std::sregex_iterator(xml.begin(), xml.end(), entity), std::sregex_iterator()));
  if (entities != ampersands) {
    return ::testing::AssertionFailure() << "an '&' starts no entity";
  }
  std::vector<std::string> open;
  std::size_t roots = 0;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at)) {
    const std::size_t end = xml.find('>', at);
    if (end == std::string::npos) {
      return ::testing::AssertionFailure() << "unterminated tag at " << at;
    }
    const std::string tag = xml.substr(at + 1, end - at - 1);
    at = end;
    if (tag.empty() || tag.find('<') != std::string::npos) {
      return ::testing::AssertionFailure() << "broken tag <" << tag << ">";
    }
    if (tag.front() == '?') {
      continue;
    }
    if (tag.front() == '/') {
      if (open.empty() || open.back() != tag.substr(1)) {
        return ::testing::AssertionFailure() << "</" << tag.substr(1) << "> closes nothing open";
      }
      open.pop_back();
      continue;
    }
    roots += open.empty() ? 1 : 0;
    if (tag.back() != '/') {
      open.push_back(tag.substr(0, tag.find_first_of(" \n\t")));
    }
  }
  if (!open.empty()) {
    return ::testing::AssertionFailure() << "<" << open.back() << "> is never closed";
  }
  if (roots != 1) {
    return ::testing::AssertionFailure() << roots << " root elements";
  }
  return ::testing::AssertionSuccess();
}

TEST(TraceCsvTest, WritesAHeaderAndOneRowPerSample)
{
  const std::vector<TraceSample> samples{
    {0.0, 0, {1.0, 2.0, 0.5}, {0.0, 0.0, 0.0}},
    {0.05, 3, {1.25, -2.5, -kPi}, {0.3, -0.1, 0.25}}};
  std::ostringstream out;
  out << std::scientific;
  writeTraceCsv(samples, out);
  EXPECT_EQ(
    out.str(),
    "time_s,goal,x,y,yaw,vx,vy,wz\n"
    "0.000,0,1.0000,2.0000,0.5000,0.0000,0.0000,0.0000\n"
    "0.050,3,1.2500,-2.5000,-3.1416,0.3000,-0.1000,0.2500\n");

  std::ostringstream empty;
  writeTraceCsv({}, empty);
  EXPECT_EQ(empty.str(), "time_s,goal,x,y,yaw,vx,vy,wz\n");
}

// A 2 m x 1.5 m map of 0.5 m cells whose lower-left corner is at (-1, 2), rows from the bottom:
//   row 0: # . # #
//   row 1: . ? . .
//   row 2: # # # #
OccupancyMap tinyMap()
{
  constexpr int8_t o = OccupancyMap::kOccupied;
  constexpr int8_t f = OccupancyMap::kFree;
  constexpr int8_t u = OccupancyMap::kUnknown;
  OccupancyMap map;
  map.width = 4;
  map.height = 3;
  map.resolution = 0.5;
  map.origin_x = -1.0;
  map.origin_y = 2.0;
  map.data = {o, f, o, o, f, u, f, f, o, o, o, o};
  return map;
}

class TraceSvgTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    goals_ = {
      {"slide", {{-0.5, 2.5, 0.0}, {0.5, 3.0, kPi / 2.0}}, "SUCCEEDED"},
      {"A & B <C>", {{0.5, 3.0, 0.0}, {0.0, 3.0, 0.0}}, "CANCELED"},
      {"refused", {{0.0, 3.0, 0.0}, {0.0, 3.4, 0.0}}, "ABORTED"},
      {"never moved", {{0.0, 3.0, 0.0}, {0.0, 3.0, 0.0}}, "TIMEOUT"}};
    samples_ = {
      {0.0, 0, {-0.5, 2.5, 0.0}, {}},
      {0.1, 1, {-0.5, 2.5, 0.0}, {}},
      {0.2, 1, {0.0, 2.75, 0.5}, {}},
      {0.3, 1, {0.5, 3.0, 1.5}, {}},
      {0.4, 2, {0.25, 3.0, 0.0}, {}},
      {0.5, 2, {0.1, 3.0, 0.0}, {}},
      {0.6, 3, {0.1, 3.1, 0.0}, {}}};
    std::ostringstream out;
    TraceSvgWriter(tinyMap()).write({-0.75, 2.25, kPi}, goals_, samples_, out);
    svg_ = out.str();

    // The picture's frame: the map area's corner and pixels per metre.
    const auto area = withClass(elements(svg_, "rect"), "map-area");
    ASSERT_EQ(area.size(), 1u);
    left_ = number(area[0], "x");
    top_ = number(area[0], "y");
    scale_ = number(area[0], "width") / 2.0;
  }

  std::pair<double, double> pixel(const PlanarPose & pose) const
  {
    return {left_ + (pose.x + 1.0) * scale_, top_ + (3.5 - pose.y) * scale_};
  }

  // (x, y, width, height) in cells, the top row being row 0 of the picture.
  std::set<std::tuple<long, long, long, long>> cellRects(const std::string & kind) const
  {
    const double cell = 0.5 * scale_;
    std::set<std::tuple<long, long, long, long>> rects;
    for (const Attributes & rect : withClass(elements(svg_, "rect"), kind)) {
      rects.emplace(
        std::lround((number(rect, "x") - left_) / cell), std::lround((number(rect, "y") - top_) / cell),
        std::lround(number(rect, "width") / cell), std::lround(number(rect, "height") / cell));
    }
    return rects;
  }

  static void expectPoints(
    const Attributes & polyline, const std::vector<std::pair<double, double>> & expected)
  {
    const auto actual = points(polyline);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
      EXPECT_NEAR(actual[index].first, expected[index].first, 0.01) << "point " << index;
      EXPECT_NEAR(actual[index].second, expected[index].second, 0.01) << "point " << index;
    }
  }

  std::vector<DrawnGoal> goals_;
  std::vector<TraceSample> samples_;
  std::string svg_;
  double left_{0.0};
  double top_{0.0};
  double scale_{0.0};
};

TEST_F(TraceSvgTest, IsWellFormedAndSizedToTheMap)
{
  EXPECT_TRUE(wellFormed(svg_));
  EXPECT_EQ(svg_.rfind("<?xml", 0), 0u);
  EXPECT_NEAR(scale_ * 2.0, 1000.0, 1.0);
  const auto root = elements(svg_, "svg");
  ASSERT_EQ(root.size(), 1u);
  EXPECT_GE(number(root[0], "width"), left_ + 2.0 * scale_);
  EXPECT_GE(number(root[0], "height"), top_ + 1.5 * scale_);
  // A goal name is text, not markup.
  EXPECT_NE(svg_.find("A &amp; B &lt;C&gt;"), std::string::npos);
  EXPECT_EQ(svg_.find("A & B"), std::string::npos);
}

TEST_F(TraceSvgTest, DrawsOccupiedAndUnknownCellsAsHorizontalRunsWithYUp)
{
  // Map row 0 is the picture's bottom row (2), map row 2 its top row (0).
  const std::set<std::tuple<long, long, long, long>> occupied{
    {0, 2, 1, 1}, {2, 2, 2, 1}, {0, 0, 4, 1}};
  EXPECT_EQ(cellRects("occupied"), occupied);
  const std::set<std::tuple<long, long, long, long>> unknown{{1, 1, 1, 1}};
  EXPECT_EQ(cellRects("unknown"), unknown);
}

TEST_F(TraceSvgTest, DrawsOneTrajectoryPerGoalColouredByItsStatus)
{
  const auto trajectories = withClass(elements(svg_, "polyline"), "trajectory");
  // Nothing before the first goal, nothing for a goal without samples.
  ASSERT_EQ(trajectories.size(), 3u);
  const std::set<std::string> colours{
    TraceSvgWriter::statusColour("SUCCEEDED"), TraceSvgWriter::statusColour("CANCELED"),
    TraceSvgWriter::statusColour("ABORTED"), TraceSvgWriter::statusColour("TIMEOUT")};
  EXPECT_EQ(colours.size(), 4u) << "every outcome has a colour of its own";
  for (std::size_t index = 0; index < trajectories.size(); ++index) {
    EXPECT_EQ(trajectories[index].at("data-goal"), std::to_string(index + 1));
    EXPECT_EQ(trajectories[index].at("stroke"), TraceSvgWriter::statusColour(goals_[index].status));
  }
  expectPoints(
    trajectories[0],
    {pixel(samples_[1].pose), pixel(samples_[2].pose), pixel(samples_[3].pose)});
  expectPoints(trajectories[1], {pixel(samples_[4].pose), pixel(samples_[5].pose)});
  expectPoints(trajectories[2], {pixel(samples_[6].pose)});
}

TEST_F(TraceSvgTest, MarksEachPathItsNumberedTargetAndTheStart)
{
  const auto paths = withClass(elements(svg_, "polyline"), "path");
  ASSERT_EQ(paths.size(), goals_.size());
  const auto targets = withClass(elements(svg_, "circle"), "target");
  ASSERT_EQ(targets.size(), goals_.size());
  for (std::size_t index = 0; index < goals_.size(); ++index) {
    const auto & path = goals_[index].path;
    expectPoints(paths[index], {pixel(path.front()), pixel(path.back())});
    EXPECT_NEAR(number(targets[index], "cx"), pixel(path.back()).first, 0.01);
    EXPECT_NEAR(number(targets[index], "cy"), pixel(path.back()).second, 0.01);
    const std::regex label(
      "<text class=\"label\"[^>]*>" + std::to_string(index + 1) + "</text>");
    EXPECT_TRUE(std::regex_search(svg_, label)) << "goal " << index + 1;
  }
  // The first target faces north: its heading stroke points up the picture.
  const auto headings = withClass(elements(svg_, "line"), "target-heading");
  ASSERT_EQ(headings.size(), goals_.size());
  EXPECT_NEAR(number(headings[0], "x2"), number(headings[0], "x1"), 0.01);
  EXPECT_LT(number(headings[0], "y2"), number(headings[0], "y1"));

  const auto start = withClass(elements(svg_, "circle"), "start");
  ASSERT_EQ(start.size(), 1u);
  EXPECT_NEAR(number(start[0], "cx"), pixel({-0.75, 2.25, 0.0}).first, 0.01);
  EXPECT_NEAR(number(start[0], "cy"), pixel({-0.75, 2.25, 0.0}).second, 0.01);
}

TEST(TraceSvgWriterTest, RefusesAMapWithoutCellsOrResolution)
{
  OccupancyMap empty = tinyMap();
  empty.width = 0;
  empty.data.clear();
  EXPECT_THROW(TraceSvgWriter{empty}, std::invalid_argument);
  OccupancyMap flat = tinyMap();
  flat.resolution = 0.0;
  EXPECT_THROW(TraceSvgWriter{flat}, std::invalid_argument);
}

ScenarioGoal scenarioGoal(
  const std::string & frame, bool relative_to_base, const std::vector<PlanarPose> & path)
{
  ScenarioGoal goal;
  goal.goal.relative_to_base = relative_to_base;
  goal.goal.nav_path.header.frame_id = frame;
  for (const PlanarPose & pose : path) {
    geometry_msgs::msg::PoseStamped stamped;
    stamped.header.frame_id = frame;
    stamped.pose.position.x = pose.x;
    stamped.pose.position.y = pose.y;
    stamped.pose.orientation = BaseRobot().eulerToQuaternion(pose.yaw, 0.0, 0.0);
    goal.goal.nav_path.poses.push_back(stamped);
  }
  return goal;
}

void expectPose(const PlanarPose & actual, const PlanarPose & expected)
{
  EXPECT_NEAR(actual.x, expected.x, 1e-9);
  EXPECT_NEAR(actual.y, expected.y, 1e-9);
  EXPECT_NEAR(actual.yaw, expected.yaw, 1e-9);
}

TEST(DrawnGoalsTest, PlacesEveryPathInTheMapFrameWithItsFinalStatus)
{
  Scenario scenario;
  scenario.start_pose = {2.0, 1.0, kPi / 2.0};
  scenario.goals = {
    scenarioGoal("map", false, {{1.0, 2.0, 0.3}, {3.0, 4.0, 0.6}}),
    scenarioGoal("odom", false, {{1.0, 0.0, 0.0}}),
    scenarioGoal("map", true, {{1.0, -1.0, 0.5}}),
    scenarioGoal("map", true, {{1.0, 0.0, 0.0}})};
  scenario.goals[0].name = "first";
  Trace trace;
  trace.goal_origins[3] = {5.0, 5.0, kPi};
  trace.statuses = {{1, "SUCCEEDED"}, {3, "ABORTED"}};

  const std::vector<DrawnGoal> goals = drawnGoals(scenario, trace);
  ASSERT_EQ(goals.size(), 4u);
  EXPECT_EQ(goals[0].name, "first");
  EXPECT_EQ(goals[0].status, "SUCCEEDED");
  ASSERT_EQ(goals[0].path.size(), 2u);
  expectPose(goals[0].path[1], {3.0, 4.0, 0.6});
  // The odometry frame sits at the start pose: 1 m ahead of a robot facing north.
  EXPECT_EQ(goals[1].status, "");
  ASSERT_EQ(goals[1].path.size(), 1u);
  expectPose(goals[1].path[0], {2.0, 2.0, kPi / 2.0});
  // Relative to a robot at (5, 5) facing west: 1 m ahead and 1 m to its right.
  EXPECT_EQ(goals[2].status, "ABORTED");
  ASSERT_EQ(goals[2].path.size(), 1u);
  expectPose(goals[2].path[0], {4.0, 6.0, -kPi + 0.5});
  // Relative to a robot pose never recorded: nothing to draw.
  EXPECT_TRUE(goals[3].path.empty());
}

// Polls `recorder` until `condition` holds for its trace; false when the deadline passed.
bool traceReaches(const TraceRecorder & recorder, const std::function<bool(const Trace &)> & condition)
{
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (!condition(recorder.trace())) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

bool samePose(const PlanarPose & left, const PlanarPose & right)
{
  return left.x == right.x && left.y == right.y && left.yaw == right.yaw;
}

TEST(TraceRecorderTest, SamplesPoseAndCommandTaggedWithTheGoalLastSent)
{
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = {1.0, 2.0, 0.5};
  velmora_sim_robot::SimRobot robot(std::make_shared<rclcpp::Node>("trace_robot"), options);
  geometry_msgs::msg::Twist command;
  command.linear.x = 0.2;
  command.angular.z = 0.1;
  robot.publishVelocity(command);

  TraceRecorder recorder(robot, 200.0);
  recorder.start();
  const PlanarPose before = robot.mapPose();
  ASSERT_TRUE(traceReaches(recorder, [](const Trace & trace) {return trace.samples.size() >= 2;}));
  recorder.goalSent(0);
  robot.step(1.0);
  const PlanarPose after = robot.mapPose();
  ASSERT_FALSE(samePose(before, after));
  ASSERT_TRUE(
    traceReaches(
      recorder, [&](const Trace & trace) {
        return trace.samples.back().goal == 1 && samePose(trace.samples.back().pose, after);
      }));
  recorder.goalFinished(0, "SUCCEEDED");
  recorder.stop();
  EXPECT_THROW(recorder.start(), std::logic_error);

  const Trace trace = recorder.trace();
  EXPECT_EQ(trace.samples.front().goal, 0u);
  EXPECT_GE(trace.samples.front().time, 0.0);
  for (std::size_t index = 0; index < trace.samples.size(); ++index) {
    const TraceSample & sample = trace.samples[index];
    EXPECT_TRUE(samePose(sample.pose, before) || samePose(sample.pose, after)) << index;
    EXPECT_EQ(sample.command, robot.command()) << index;
    if (index > 0) {
      EXPECT_GE(sample.time, trace.samples[index - 1].time) << index;
      EXPECT_GE(sample.goal, trace.samples[index - 1].goal) << index;
    }
    if (sample.goal == 0) {
      EXPECT_TRUE(samePose(sample.pose, before)) << "sample " << index << " before the goal";
    }
  }
  ASSERT_EQ(trace.goal_origins.count(1), 1u);
  EXPECT_TRUE(samePose(trace.goal_origins.at(1), before));
  EXPECT_EQ(trace.statuses, (std::map<std::size_t, std::string>{{1, "SUCCEEDED"}}));
}

TEST(TraceRecorderTest, RefusesARateThatIsNotPositive)
{
  velmora_sim_robot::SimRobot robot(std::make_shared<rclcpp::Node>("rate_robot"));
  EXPECT_THROW(TraceRecorder(robot, 0.0), std::invalid_argument);
  EXPECT_THROW(TraceRecorder(robot, -20.0), std::invalid_argument);
  EXPECT_THROW(TraceRecorder(robot, std::nan("")), std::invalid_argument);
}

// Hears what the runner reports, in order.
class GoalLog : public GoalObserver
{
public:
  void goalSent(std::size_t index) override {events.push_back("sent " + std::to_string(index));}
  void goalFinished(std::size_t index, const std::string & status) override
  {
    events.push_back("finished " + std::to_string(index) + " " + status);
  }
  std::vector<std::string> events;
};

TEST(ScenarioRunnerObserverTest, HearsEachGoalSentAndItsFinalStatus)
{
  const PlanarPose start{6.5, 4.2, 0.0};
  Scenario scenario;
  scenario.start_pose = start;
  scenario.goals = {scenarioGoal("map", false, {start, start}), scenarioGoal("map", false, {start, start})};
  scenario.goals[0].goal.controller_id = "warp_drive_controller";
  scenario.goals[0].expected_status = "ABORTED";
  scenario.goals[1].goal.controller_id = "lateral_move_controller";
  scenario.goals[1].expected_status = "SUCCEEDED";
  for (ScenarioGoal & goal : scenario.goals) {
    goal.goal.controller_frequency = 20;
    goal.timeout_seconds = 10.0;
  }

  SimulatedStack stack(start);
  GoalLog log;
  std::ostringstream out;
  ScenarioRunner runner(stack.robot(), out, &log);
  EXPECT_TRUE(runner.run(scenario)) << out.str();
  EXPECT_EQ(
    log.events, (std::vector<std::string>{
    "sent 0", "finished 0 ABORTED", "sent 1", "finished 1 SUCCEEDED"}));
}

}  // namespace
}  // namespace velmora_apps
