#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
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
