#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nav2_costmap_2d/costmap_2d_ros.hpp"

using nav2_costmap_2d::Costmap2D;
using nav2_costmap_2d::Costmap2DROS;

namespace
{
class RclcppEnvironment : public ::testing::Environment
{
public:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}
};

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new RclcppEnvironment);

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

// A free map of width x height cells of 0.1 m with its lower-left corner at (x, y).
nav_msgs::msg::OccupancyGrid freeMap(
  unsigned int width, unsigned int height, double x, double y)
{
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.width = width;
  map.info.height = height;
  map.info.resolution = 0.1f;
  map.info.origin.position.x = x;
  map.info.origin.position.y = y;
  map.info.origin.orientation.w = 1.0;
  map.data.assign(size_t{width} * height, 0);
  return map;
}

// 4 m x 3 m at (-1, -1) with one occupied cell at world (1.05, 0.05).
nav_msgs::msg::OccupancyGrid staticMap()
{
  auto map = freeMap(40, 30, -1.0, -1.0);
  map.data[10 * 40 + 20] = 100;
  return map;
}

// Stands in for a map server: publishes latched maps on one topic.
class MapServer
{
public:
  explicit MapServer(const std::string & topic)
  : node_(std::make_shared<rclcpp::Node>("test_map_server")),
    publisher_(node_->create_publisher<nav_msgs::msg::OccupancyGrid>(
        topic, rclcpp::QoS(1).transient_local().reliable()))
  {}

  void publish(const nav_msgs::msg::OccupancyGrid & map) {publisher_->publish(map);}

private:
  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr publisher_;
};

// Maps arrive on the costmap's own thread: wait for what they change, with a deadline.
bool eventually(const std::function<bool()> & condition)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool holdsMapOfWidth(Costmap2DROS & costmap, unsigned int width)
{
  Costmap2D * master = costmap.getCostmap();
  std::unique_lock<Costmap2D::mutex_t> lock(*master->getMutex());
  return costmap.isCurrent() && master->getSizeInCellsX() == width;
}

std::shared_ptr<Costmap2DROS> configured(
  const std::string & name, const std::vector<rclcpp::Parameter> & parameters = {})
{
  auto costmap = std::make_shared<Costmap2DROS>(name);
  for (const auto & parameter : parameters) {
    EXPECT_TRUE(costmap->set_parameter(parameter).successful) << parameter.get_name();
  }
  costmap->configure();
  EXPECT_EQ(costmap->get_current_state().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  return costmap;
}
}  // namespace

TEST(Costmap2DROSTest, NamesAndNamespacesFollowTheConstructor)
{
  Costmap2DROS named("local_costmap");
  EXPECT_STREQ(named.get_name(), "local_costmap");
  EXPECT_STREQ(named.get_namespace(), "/local_costmap");
  EXPECT_EQ(named.getName(), "local_costmap");

  Costmap2DROS nested("inner", "/robot", "outer");
  EXPECT_STREQ(nested.get_namespace(), "/robot/outer");

  Costmap2DROS plain{rclcpp::NodeOptions()};
  EXPECT_STREQ(plain.get_name(), "costmap");
}

TEST(Costmap2DROSTest, ConfigureReadsNav2Defaults)
{
  auto costmap = configured("defaults_costmap");
  EXPECT_EQ(costmap->getGlobalFrameID(), "map");
  EXPECT_EQ(costmap->getBaseFrameID(), "base_link");
  EXPECT_DOUBLE_EQ(costmap->getTransformTolerance(), 0.3);
  EXPECT_TRUE(costmap->getUseRadius());
  EXPECT_DOUBLE_EQ(costmap->getRobotRadius(), 0.1);
  EXPECT_EQ(costmap->getRobotFootprint().size(), 16u);
  EXPECT_NEAR(costmap->getRobotFootprint()[0].x, 0.11, 1e-9);   // 0.1 padded by 0.01
  EXPECT_NEAR(costmap->getUnpaddedRobotFootprint()[0].x, 0.1, 1e-9);
  ASSERT_NE(costmap->getCostmap(), nullptr);
  EXPECT_EQ(costmap->getCostmap()->getSizeInCellsX(), 50u);   // 5 m of 0.1 m cells
  EXPECT_FALSE(costmap->isCurrent());
  ASSERT_NE(costmap->getLayeredCostmap(), nullptr);
  EXPECT_EQ(costmap->getLayeredCostmap()->getGlobalFrameID(), "map");
}

