// The TEB local planner driving a simulated holonomic base in hand-made worlds, on paths as a
// global planner hands them (a pose every 0.05 m along the centre line, each facing along its
// segment): through a door 0.3 m wider than the robot, round the bend of a corridor 0.6 m wider
// than it, across open floor; both ways, starting aligned with the path, across it and facing
// back. And where it has to give up: a wall across the path, a wall it cannot brake for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "collision/footprint_cells.hpp"
#include "collision/footprint_outline.hpp"
#include "collision/footprint_sweep.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "teb_local_planner/teb_local_planner_ros.hpp"
#include "velmora/testing/map_pose.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace
{

using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using teb_local_planner::TebLocalPlannerROS;
using velmora::testing::pose;

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

// The robot's outline as the product configures it, and the simulated base's cycle.
const char kFootprint[] =
  "[[0.30, 0.25], [0.30, -0.25], [0.0, -0.25], [-0.30, -0.25], [-0.30, 0.25], [0.0, 0.25]]";
constexpr double kCycle = 0.05;
constexpr double kResolution = 0.05;
constexpr int kMapSize = 8;  // m, square, corner at the origin
// Deviations nearer than this to a corner of the path belong to the bend, not a straight stretch.
constexpr double kBendZone = 0.8;

struct Point
{
  double x;
  double y;
};

// An axis-aligned rectangle of the map, in metres.
struct Box
{
  double x0;
  double y0;
  double x1;
  double y1;
};

// A world: the free floor (everything else lethal) and the centre line of the path through it.
struct World
{
  const char * name;
  std::vector<Box> floor;
  std::vector<Point> centre_line;
};

const World kDoor{
  "Door0_8m",
  // Open rooms either side of a 0.2 m wall at x 3.9-4.1 with a 0.8 m door at y 3.6-4.4.
  {{0.5, 0.5, 3.9, 7.5}, {4.1, 0.5, 7.5, 7.5}, {3.9, 3.6, 4.1, 4.4}},
  {{2.0, 4.0}, {6.0, 4.0}}};
const World kBentCorridor{
  "Corridor1_1mWithABend",
  // 1.1 m wide: east along y 2.0, then north along x 5.0.
  {{0.5, 1.45, 5.55, 2.55}, {4.45, 1.45, 5.55, 7.0}},
  {{1.0, 2.0}, {5.0, 2.0}, {5.0, 6.0}}};
const World kOpenFloor{
  "OpenFloor",
  {{0.5, 0.5, 7.5, 7.5}},
  {{1.5, 1.5}, {6.5, 5.0}}};

// A pose every 0.05 m along the polyline, each facing the next (the last the one before it).
nav_msgs::msg::Path plannedPath(const std::vector<Point> & centre_line)
{
  std::vector<Point> points{centre_line.front()};
  for (std::size_t i = 1; i < centre_line.size(); ++i) {
    const Point & a = centre_line[i - 1];
    const Point & b = centre_line[i];
    const int steps = static_cast<int>(std::round(std::hypot(b.x - a.x, b.y - a.y) / 0.05));
    for (int k = 1; k <= steps; ++k) {
      points.push_back({a.x + (b.x - a.x) * k / steps, a.y + (b.y - a.y) * k / steps});
    }
  }
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point & from = i + 1 < points.size() ? points[i] : points[i - 1];
    const Point & to = i + 1 < points.size() ? points[i + 1] : points[i];
    path.poses.push_back(pose(points[i].x, points[i].y, std::atan2(to.y - from.y, to.x - from.x)));
  }
  return path;
}

double distanceToSegment(const Point & p, const Point & a, const Point & b)
{
  const double length2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
  const double t = std::clamp(
    ((p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y)) / length2, 0.0, 1.0);
  return std::hypot(a.x + t * (b.x - a.x) - p.x, a.y + t * (b.y - a.y) - p.y);
}

double distanceToLine(const Point & p, const std::vector<Point> & line)
{
  double nearest = std::hypot(p.x - line[0].x, p.y - line[0].y);
  for (std::size_t i = 1; i < line.size(); ++i) {
    nearest = std::min(nearest, distanceToSegment(p, line[i - 1], line[i]));
  }
  return nearest;
}

bool nearACorner(const Point & p, const std::vector<Point> & line)
{
  for (std::size_t i = 1; i + 1 < line.size(); ++i) {
    if (std::hypot(p.x - line[i].x, p.y - line[i].y) < kBendZone) {
      return true;
    }
  }
  return false;
}

