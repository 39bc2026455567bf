#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_sim_robot/sim_robot.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

using velmora_nav2_gridmap::GridMapROS;
using velmora_nav2_gridmap::MapLoadError;

namespace
{
using namespace std::chrono_literals;

constexpr const char * kFootprint = "[[0.25, 0.2], [-0.25, 0.2], [-0.25, -0.2], [0.25, -0.2]]";

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

std::vector<rclcpp::Parameter> robotParameters(std::vector<rclcpp::Parameter> extra = {})
{
  std::vector<rclcpp::Parameter> parameters = {
    rclcpp::Parameter("footprint", kFootprint),
    rclcpp::Parameter("inflation_layer.inflation_radius", 0.55),
    rclcpp::Parameter("inflation_layer.cost_scaling_factor", 3.0)};
  parameters.insert(parameters.end(), extra.begin(), extra.end());
  return parameters;
}

geometry_msgs::msg::TransformStamped transform(
  const std::string & parent, const std::string & child, double x, double y, double yaw)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  t.transform.rotation = tf2::toMsg(q);
  return t;
}

unsigned char costAt(GridMapROS & grid_map, double wx, double wy)
{
  nav2_costmap_2d::Costmap2D * costmap = grid_map.getCostmapROS()->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  unsigned int mx = 0;
  unsigned int my = 0;
  EXPECT_TRUE(costmap->worldToMap(wx, wy, mx, my));
  return costmap->getCost(mx, my);
}

// Runs `make` and checks it throws E with every fragment in the message.
template<typename E, typename Make>
void expectRefused(Make make, const std::vector<std::string> & fragments)
{
  try {
    make();
    ADD_FAILURE() << "constructed without error";
  } catch (const E & e) {
    for (const auto & fragment : fragments) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos)
        << "'" << fragment << "' not in: " << e.what();
    }
  }
}