TEST(Costmap2DROSTest, FootprintParameterWinsOverTheRadiusUnlessMalformed)
{
  const std::string footprint = "[[0.3, 0.2], [-0.3, 0.2], [-0.3, -0.2], [0.3, -0.2]]";
  auto shaped = configured(
    "shaped_costmap",
    {rclcpp::Parameter("footprint", footprint), rclcpp::Parameter("footprint_padding", 0.0)});
  EXPECT_FALSE(shaped->getUseRadius());
  ASSERT_EQ(shaped->getRobotFootprint().size(), 4u);
  EXPECT_NEAR(shaped->getRobotFootprintPolygon().points[2].y, -0.2, 1e-6);
  EXPECT_NEAR(shaped->getLayeredCostmap()->getInscribedRadius(), 0.2, 1e-6);

  auto fallback = configured(
    "fallback_costmap",
    {rclcpp::Parameter("footprint", "[[0.3, 0.2], [-0.3, 0.2]]"),
      rclcpp::Parameter("robot_radius", 0.4)});
  EXPECT_TRUE(fallback->getUseRadius());
  EXPECT_EQ(fallback->getRobotFootprint().size(), 16u);
}

TEST(Costmap2DROSTest, StaticLayerTakesTheMapFromTheMapTopic)
{
  auto before = std::make_shared<Costmap2DROS>("static_costmap");
  EXPECT_EQ(before->getCostmap(), nullptr);
  before.reset();

  // Published before the costmap exists: the latched map still reaches it.
  MapServer server("/static_costmap/map");
  auto map = staticMap();
  map.data[5 * 40 + 5] = -1;
  map.data[20 * 40 + 30] = 70;   // at the lethal threshold below
  map.data[20 * 40 + 10] = 50;   // under it: free in a trinary costmap
  server.publish(map);
  auto costmap = configured(
    "static_costmap",
    {rclcpp::Parameter("robot_radius", 0.2), rclcpp::Parameter("track_unknown_space", true),
      rclcpp::Parameter("lethal_cost_threshold", 70),
      rclcpp::Parameter("inflation_layer.inflation_radius", 0.5),
      rclcpp::Parameter("inflation_layer.cost_scaling_factor", 2.0)});
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*costmap, 40);}));
  {
    Costmap2D & master = *costmap->getCostmap();
    std::unique_lock<Costmap2D::mutex_t> lock(*master.getMutex());
    EXPECT_EQ(master.getSizeInCellsY(), 30u);
    EXPECT_DOUBLE_EQ(master.getResolution(), static_cast<double>(0.1f));
    EXPECT_DOUBLE_EQ(master.getOriginX(), -1.0);
    EXPECT_DOUBLE_EQ(master.getOriginY(), -1.0);
    EXPECT_EQ(master.getCost(20, 10), nav2_costmap_2d::LETHAL_OBSTACLE);
    EXPECT_EQ(master.getCost(22, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
    EXPECT_GT(master.getCost(24, 10), nav2_costmap_2d::FREE_SPACE);
    EXPECT_LT(master.getCost(24, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
    EXPECT_EQ(master.getCost(26, 10), nav2_costmap_2d::FREE_SPACE);
    EXPECT_EQ(master.getCost(5, 5), nav2_costmap_2d::NO_INFORMATION);
    EXPECT_EQ(master.getCost(30, 20), nav2_costmap_2d::LETHAL_OBSTACLE);
    EXPECT_EQ(master.getCost(10, 20), nav2_costmap_2d::FREE_SPACE);
  }

  // A new footprint moves the inscribed band at once.
  costmap->setRobotFootprint(nav2_costmap_2d::makeFootprintFromRadius(0.4));
  EXPECT_EQ(costmap->getCostmap()->getCost(23, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);

  // A second map replaces the first, geometry and all.
  auto second = freeMap(20, 10, 2.0, 3.0);
  second.data[5 * 20 + 15] = 100;
  server.publish(second);
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*costmap, 20);}));
  Costmap2D & master = *costmap->getCostmap();
  std::unique_lock<Costmap2D::mutex_t> lock(*master.getMutex());
  EXPECT_EQ(master.getSizeInCellsY(), 10u);
  EXPECT_DOUBLE_EQ(master.getOriginX(), 2.0);
  EXPECT_DOUBLE_EQ(master.getOriginY(), 3.0);
  EXPECT_EQ(master.getCost(15, 5), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(master.getCost(12, 5), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(master.getCost(5, 5), nav2_costmap_2d::FREE_SPACE);
}

TEST(Costmap2DROSTest, EachCostmapTakesTheMapOfItsOwnNamespace)
{
  MapServer alpha_server("/alpha_costmap/map");
  MapServer beta_server("/beta_costmap/map");
  MapServer shared_server("/shared/map");
  auto alpha_map = freeMap(30, 10, 0.0, 0.0);
  alpha_map.data[0] = -1;
  alpha_server.publish(alpha_map);
  beta_server.publish(freeMap(12, 12, 0.0, 0.0));
  shared_server.publish(freeMap(7, 7, 0.0, 0.0));

  auto alpha = configured("alpha_costmap");
  auto beta = configured("beta_costmap");
  auto remapped = configured(
    "remapped_costmap", {rclcpp::Parameter("static_layer.map_topic", "/shared/map")});
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*alpha, 30);}));
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*beta, 12);}));
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*remapped, 7);}));
  // Without unknown tracking an unknown cell is free space.
  EXPECT_EQ(alpha->getCostmap()->getCost(0, 0), nav2_costmap_2d::FREE_SPACE);

  // A later map on one topic leaves the other costmap alone.
  beta_server.publish(freeMap(14, 12, 0.0, 0.0));
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*beta, 14);}));
  EXPECT_TRUE(holdsMapOfWidth(*alpha, 30));
  EXPECT_TRUE(holdsMapOfWidth(*remapped, 7));
}

