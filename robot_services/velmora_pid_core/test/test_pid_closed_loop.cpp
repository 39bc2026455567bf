// The PID core driving a unicycle at 20 Hz through a door, round the bend of a narrow corridor
// and over open floor, in a hand-made world with lethal walls, under the controllers' rule: the
// path starts with the robot's pose, and every command must keep the robot's padded footprint
// clear for half a second of its motion, or the goal would be aborted.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "collision/collision_check.hpp"
#include "pid_core/controller.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmora/testing/rclcpp_environment.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kCycle = 0.05;           // 20 Hz, as the controllers run
constexpr double kLookAheadTime = 0.5;    // the controllers' collision look-ahead, s
constexpr double kOffPath = 0.1;          // how far the centre may stray from the path, m
constexpr double kMaxTurnPerSpeed = 2.0;  // the straight-only controller's bound on sin|wz| / vx
constexpr int kMaxCycles = 2400;          // two minutes of driving

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

struct Point2
{
  double x;
  double y;
};

std::ostream & operator<<(std::ostream & out, const Point2 & p)
{
  return out << "(" << p.x << ", " << p.y << ")";
}

geometry_msgs::msg::PoseStamped stampedPose(double x, double y, double yaw, double time)
{
  geometry_msgs::msg::PoseStamped result;
  result.header.frame_id = "map";
  result.header.stamp.sec = static_cast<int32_t>(std::floor(time));
  result.header.stamp.nanosec = static_cast<uint32_t>((time - std::floor(time)) * 1e9);
  result.pose.position.x = x;
  result.pose.position.y = y;
  result.pose.orientation.z = std::sin(yaw / 2.0);
  result.pose.orientation.w = std::cos(yaw / 2.0);
  return result;
}

// The world, 12 m x 6 m at 0.05 m, walled round. West: a room split at x 3.0 - 3.1 by a wall
// with a 0.8 m door (y 1.6 - 2.4). East of x 6.5 all is wall but a 1.1 m corridor: along
// y 1.5 from its dead end at x 6.8 to x 10.0, then north along x 10.0 to its dead end at y 5.5.
class World
{
public:
  static constexpr double kResolution = 0.05;
  static constexpr int kWidth = 240;
  static constexpr int kHeight = 120;

  World()
  {
    char pattern[] = "/tmp/velmora_pid_closed_loop_XXXXXX";
    directory_ = mkdtemp(pattern);
    std::string pixels(kWidth * kHeight, '\xfe');
    for (int my = 0; my < kHeight; ++my) {
      for (int mx = 0; mx < kWidth; ++mx) {
        if (isWall((mx + 0.5) * kResolution, (my + 0.5) * kResolution)) {
          pixels[(kHeight - 1 - my) * kWidth + mx] = '\0';  // the image's first line is the top
        }
      }
    }
    std::ofstream(directory_ + "/world.pgm", std::ios::binary)
      << "P5 " << kWidth << " " << kHeight << " 255\n" << pixels;
    std::ofstream(directory_ + "/world.yaml")
      << "image: world.pgm\nresolution: 0.05\norigin: [0.0, 0.0, 0.0]\n"
      << "occupied_thresh: 0.65\nfree_thresh: 0.2\n";
  }
  ~World() {std::system(("rm -rf " + directory_).c_str());}

  std::string yaml() const {return directory_ + "/world.yaml";}

private:
  static bool isWall(double x, double y)
  {
    const bool border = x < 0.1 || y < 0.1 || x > 11.9 || y > 5.9;
    const bool door_wall = x > 3.0 && x < 3.1 && (y < 1.6 || y > 2.4);
    const bool corridor = (x > 6.8 && x < 10.55 && std::fabs(y - 1.5) < 0.55) ||
      (std::fabs(x - 10.0) < 0.55 && y > 0.95 && y < 5.5);
    return border || door_wall || (x > 6.5 && !corridor);
  }

  std::string directory_;
};

// A path as a global planner hands it: a pose every 0.05 m along the polyline, each facing
// along its stretch (or against it, for a path planned to be driven backwards).
std::vector<geometry_msgs::msg::PoseStamped> plannedPoses(
  const std::vector<Point2> & polyline, bool backwards)
{
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
    const Point2 a = polyline[i];
    const Point2 b = polyline[i + 1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const double heading = std::atan2(b.y - a.y, b.x - a.x) + (backwards ? kPi : 0.0);
    const int steps = static_cast<int>(std::round(length / 0.05));
    for (int k = 0; k < steps; ++k) {
      const double share = static_cast<double>(k) / steps;
      poses.push_back(
        stampedPose(a.x + share * (b.x - a.x), a.y + share * (b.y - a.y), heading, 0.0));
    }
  }
  const Point2 last = polyline.back();
  poses.push_back(poses.empty() ? stampedPose(last.x, last.y, 0.0, 0.0) : poses.back());
  poses.back().pose.position.x = last.x;
  poses.back().pose.position.y = last.y;
  return poses;
}