// Polls `condition` for up to 5 s: the costmap's threads do what is waited for.
template<typename Condition>
bool eventually(Condition condition)
{
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class ScratchDir
{
public:
  ScratchDir()
  {
    char pattern[] = "/tmp/velmora_gridmap_test_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() {std::system(("rm -rf " + path_).c_str());}

  std::string write(const std::string & name, const std::string & content) const
  {
    std::ofstream(path_ + "/" + name, std::ios::binary) << content;
    return path_ + "/" + name;
  }

private:
  std::string path_;
};
}  // namespace

TEST(GridMapROSTest, DefaultWorldBuildsTheCostmapNode)
{
  GridMapROS grid_map("global_costmap", robotParameters());
  auto costmap_ros = grid_map.getCostmapROS();
  ASSERT_NE(costmap_ros, nullptr);
  EXPECT_EQ(costmap_ros->getGlobalFrameID(), "map");
  EXPECT_EQ(costmap_ros->getBaseFrameID(), "base_footprint");
  EXPECT_STREQ(costmap_ros->get_namespace(), "/global_costmap");
  EXPECT_FALSE(costmap_ros->getUseRadius());
  ASSERT_EQ(costmap_ros->getRobotFootprint().size(), 4u);
  EXPECT_NEAR(costmap_ros->getRobotFootprint()[0].x, 0.26, 1e-6);   // padded by 0.01
  // The built-in world is the installed copy, never a path into the source tree.
  const std::string installed_map = "/share/velmora_nav2_gridmap/maps/warehouse.yaml";
  const std::string & map_file = grid_map.getMapFile();
  ASSERT_GE(map_file.size(), installed_map.size());
  EXPECT_EQ(map_file.substr(map_file.size() - installed_map.size()), installed_map);
  EXPECT_EQ(map_file, GridMapROS::defaultMapFile());
  EXPECT_TRUE(grid_map.waitForCostmap());

  const nav2_costmap_2d::Costmap2D * costmap = costmap_ros->getCostmap();
  EXPECT_EQ(costmap->getSizeInCellsX(), 400u);
  EXPECT_EQ(costmap->getSizeInCellsY(), 300u);
  EXPECT_FLOAT_EQ(costmap->getResolution(), 0.05);   // the map message carries a float32
  EXPECT_EQ(costAt(grid_map, 6.5, 3.0), nav2_costmap_2d::LETHAL_OBSTACLE);   // shelf
  EXPECT_EQ(costAt(grid_map, 6.5, 3.5), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(costAt(grid_map, 6.5, 4.4), nav2_costmap_2d::FREE_SPACE);    // aisle middle

  auto layers = grid_map.getMultiGridMap();
  ASSERT_NE(layers, nullptr);
  unsigned int mx = 0;
  unsigned int my = 0;
  ASSERT_TRUE(layers->getCostmap()->worldToMap(14.5, 10.0, mx, my));
  EXPECT_TRUE(layers->inNarrowPassage(mx, my, 0));
  ASSERT_TRUE(layers->getCostmap()->worldToMap(6.5, 4.4, mx, my));
  EXPECT_FALSE(layers->inNarrowPassage(mx, my, 0));
}

TEST(GridMapROSTest, ParametersChooseMapRadiusAndPassageWidth)
{
  ScratchDir dir;
  // 1 m x 0.5 m: a wall along the top row.
  std::string pixels(20 * 10, '\xfe');
  std::fill(pixels.begin(), pixels.begin() + 20, '\0');
  dir.write("room.pgm", "P5 20 10 255\n" + pixels);
  const std::string yaml = dir.write(
    "room.yaml",
    "image: room.pgm\nresolution: 0.05\norigin: [-2.0, 1.0, 0.0]\n"
    "occupied_thresh: 0.65\nfree_thresh: 0.2\n");

  GridMapROS grid_map(
    "room_costmap",
    {rclcpp::Parameter("yaml_filename", yaml), rclcpp::Parameter("robot_radius", 0.12),
      rclcpp::Parameter("narrow_passage_width", 2.0)});
  auto costmap_ros = grid_map.getCostmapROS();
  EXPECT_TRUE(costmap_ros->getUseRadius());
  EXPECT_DOUBLE_EQ(costmap_ros->getRobotRadius(), 0.12);
  EXPECT_EQ(costmap_ros->getRobotFootprint().size(), 16u);
  EXPECT_EQ(costmap_ros->getCostmap()->getSizeInCellsX(), 20u);
  EXPECT_DOUBLE_EQ(costmap_ros->getCostmap()->getOriginX(), -2.0);
  EXPECT_EQ(costAt(grid_map, -1.5, 1.475), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(costAt(grid_map, -1.5, 1.375), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(grid_map.getMapFile(), yaml);
  EXPECT_DOUBLE_EQ(grid_map.getMultiGridMap()->getNarrowPassageWidth(), 2.0);
}

TEST(GridMapROSTest, UnusableMapsAndParametersAreRefusedWithTheirNames)
{
  ScratchDir dir;
  const std::string absent = "/nonexistent/warehouse.yaml";
  expectRefused<MapLoadError>(
    [&] {GridMapROS("bad_map", robotParameters({rclcpp::Parameter("yaml_filename", absent)}));},
    {absent});
  const std::string no_resolution = dir.write(
    "partial.yaml", "image: x.pgm\norigin: [0, 0, 0]\noccupied_thresh: 0.65\nfree_thresh: 0.2\n");
  expectRefused<MapLoadError>(
    [&] {
      GridMapROS("partial_map", robotParameters({rclcpp::Parameter("yaml_filename", no_resolution)}));
    }, {no_resolution, "'resolution'"});
  dir.write("corrupt.pgm", "P5 20 10 255\n" + std::string(30, '\0'));
  const std::string corrupt = dir.write(
    "corrupt.yaml",
    "image: corrupt.pgm\nresolution: 0.05\norigin: [0, 0, 0]\noccupied_thresh: 0.65\n"
    "free_thresh: 0.2\n");
  expectRefused<MapLoadError>(
    [&] {GridMapROS("corrupt_map", robotParameters({rclcpp::Parameter("yaml_filename", corrupt)}));},
    {"corrupt.pgm", "truncated"});

  expectRefused<std::invalid_argument>(
    [] {GridMapROS("two_points", {rclcpp::Parameter("footprint", "[[0.3, 0.2], [-0.3, 0.2]]")});},
    {"'footprint'", "three"});
  expectRefused<std::invalid_argument>(
    [] {GridMapROS("garbled", {rclcpp::Parameter("footprint", "[[0.3, 0.2], [-0.3")});},
    {"'footprint'"});
  expectRefused<std::invalid_argument>(
    [] {GridMapROS("no_radius", {rclcpp::Parameter("robot_radius", 0.0)});}, {"'robot_radius'"});
  expectRefused<std::invalid_argument>(
    [] {GridMapROS("no_width", robotParameters({rclcpp::Parameter("narrow_passage_width", -1.0)}));},
    {"'narrow_passage_width'"});
  expectRefused<std::invalid_argument>(
    [] {GridMapROS("typo", robotParameters({rclcpp::Parameter("foot_print", kFootprint)}));},
    {"'foot_print'"});
}

TEST(GridMapROSTest, EachServicePublishesItsMapToItsOwnCostmap)
{
  ScratchDir dir;
  // 1 m x 0.5 m: a wall along the top row, one grey (unknown) pixel below it.
  std::string pixels(20 * 10, '\xfe');
  std::fill(pixels.begin(), pixels.begin() + 20, '\0');
  pixels[20 + 3] = '\x80';
  dir.write("room.pgm", "P5 20 10 255\n" + pixels);
  const std::string yaml = dir.write(
    "room.yaml",
    "image: room.pgm\nresolution: 0.05\norigin: [-2.0, 1.0, 0.0]\n"
    "occupied_thresh: 0.65\nfree_thresh: 0.2\n");

  GridMapROS warehouse("global_costmap", robotParameters());
  GridMapROS room("room_costmap", robotParameters({rclcpp::Parameter("yaml_filename", yaml)}));
  EXPECT_EQ(warehouse.getCostmapROS()->getCostmap()->getSizeInCellsX(), 400u);
  EXPECT_EQ(room.getCostmapROS()->getCostmap()->getSizeInCellsX(), 20u);
  EXPECT_EQ(room.getCostmapROS()->getCostmap()->getSizeInCellsY(), 10u);

  // What a map-server client sees on the room's topic.
  auto node = std::make_shared<rclcpp::Node>("map_listener");
  nav_msgs::msg::OccupancyGrid::SharedPtr received;
  auto subscription = node->create_subscription<nav_msgs::msg::OccupancyGrid>(
    "/room_costmap/map", rclcpp::QoS(1).transient_local().reliable(),
    [&received](nav_msgs::msg::OccupancyGrid::SharedPtr map) {received = map;});
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!received && std::chrono::steady_clock::now() < deadline) {
    executor.spin_some(10ms);
  }
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(received->header.frame_id, "map");
  EXPECT_EQ(received->info.width, 20u);
  EXPECT_EQ(received->info.height, 10u);
  EXPECT_FLOAT_EQ(received->info.resolution, 0.05f);
  EXPECT_DOUBLE_EQ(received->info.origin.position.x, -2.0);
  EXPECT_DOUBLE_EQ(received->info.origin.position.y, 1.0);
  ASSERT_EQ(received->data.size(), 200u);
  EXPECT_EQ(received->data[9 * 20 + 5], 100);   // the wall: the image's top line
  EXPECT_EQ(received->data[8 * 20 + 3], -1);
  EXPECT_EQ(received->data[0], 0);
}

TEST(GridMapROSTest, RefusesToStartWhenTheCostmapListensElsewhere)
{
  expectRefused<std::runtime_error>(
    [] {
      GridMapROS(
        "deaf_costmap",
        robotParameters({rclcpp::Parameter("static_layer.map_topic", "/nobody/map")}));
    }, {"'deaf_costmap'", "/deaf_costmap/map", "/nobody/map"});
}

TEST(GridMapROSTest, InvertedRobotPoseFacesBackward)
{
  GridMapROS grid_map("pose_costmap", robotParameters());
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = 42.0;
  EXPECT_FALSE(grid_map.getInvertedRobotPose(pose));
  EXPECT_EQ(pose.pose.position.x, 42.0);

  auto buffer = grid_map.getCostmapROS()->getTfBuffer();
  ASSERT_TRUE(buffer->setTransform(transform("map", "odom", 1.0, 0.5, 0.0), "test", true));
  ASSERT_TRUE(buffer->setTransform(transform("odom", "base_footprint", 1.0, 2.5, 0.5), "test", true));

  ASSERT_TRUE(grid_map.getInvertedRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 2.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 3.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), 0.5 - M_PI, 1e-9);

  geometry_msgs::msg::PoseStamped forward;
  ASSERT_TRUE(grid_map.getCostmapROS()->getRobotPose(forward));
  EXPECT_NEAR(tf2::getYaw(forward.pose.orientation), 0.5, 1e-9);

  ASSERT_TRUE(buffer->setTransform(transform("odom", "base_footprint", 1.0, 2.5, -3.0), "test", true));
  ASSERT_TRUE(grid_map.getInvertedRobotPose(pose));
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), M_PI - 3.0, 1e-9);
}