// A static costmap of the given floor, lethal elsewhere, and the robot's footprint.
std::shared_ptr<nav2_costmap_2d::Costmap2DROS> makeCostmap(const World & world)
{
  auto costmap_ros = std::make_shared<nav2_costmap_2d::Costmap2DROS>(
    std::string("closed_loop_costmap_") + world.name);
  costmap_ros->set_parameter(rclcpp::Parameter("footprint", kFootprint));
  costmap_ros->set_parameter(rclcpp::Parameter("width", kMapSize));
  costmap_ros->set_parameter(rclcpp::Parameter("height", kMapSize));
  costmap_ros->set_parameter(rclcpp::Parameter("resolution", kResolution));
  costmap_ros->configure();
  auto * costmap = costmap_ros->getCostmap();
  for (unsigned int mx = 0; mx < costmap->getSizeInCellsX(); ++mx) {
    for (unsigned int my = 0; my < costmap->getSizeInCellsY(); ++my) {
      double x = 0.0;
      double y = 0.0;
      costmap->mapToWorld(mx, my, x, y);
      const bool on_floor = std::any_of(
        world.floor.begin(), world.floor.end(), [&](const Box & box) {
          return x > box.x0 && x < box.x1 && y > box.y0 && y < box.y1;
        });
      costmap->setCost(mx, my, on_floor ? nav2_costmap_2d::FREE_SPACE :
        nav2_costmap_2d::LETHAL_OBSTACLE);
    }
  }
  return costmap_ros;
}

// Whether the footprint placed at the pose covers a lethal cell (or leaves the map).
bool coversLethal(nav2_costmap_2d::Costmap2DROS & costmap_ros, const Collision::Pose2 & at)
{
  auto & costmap = *costmap_ros.getCostmap();
  Collision::FootprintOutline outline;
  outline.place(at, costmap_ros.getRobotFootprint());
  Collision::FootprintCells cells(costmap);
  if (!cells.cover(outline, Collision::FootprintCells::Extent::area)) {
    return true;
  }
  return std::any_of(
    cells.cells().begin(), cells.cells().end(), [&](const nav2_costmap_2d::MapLocation & cell) {
      return costmap.getCost(cell.x, cell.y) == nav2_costmap_2d::LETHAL_OBSTACLE;
    });
}

// What a run of the simulated base did.
struct Drive
{
  Collision::Pose2 end;
  int cycles{0};
  bool touched_an_obstacle{false};
  double straight_deviation{0.0};  // the largest, away from corners
  double deviation{0.0};           // the largest anywhere
  std::string failure;             // the planner's message when it gave up
};

class Harness
{
public:
  explicit Harness(std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros)
  : costmap_ros_(std::move(costmap_ros)),
    node_(std::make_shared<rclcpp_lifecycle::LifecycleNode>("teb_closed_loop_node")),
    planner_(std::make_shared<TebLocalPlannerROS>())
  {
    planner_->configure(node_, "TebPlanning", costmap_ros_->getTfBuffer(), costmap_ros_);
    planner_->activate();
  }

  // Steps the base on the planner's commands at 20 Hz (the exact motion of a constant
  // command, as the simulated robot integrates it) until the centre is within 0.05 m of the
  // path's end and the base has all but stopped, the planner gives up, or `max_cycles` pass.
  Drive drive(
    const std::vector<Point> & centre_line, Collision::Pose2 start, Twist velocity = Twist(),
    int max_cycles = 1500)
  {
    planner_->setPlan(plannedPath(centre_line));
    const Point goal = centre_line.back();
    Drive run;
    run.end = start;
    for (; run.cycles < max_cycles; ++run.cycles) {
      const Point centre{run.end.x, run.end.y};
      run.touched_an_obstacle = run.touched_an_obstacle || coversLethal(*costmap_ros_, run.end);
      const double deviation = distanceToLine(centre, centre_line);
      run.deviation = std::max(run.deviation, deviation);
      if (!nearACorner(centre, centre_line)) {
        run.straight_deviation = std::max(run.straight_deviation, deviation);
      }
      const bool stopping = std::hypot(velocity.linear.x, velocity.linear.y) < 0.02;
      if (std::hypot(goal.x - centre.x, goal.y - centre.y) < 0.05 && stopping) {
        break;
      }
      try {
        velocity = planner_->computeVelocityCommands(
          pose(run.end.x, run.end.y, run.end.yaw), velocity, nullptr).twist;
      } catch (const nav2_core::PlannerException & exception) {
        run.failure = exception.what();
        break;
      }
      run.end = Collision::FootprintSweep::poseAt(
        run.end, {velocity.linear.x, velocity.linear.y, velocity.angular.z}, kCycle);
    }
    return run;
  }

private:
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::shared_ptr<TebLocalPlannerROS> planner_;
};

// --- Following paths --------------------------------------------------------------------------

enum class Direction {forward, backward};

struct Case
{
  const World * world;
  Direction direction;
  int start_heading_deg;  // off the path's direction
};

std::string nameOf(const Case & c)
{
  return std::string(c.world->name) + (c.direction == Direction::forward ? "Forward" : "Backward") +
         "Heading" + std::to_string(c.start_heading_deg);
}