double distanceToPolyline(const std::vector<Point2> & polyline, double x, double y)
{
  double nearest = std::hypot(polyline[0].x - x, polyline[0].y - y);
  for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
    const Point2 a = polyline[i];
    const Point2 b = polyline[i + 1];
    const double length2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
    const double t = std::clamp(((x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y)) / length2, 0.0, 1.0);
    nearest = std::min(nearest, std::hypot(a.x + t * (b.x - a.x) - x, a.y + t * (b.y - a.y) - y));
  }
  return nearest;
}

struct Route
{
  const char * name;
  std::vector<Point2> polyline;
  bool backwards;  // planned to be driven in reverse
};

std::vector<Point2> reversed(std::vector<Point2> polyline)
{
  return {polyline.rbegin(), polyline.rend()};
}

const std::vector<Point2> kThroughTheDoor{{1.5, 2.0}, {4.5, 2.0}};
const std::vector<Point2> kRoundTheBend{{7.4, 1.5}, {10.0, 1.5}, {10.0, 4.9}};
const std::vector<Point2> kAcrossTheFloor{{0.8, 0.8}, {2.4, 3.6}};

std::vector<Route> routes()
{
  return {
    {"door_eastwards", kThroughTheDoor, false},
    {"door_westwards", reversed(kThroughTheDoor), false},
    {"bend_north", kRoundTheBend, false},
    {"bend_west", reversed(kRoundTheBend), false},
    {"floor_diagonal", kAcrossTheFloor, false},
    {"door_reversing", kThroughTheDoor, true},
  };
}

struct Drive
{
  Route route;
  double start_turn;  // the robot's heading at the start, from the path's first direction, rad
};

std::ostream & operator<<(std::ostream & out, const Drive & run)
{
  return out << run.route.name << " turned " << run.start_turn;
}

class PidClosedLoop : public ::testing::TestWithParam<Drive>
{
protected:
  static void SetUpTestSuite()
  {
    world_ = std::make_unique<World>();
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>(
      "closed_loop_costmap",
      std::vector<rclcpp::Parameter>{
        rclcpp::Parameter("yaml_filename", world_->yaml()),
        rclcpp::Parameter(
          "footprint",
          "[[0.30, 0.25], [0.30, -0.25], [0.0, -0.25], [-0.30, -0.25], [-0.30, 0.25], [0.0, 0.25]]"),
        rclcpp::Parameter("footprint_padding", 0.01),
        rclcpp::Parameter("inflation_layer.inflation_radius", 0.55)});
  }

  static void TearDownTestSuite()
  {
    grid_map_.reset();
    world_.reset();
  }

  // The padded footprint's half ahead of the centre, as the straight-only controller checks it.
  static std::vector<geometry_msgs::msg::Point> frontFootprint()
  {
    std::vector<geometry_msgs::msg::Point> front;
    for (const auto & point : grid_map_->getCostmapROS()->getRobotFootprint()) {
      if (point.x >= 0.0) {
        front.push_back(point);
      }
    }
    return front;
  }

  // What a drive came to.
  struct Outcome
  {
    bool arrived{false};
    int refusals{0};
    int collisions{0};
    double worst_off_path{0.0};
    Point2 worst_at{0.0, 0.0};
    Point2 end{0.0, 0.0};
  };

  // Drives the route from its first point with the robot turned by `start_turn`. The command
  // must pass `allowed` (given the pose) or it is counted as refused and the drive ends.
  template<typename Allowed>
  Outcome drive(const Route & route, double start_turn, Allowed allowed)
  {
    const Point2 a = route.polyline[0];
    const Point2 b = route.polyline[1];
    double x = a.x;
    double y = a.y;
    double yaw = std::atan2(b.y - a.y, b.x - a.x) + (route.backwards ? kPi : 0.0) + start_turn;
    double time = 100.0;

    nav_msgs::msg::Path path;
    path.header.frame_id = "map";
    path.poses.push_back(stampedPose(x, y, yaw, time));
    for (const auto & planned : plannedPoses(route.polyline, route.backwards)) {
      path.poses.push_back(planned);
    }
    Controller core;
    core.init();
    core.setStraightCB(path);

    Outcome outcome;
    for (int cycle = 0; cycle < kMaxCycles; ++cycle) {
      const auto at = stampedPose(x, y, yaw, time);
      geometry_msgs::msg::Twist command;
      if (core.getVelocityCommands(at, command)) {
        outcome.arrived = true;
        break;
      }
      if (!allowed(at.pose, command)) {
        ++outcome.refusals;
        break;
      }
      // Exact for a command held over the cycle: an arc, or a straight line.
      const double v = command.linear.x;
      const double w = command.angular.z;
      if (std::fabs(w) > 1e-9) {
        x += v / w * (std::sin(yaw + w * kCycle) - std::sin(yaw));
        y -= v / w * (std::cos(yaw + w * kCycle) - std::cos(yaw));
      } else {
        x += v * std::cos(yaw) * kCycle;
        y += v * std::sin(yaw) * kCycle;
      }
      yaw += w * kCycle;
      time += kCycle;
      if (!check_.isCollisionFreeDt(stampedPose(x, y, yaw, time).pose, command, 0.0)) {
        ++outcome.collisions;
      }
      const double off_path = distanceToPolyline(route.polyline, x, y);
      if (off_path > outcome.worst_off_path) {
        outcome.worst_off_path = off_path;
        outcome.worst_at = {x, y};
      }
    }
    outcome.end = {x, y};
    return outcome;
  }