TEST(GridMapROSTest, WaitForCostmapFollowsTheCostmapNodeState)
{
  GridMapROS grid_map("wait_costmap", robotParameters());
  EXPECT_TRUE(grid_map.waitForCostmap(0ms));
  grid_map.getCostmapROS()->deactivate();
  EXPECT_FALSE(grid_map.waitForCostmap(20ms));
  grid_map.getCostmapROS()->activate();
  EXPECT_TRUE(grid_map.waitForCostmap(0ms));
}

TEST(GridMapROSTest, SeesTheSimulatedRobotThroughTf)
{
  GridMapROS grid_map("sim_costmap", robotParameters());
  auto node = std::make_shared<rclcpp::Node>("sim_robot_node");
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = {3.0, 4.4, 0.3};
  velmora_sim_robot::SimRobot robot(node, options);

  // The transforms travel over /tf to the costmap's listener thread.
  geometry_msgs::msg::PoseStamped pose;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!grid_map.getInvertedRobotPose(pose) && std::chrono::steady_clock::now() < deadline) {
  }
  ASSERT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 3.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 4.4, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), 0.3 - M_PI, 1e-9);
}

namespace
{
// A 10 m x 6 m room of 0.05 m cells with its corner at the origin: walls all round and a wall
// 1 m thick across x 4.5 .. 5.5, with a passage 0.8 m wide through it at y 2.6 .. 3.4.
std::string writeRoomWithPassage(const ScratchDir & dir)
{
  constexpr unsigned int kWidth = 200;
  constexpr unsigned int kHeight = 120;
  std::string pixels(kWidth * kHeight, '\xfe');
  auto wall = [&](unsigned int mx, unsigned int my) {
      pixels[(kHeight - 1 - my) * kWidth + mx] = '\0';   // the image's first line is the top
    };
  for (unsigned int mx = 0; mx < kWidth; ++mx) {
    wall(mx, 0);
    wall(mx, kHeight - 1);
  }
  for (unsigned int my = 0; my < kHeight; ++my) {
    wall(0, my);
    wall(kWidth - 1, my);
    for (unsigned int mx = 90; mx < 110 && (my < 52 || my >= 68); ++mx) {
      wall(mx, my);
    }
  }
  dir.write("passage.pgm", "P5 200 120 255\n" + pixels);
  return dir.write(
    "passage.yaml",
    "image: passage.pgm\nresolution: 0.05\norigin: [0.0, 0.0, 0.0]\n"
    "occupied_thresh: 0.65\nfree_thresh: 0.2\n");
}

// Whether the window's centre is within one cell of the robot: the window's origin stays on
// the grid of cells it started on.
bool centredOn(GridMapROS & grid_map, const velmora_sim_robot::PlanarPose & robot)
{
  nav2_costmap_2d::Costmap2D * window = grid_map.getCostmapROS()->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*window->getMutex());
  const double reach = window->getResolution() + 1e-9;
  return std::abs(window->getOriginX() + window->getSizeInMetersX() / 2 - robot.x) <= reach &&
         std::abs(window->getOriginY() + window->getSizeInMetersY() / 2 - robot.y) <= reach;
}