TEST(Costmap2DROSTest, RobotPoseComesFromTheTfBuffer)
{
  auto costmap = configured(
    "pose_costmap",
    {rclcpp::Parameter("robot_base_frame", "base_footprint"),
      rclcpp::Parameter("footprint", "[[0.3, 0.2], [-0.3, 0.2], [-0.3, -0.2], [0.3, -0.2]]"),
      rclcpp::Parameter("footprint_padding", 0.0)});
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap->getRobotPose(pose));
  std::vector<geometry_msgs::msg::Point> oriented(1);
  oriented[0].x = 7.0;
  costmap->getOrientedFootprint(oriented);
  ASSERT_EQ(oriented.size(), 1u);
  EXPECT_EQ(oriented[0].x, 7.0);

  auto buffer = costmap->getTfBuffer();
  ASSERT_NE(buffer, nullptr);
  ASSERT_TRUE(buffer->setTransform(transform("map", "odom", 1.0, 0.0, M_PI / 2), "test", true));
  ASSERT_TRUE(buffer->setTransform(transform("odom", "base_footprint", 2.0, 0.0, 0.0), "test", true));
  ASSERT_TRUE(costmap->getRobotPose(pose));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 2.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), M_PI / 2, 1e-9);

  costmap->getOrientedFootprint(oriented);
  ASSERT_EQ(oriented.size(), 4u);
  EXPECT_NEAR(oriented[0].x, 0.8, 1e-6);   // (0.3, 0.2) turned a quarter, at (1, 2)
  EXPECT_NEAR(oriented[0].y, 2.3, 1e-6);

  geometry_msgs::msg::PoseStamped in_odom, in_map;
  in_odom.header.frame_id = "odom";
  in_odom.pose.position.x = 1.0;
  ASSERT_TRUE(costmap->transformPoseToGlobalFrame(in_odom, in_map));
  EXPECT_EQ(in_map.header.frame_id, "map");
  EXPECT_NEAR(in_map.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(in_map.pose.position.y, 1.0, 1e-9);
  in_odom.header.frame_id = "map";
  ASSERT_TRUE(costmap->transformPoseToGlobalFrame(in_odom, in_map));
  EXPECT_EQ(in_map.pose.position.x, 1.0);
  in_odom.header.frame_id = "nowhere";
  EXPECT_FALSE(costmap->transformPoseToGlobalFrame(in_odom, in_map));
}

