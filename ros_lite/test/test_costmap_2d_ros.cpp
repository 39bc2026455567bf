#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
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

// 4 m x 3 m of 0.1 m cells at (-1, -1) with one lethal cell at world (1.05, 0.05).
Costmap2D staticMap()
{
  Costmap2D map(40, 30, 0.1, -1.0, -1.0, nav2_costmap_2d::FREE_SPACE);
  map.setCost(20, 10, nav2_costmap_2d::LETHAL_OBSTACLE);
  return map;
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

TEST(Costmap2DROSTest, StaticMapIsInflatedWithTheLayerParameters)
{
  auto before = std::make_shared<Costmap2DROS>("early_costmap");
  EXPECT_THROW(before->setStaticMap(staticMap()), std::logic_error);
  EXPECT_EQ(before->getCostmap(), nullptr);

  auto costmap = configured(
    "static_costmap",
    {rclcpp::Parameter("robot_radius", 0.2),
      rclcpp::Parameter("inflation_layer.inflation_radius", 0.5),
      rclcpp::Parameter("inflation_layer.cost_scaling_factor", 2.0)});
  costmap->setStaticMap(staticMap());
  EXPECT_TRUE(costmap->isCurrent());
  const Costmap2D & master = *costmap->getCostmap();
  EXPECT_EQ(master.getSizeInCellsX(), 40u);
  EXPECT_DOUBLE_EQ(master.getOriginX(), -1.0);
  EXPECT_EQ(master.getCost(20, 10), nav2_costmap_2d::LETHAL_OBSTACLE);
  EXPECT_EQ(master.getCost(22, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_GT(master.getCost(24, 10), nav2_costmap_2d::FREE_SPACE);
  EXPECT_LT(master.getCost(24, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
  EXPECT_EQ(master.getCost(26, 10), nav2_costmap_2d::FREE_SPACE);

  // A new footprint moves the inscribed band at once.
  costmap->setRobotFootprint(nav2_costmap_2d::makeFootprintFromRadius(0.4));
  EXPECT_EQ(costmap->getCostmap()->getCost(23, 10), nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE);
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

TEST(Costmap2DROSTest, RollingWindowUpdatesFollowTheRobotUnlessPaused)
{
  auto costmap = configured(
    "rolling_costmap",
    {rclcpp::Parameter("rolling_window", true), rclcpp::Parameter("width", 1),
      rclcpp::Parameter("height", 1), rclcpp::Parameter("inflation_layer.inflation_radius", 0.0)});
  costmap->activate();
  costmap->setStaticMap(staticMap());
  auto buffer = costmap->getTfBuffer();
  ASSERT_TRUE(buffer->setTransform(transform("map", "base_link", 1.0, 0.0, 0.0), "test", true));
  costmap->updateMap();
  const Costmap2D * window = costmap->getCostmap();
  EXPECT_NEAR(window->getOriginX(), 0.5, 1e-9);
  EXPECT_EQ(window->getCost(5, 4), nav2_costmap_2d::LETHAL_OBSTACLE);

  costmap->pause();
  ASSERT_TRUE(buffer->setTransform(transform("map", "base_link", 2.0, 0.0, 0.0), "test", true));
  costmap->updateMap();
  EXPECT_NEAR(window->getOriginX(), 0.5, 1e-9);
  costmap->resume();
  costmap->updateMap();
  EXPECT_NEAR(window->getOriginX(), 1.5, 1e-9);
  EXPECT_NE(window->getCost(5, 4), nav2_costmap_2d::LETHAL_OBSTACLE);
}

TEST(Costmap2DROSTest, CleanupReleasesTheCostmap)
{
  auto costmap = configured("cycle_costmap");
  costmap->activate();
  EXPECT_EQ(costmap->get_current_state().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  costmap->deactivate();
  costmap->cleanup();
  EXPECT_EQ(costmap->getCostmap(), nullptr);
  EXPECT_EQ(costmap->getTfBuffer(), nullptr);
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(costmap->getRobotPose(pose));
}