// Every cell of the window at least the inflation radius inside its edges (so that all the
// obstacles inflating it are in the window too) and on the map has the whole-map costmap's
// cost; returns how many cells were compared.
unsigned int expectWindowMatchesWholeMap(GridMapROS & rolling, GridMapROS & whole)
{
  nav2_costmap_2d::Costmap2D * window = rolling.getCostmapROS()->getCostmap();
  nav2_costmap_2d::Costmap2D * map = whole.getCostmapROS()->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*window->getMutex());
  const unsigned int margin = window->cellDistance(0.55) + 1;
  unsigned int compared = 0;
  for (unsigned int my = margin; my + margin < window->getSizeInCellsY(); ++my) {
    for (unsigned int mx = margin; mx + margin < window->getSizeInCellsX(); ++mx) {
      double wx = 0.0;
      double wy = 0.0;
      window->mapToWorld(mx, my, wx, wy);
      unsigned int sx = 0;
      unsigned int sy = 0;
      if (map->worldToMap(wx, wy, sx, sy)) {
        EXPECT_EQ(window->getCost(mx, my), map->getCost(sx, sy))
          << "at (" << wx << ", " << wy << ")";
        ++compared;
      }
    }
  }
  return compared;
}
}  // namespace

TEST(GridMapROSTest, RollingWindowFollowsTheSimulatedRobotOverTheWholeMap)
{
  ScratchDir dir;
  const std::string yaml = writeRoomWithPassage(dir);
  GridMapROS whole(
    "whole_room_costmap", robotParameters({rclcpp::Parameter("yaml_filename", yaml)}));
  GridMapROS rolling(
    "rolling_room_costmap",
    robotParameters(
      {rclcpp::Parameter("yaml_filename", yaml), rclcpp::Parameter("rolling_window", true),
        rclcpp::Parameter("width", 5), rclcpp::Parameter("height", 5),
        rclcpp::Parameter("resolution", 0.05), rclcpp::Parameter("track_unknown_space", true)}));
  // With no robot pose yet the window has no place: nothing to plan on.
  EXPECT_FALSE(rolling.waitForCostmap(300ms));
  const nav2_costmap_2d::Costmap2D * window = rolling.getCostmapROS()->getCostmap();
  EXPECT_EQ(window->getSizeInCellsX(), 100u);
  EXPECT_EQ(window->getSizeInCellsY(), 100u);
  EXPECT_DOUBLE_EQ(window->getResolution(), 0.05);

  // The narrow-passage layer covers the whole map, cell for cell as without the window.
  const auto layers = rolling.getMultiGridMap();
  const auto whole_layers = whole.getMultiGridMap();
  ASSERT_EQ(layers->getCostmap()->getSizeInCellsX(), 200u);
  ASSERT_EQ(layers->getCostmap()->getSizeInCellsY(), 120u);
  for (unsigned int my = 0; my < 120; ++my) {
    for (unsigned int mx = 0; mx < 200; ++mx) {
      ASSERT_EQ(layers->inNarrowPassage(mx, my, 0), whole_layers->inNarrowPassage(mx, my, 0))
        << "cell (" << mx << ", " << my << ")";
    }
  }
  EXPECT_TRUE(layers->inNarrowPassage(100, 60, 0));   // the passage
  EXPECT_FALSE(layers->inNarrowPassage(40, 60, 0));   // the room

  auto node = std::make_shared<rclcpp::Node>("rolling_sim_robot_node");
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = {2.02, 3.03, 0.0};
  velmora_sim_robot::SimRobot robot(node, options);
  EXPECT_TRUE(rolling.waitForCostmap(5000ms));
  ASSERT_TRUE(eventually([&] {return centredOn(rolling, robot.mapPose());}));
  EXPECT_EQ(costAt(rolling, 0.025, 3.0), nav2_costmap_2d::LETHAL_OBSTACLE);   // the left wall
  EXPECT_EQ(costAt(rolling, 2.0, 3.0), nav2_costmap_2d::FREE_SPACE);
  EXPECT_EQ(costAt(rolling, -0.3, 3.0), nav2_costmap_2d::NO_INFORMATION);   // off the map
  EXPECT_GT(expectWindowMatchesWholeMap(rolling, whole), 3000u);

  // Driven some 1.8 m towards the passage, the robot takes the window along.
  geometry_msgs::msg::Twist forward;
  forward.linear.x = 1.0;
  robot.publishVelocity(forward);
  for (int i = 0; i < 100 && robot.mapPose().x < 3.5; ++i) {
    robot.step(0.1);
  }
  robot.publishZeroVelocity();
  for (int i = 0; i < 20; ++i) {
    robot.step(0.1);
  }
  const velmora_sim_robot::PlanarPose moved = robot.mapPose();
  ASSERT_GT(moved.x, 3.5);
  ASSERT_LT(moved.x, 4.3);   // the passage stays well inside the window
  ASSERT_TRUE(eventually([&] {return centredOn(rolling, moved);}));
  EXPECT_EQ(costAt(rolling, 5.025, 1.5), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_LT(costAt(rolling, 5.025, 3.0), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_GT(costAt(rolling, 5.025, 3.0), nav2_costmap_2d::FREE_SPACE);
  EXPECT_GT(expectWindowMatchesWholeMap(rolling, whole), 3000u);
}