  static std::unique_ptr<World> world_;
  static std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  Collision::CollisionCheck check_{grid_map_};
};

std::unique_ptr<World> PidClosedLoop::world_;
std::shared_ptr<velmora_nav2_gridmap::GridMapROS> PidClosedLoop::grid_map_;

TEST_P(PidClosedLoop, ReachesTheEndOnThePathWithEveryCommandClearForHalfASecond)
{
  const Drive run = GetParam();
  const Outcome outcome = drive(
    run.route, run.start_turn,
    [this](const geometry_msgs::msg::Pose & at, const geometry_msgs::msg::Twist & command) {
      return check_.isCollisionFreeDt(at, command, kLookAheadTime);
    });
  EXPECT_EQ(outcome.refusals, 0) << "a command refused at " << outcome.end;
  EXPECT_TRUE(outcome.arrived) << "stopped at " << outcome.end;
  EXPECT_EQ(outcome.collisions, 0);
  EXPECT_LE(outcome.worst_off_path, kOffPath) << "at " << outcome.worst_at;
  const Point2 last = run.route.polyline.back();
  EXPECT_LT(
    std::hypot(outcome.end.x - last.x, outcome.end.y - last.y),
    Controller::kArrivalTolerance + 0.02);
}

std::vector<Drive> everyRouteFromThreeHeadings()
{
  std::vector<Drive> runs;
  for (const Route & route : routes()) {
    for (const double turn : {0.0, kPi / 2.0, kPi}) {
      runs.push_back({route, turn});
    }
  }
  return runs;
}

INSTANTIATE_TEST_SUITE_P(
  DoorBendAndFloor, PidClosedLoop, ::testing::ValuesIn(everyRouteFromThreeHeadings()),
  [](const ::testing::TestParamInfo<Drive> & info) {
    return std::string(info.param.route.name) + "_turned_" +
    std::to_string(static_cast<int>(std::round(info.param.start_turn * 180.0 / kPi)));
  });

// The straight-only controller's refusals: reversing, turning on the spot or too tightly for the
// speed, and its front half running into something within half a second.
class StraightOnlyClosedLoop : public PidClosedLoop {};

TEST_P(StraightOnlyClosedLoop, DrivesAStraightPathStartedRoughlyAlignedWithoutARefusal)
{
  const Drive run = GetParam();
  const auto front = frontFootprint();
  ASSERT_EQ(front.size(), 4u);
  const Outcome outcome = drive(
    run.route, run.start_turn,
    [&](const geometry_msgs::msg::Pose & at, const geometry_msgs::msg::Twist & command) {
      if (command.linear.x < 0.0) {
        ADD_FAILURE() << "reversing";
        return false;
      }
      const bool still = command.linear.x == 0.0 && command.angular.z == 0.0;
      if (!still && std::sin(std::fabs(command.angular.z)) / command.linear.x > kMaxTurnPerSpeed) {
        ADD_FAILURE() << "turning " << command.angular.z << " at " << command.linear.x;
        return false;
      }
      return check_.isCollisionFreeDt(at, command, kLookAheadTime, front);
    });
  EXPECT_EQ(outcome.refusals, 0) << "a command refused at " << outcome.end;
  EXPECT_TRUE(outcome.arrived);
  EXPECT_EQ(outcome.collisions, 0);
  EXPECT_LE(outcome.worst_off_path, kOffPath) << "at " << outcome.worst_at;
}

INSTANTIATE_TEST_SUITE_P(
  DoorAndFloor, StraightOnlyClosedLoop,
  ::testing::Values(
    Drive{{"door_eastwards", kThroughTheDoor, false}, 0.0},
    Drive{{"door_westwards", reversed(kThroughTheDoor), false}, -0.15},
    Drive{{"floor_diagonal", kAcrossTheFloor, false}, 0.3}),
  [](const ::testing::TestParamInfo<Drive> & info) {return std::string(info.param.route.name);});

}  // namespace