// A 1 m x 1 m rolling window of 0.1 m cells, updated 50 times a second, over staticMap().
std::shared_ptr<Costmap2DROS> rollingWindow(const std::string & name, double update_frequency)
{
  return configured(
    name,
    {rclcpp::Parameter("rolling_window", true), rclcpp::Parameter("width", 1),
      rclcpp::Parameter("height", 1), rclcpp::Parameter("inflation_layer.inflation_radius", 0.0),
      rclcpp::Parameter("update_frequency", update_frequency)});
}

void placeRobot(Costmap2DROS & costmap, double x, double y)
{
  ASSERT_TRUE(
    costmap.getTfBuffer()->setTransform(transform("map", "base_link", x, y, 0.0), "test", true));
}

// Whether the window's centre is within one cell of (x, y): the window's origin stays on the
// grid of cells it started on.
bool centredOn(Costmap2DROS & costmap, double x, double y)
{
  Costmap2D & window = *costmap.getCostmap();
  std::unique_lock<Costmap2D::mutex_t> lock(*window.getMutex());
  const double cx = window.getOriginX() + window.getSizeInMetersX() / 2;
  const double cy = window.getOriginY() + window.getSizeInMetersY() / 2;
  return std::abs(cx - x) < window.getResolution() && std::abs(cy - y) < window.getResolution();
}

unsigned char costAt(Costmap2DROS & costmap, double x, double y)
{
  Costmap2D & window = *costmap.getCostmap();
  std::unique_lock<Costmap2D::mutex_t> lock(*window.getMutex());
  unsigned int mx = 0;
  unsigned int my = 0;
  EXPECT_TRUE(window.worldToMap(x, y, mx, my)) << "(" << x << ", " << y << ") off the window";
  return window.getCost(mx, my);
}