std::string caseName(const ::testing::TestParamInfo<Case> & info) {return nameOf(info.param);}

void PrintTo(const Case & c, std::ostream * os) {*os << nameOf(c);}

class ClosedLoopTest : public ::testing::TestWithParam<Case>
{
protected:
  static void SetUpTestSuite()
  {
    for (const World * world : {&kDoor, &kBentCorridor, &kOpenFloor}) {
      costmaps_.push_back(makeCostmap(*world));
    }
  }
  static void TearDownTestSuite() {costmaps_.clear();}

  static std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmapOf(const World * world)
  {
    if (world == &kDoor) {
      return costmaps_[0];
    }
    return world == &kBentCorridor ? costmaps_[1] : costmaps_[2];
  }

  static std::vector<std::shared_ptr<nav2_costmap_2d::Costmap2DROS>> costmaps_;
};

std::vector<std::shared_ptr<nav2_costmap_2d::Costmap2DROS>> ClosedLoopTest::costmaps_;

TEST_P(ClosedLoopTest, ReachesTheEndClearOfObstaclesAndOnThePath)
{
  const Case & c = GetParam();
  std::vector<Point> line = c.world->centre_line;
  if (c.direction == Direction::backward) {
    std::reverse(line.begin(), line.end());
  }
  const double path_heading = std::atan2(line[1].y - line[0].y, line[1].x - line[0].x);
  const Collision::Pose2 start{
    line[0].x, line[0].y, path_heading + c.start_heading_deg * M_PI / 180.0};

  Harness harness(costmapOf(c.world));
  const Drive run = harness.drive(line, start);

  ASSERT_EQ(run.failure, "");
  EXPECT_LE(std::hypot(run.end.x - line.back().x, run.end.y - line.back().y), 0.1)
    << "ended at (" << run.end.x << ", " << run.end.y << ") after " << run.cycles << " cycles";
  EXPECT_LT(run.cycles, 1500) << "it stops there";
  const double end_heading = std::atan2(
    line.back().y - line[line.size() - 2].y, line.back().x - line[line.size() - 2].x);
  EXPECT_NEAR(std::remainder(run.end.yaw - end_heading, 2.0 * M_PI), 0.0, 0.15)
    << "it faces along the path's end";
  EXPECT_FALSE(run.touched_an_obstacle);
  EXPECT_LE(run.straight_deviation, 0.1);
  EXPECT_LE(run.deviation, 0.25) << "round the bend";
}

std::vector<Case> allCases()
{
  std::vector<Case> cases;
  for (const World * world : {&kDoor, &kBentCorridor, &kOpenFloor}) {
    for (Direction direction : {Direction::forward, Direction::backward}) {
      for (int heading : {0, 90, 180}) {
        cases.push_back({world, direction, heading});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Worlds, ClosedLoopTest, ::testing::ValuesIn(allCases()), caseName);

// --- Giving up --------------------------------------------------------------------------------

class GivingUpTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    // Open floor with a wall across it at x 4.0-4.2.
    walled_ = makeCostmap({"WallAcross", {{0.5, 0.5, 4.0, 7.5}, {4.2, 0.5, 7.5, 7.5}}, {}});
  }
  static void TearDownTestSuite() {walled_.reset();}

  static std::shared_ptr<nav2_costmap_2d::Costmap2DROS> walled_;
};

std::shared_ptr<nav2_costmap_2d::Costmap2DROS> GivingUpTest::walled_;

TEST_F(GivingUpTest, StopsShortOfAWallAcrossThePathAndSaysWhere)
{
  Harness harness(walled_);
  const Drive run = harness.drive({{1.5, 4.0}, {6.5, 4.0}}, {1.5, 4.0, 0.0});
  EXPECT_NE(run.failure.find("the path is blocked by an obstacle"), std::string::npos)
    << run.failure;
  EXPECT_FALSE(run.touched_an_obstacle);
  EXPECT_GT(run.end.x, 2.5) << "it drove up to the wall before giving up";
}

TEST_F(GivingUpTest, ARobotThatCannotBrakeBeforeAWallIsBoxedIn)
{
  // Facing the wall 0.1 m off at full speed, the path turning away along it: no command one
  // period of braking reaches keeps the footprint clear for the simulation time.
  Harness harness(walled_);
  Twist fast;
  fast.linear.x = 0.5;
  const Drive run = harness.drive({{3.6, 4.0}, {3.6, 6.5}}, {3.59, 4.0, 0.0}, fast, 1);
  EXPECT_NE(run.failure.find("the robot is boxed in"), std::string::npos) << run.failure;
  EXPECT_NE(run.failure.find("(0.50, 0.00, 0.00)"), std::string::npos) << run.failure;
}

}  // namespace