// Long enough for a loop at 50 Hz to run ten cycles: what it has not done by then, it skips.
void letTheLoopRun()
{
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

size_t threadCount()
{
  size_t count = 0;
  for (const auto & entry : std::filesystem::directory_iterator("/proc/self/task")) {
    count += entry.is_directory() ? 1 : 0;
  }
  return count;
}

TEST(Costmap2DROSTest, UpdateLoopMovesTheRollingWindowWithTheRobotWhileStarted)
{
  MapServer server("/rolling_costmap/map");
  server.publish(staticMap());
  auto costmap = rollingWindow("rolling_costmap", 50.0);
  costmap->activate();
  ASSERT_TRUE(eventually([&] {return costmap->isCurrent();}));
  // Without a robot pose the window has no place yet.
  letTheLoopRun();
  EXPECT_FALSE(costmap->getLayeredCostmap()->isInitialized());

  placeRobot(*costmap, 1.02, 0.03);
  ASSERT_TRUE(eventually([&] {return centredOn(*costmap, 1.02, 0.03);}));
  EXPECT_TRUE(costmap->getLayeredCostmap()->isInitialized());
  EXPECT_EQ(costAt(*costmap, 1.05, 0.05), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(costAt(*costmap, 0.75, 0.05), nav2_costmap_2d::FREE_SPACE);

  costmap->pause();
  // Pausing does not wait for a cycle already past its check of the flag: such a cycle may
  // still read the pose. Let it finish before the robot moves.
  letTheLoopRun();
  placeRobot(*costmap, 2.02, 0.03);
  letTheLoopRun();
  EXPECT_TRUE(centredOn(*costmap, 1.02, 0.03));
  costmap->resume();
  ASSERT_TRUE(eventually([&] {return centredOn(*costmap, 2.02, 0.03);}));

  costmap->deactivate();
  placeRobot(*costmap, 1.22, 0.03);
  letTheLoopRun();
  EXPECT_TRUE(centredOn(*costmap, 2.02, 0.03));
  costmap->activate();
  ASSERT_TRUE(eventually([&] {return centredOn(*costmap, 1.22, 0.03);}));
  // Back in the window, the obstacle is read from the static map again.
  EXPECT_EQ(costAt(*costmap, 1.05, 0.05), nav2_costmap_2d::LETHAL_OBSTACLE);
}

TEST(Costmap2DROSTest, UpdateThreadRunsOnlyWhileActive)
{
  auto costmap = rollingWindow("threaded_costmap", 50.0);
  const size_t inactive = threadCount();
  costmap->activate();
  EXPECT_EQ(threadCount(), inactive + 1);
  costmap->deactivate();
  EXPECT_EQ(threadCount(), inactive);
  costmap->activate();
  EXPECT_EQ(threadCount(), inactive + 1);
  // Shutdown straight from the active state joins the thread too.
  costmap->shutdown();
  EXPECT_EQ(threadCount(), inactive);
}

TEST(Costmap2DROSTest, ZeroUpdateFrequencyLeavesUpdatesToTheCaller)
{
  MapServer server("/manual_costmap/map");
  server.publish(staticMap());
  auto costmap = rollingWindow("manual_costmap", 0.0);
  costmap->activate();
  ASSERT_TRUE(eventually([&] {return costmap->isCurrent();}));
  placeRobot(*costmap, 1.02, 0.03);
  letTheLoopRun();
  EXPECT_FALSE(costmap->getLayeredCostmap()->isInitialized());

  costmap->updateMap();
  EXPECT_TRUE(centredOn(*costmap, 1.02, 0.03));
  EXPECT_EQ(costAt(*costmap, 1.05, 0.05), nav2_costmap_2d::LETHAL_OBSTACLE);
  costmap->pause();
  placeRobot(*costmap, 2.02, 0.03);
  costmap->updateMap();
  EXPECT_TRUE(centredOn(*costmap, 1.02, 0.03));
}

TEST(Costmap2DROSTest, CleanupReleasesTheCostmapAndConfigureSubscribesAgain)
{
  MapServer server("/cycle_costmap/map");
  server.publish(staticMap());
  auto costmap = configured("cycle_costmap");
  costmap->activate();
  EXPECT_EQ(costmap->get_current_state().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*costmap, 40);}));
  costmap->deactivate();
  costmap->cleanup();
  EXPECT_EQ(costmap->getCostmap(), nullptr);
  EXPECT_EQ(costmap->getTfBuffer(), nullptr);
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap->getRobotPose(pose));
  // Nothing is listening now; a map published meanwhile is the one a new configure gets.
  server.publish(freeMap(25, 25, 0.0, 0.0));

  costmap->configure();
  EXPECT_FALSE(holdsMapOfWidth(*costmap, 40));
  ASSERT_TRUE(eventually([&] {return holdsMapOfWidth(*costmap, 25);}));
}
