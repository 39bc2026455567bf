#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_util/geometry_utils.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav2_util/node_utils.hpp"
#include "nav2_util/robot_utils.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"

namespace
{

constexpr double kTol = 1e-9;

class Nav2Util : public ::testing::Test
{
protected:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}
};

TEST_F(Nav2Util, DeclareIfNotDeclaredKeepsWhatIsThere)
{
  rclcpp::NodeOptions options;
  options.parameter_overrides({rclcpp::Parameter("from_file", 2.5)});
  auto node = std::make_shared<rclcpp::Node>("declaring_node", options);

  nav2_util::declare_parameter_if_not_declared(node, "fresh", rclcpp::ParameterValue(0.5));
  EXPECT_DOUBLE_EQ(node->get_parameter("fresh").as_double(), 0.5);

  node->set_parameter(rclcpp::Parameter("fresh", 0.75));
  nav2_util::declare_parameter_if_not_declared(node, "fresh", rclcpp::ParameterValue(0.5));
  EXPECT_DOUBLE_EQ(node->get_parameter("fresh").as_double(), 0.75);

  nav2_util::declare_parameter_if_not_declared(node, "from_file", rclcpp::ParameterValue(1.0));
  EXPECT_DOUBLE_EQ(node->get_parameter("from_file").as_double(), 2.5);

  // By type: declared, yet without a value unless an override supplies one.
  nav2_util::declare_parameter_if_not_declared(node, "typed", rclcpp::PARAMETER_STRING);
  EXPECT_TRUE(node->has_parameter("typed"));
  rclcpp::Parameter unset;
  EXPECT_FALSE(node->get_parameter("typed", unset));
}

TEST_F(Nav2Util, WorksOnLifecycleNodes)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lifecycle_declaring");
  nav2_util::declare_parameter_if_not_declared(node, "plugins", rclcpp::ParameterValue(
      std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(node->get_parameter("plugins").as_string_array(), (std::vector<std::string>{"a", "b"}));

  node->declare_parameter("FollowPath.plugin", std::string("dwb_core::DWBLocalPlanner"));
  EXPECT_EQ(nav2_util::get_plugin_type_param(node, "FollowPath"), "dwb_core::DWBLocalPlanner");
}

TEST(Nav2UtilDeathTest, PluginWithoutTypeEndsTheProcess)
{
  EXPECT_EXIT(
  {
    rclcpp::init(0, nullptr);
    auto node = std::make_shared<rclcpp::Node>("plugin_reader");
    nav2_util::get_plugin_type_param(node, "Missing");
  }, ::testing::ExitedWithCode(255), "Can not get .plugin. param value for Missing");
}

TEST(Nav2UtilNames, SanitiseJoinAndGenerate)
{
  EXPECT_EQ(nav2_util::sanitize_node_name("local/costmap-2d.x"), "local_costmap_2d_x");
  EXPECT_EQ(nav2_util::add_namespaces("/", "local_costmap"), "/local_costmap");
  EXPECT_EQ(nav2_util::add_namespaces("robot/", "local_costmap"), "/robot/local_costmap");
  EXPECT_EQ(nav2_util::add_namespaces("/robot", "local_costmap"), "/robot/local_costmap");

  EXPECT_EQ(nav2_util::time_to_string(4).size(), 4u);
  const std::string name = nav2_util::generate_internal_node_name("my node");
  ASSERT_EQ(name.size(), std::string("my_node_").size() + 8);
  EXPECT_EQ(name.substr(0, 8), "my_node_");
  for (char c : name.substr(8)) {
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << name;
  }
}

TEST_F(Nav2Util, InternalNodeAndParameterCopy)
{
  auto parent = std::make_shared<rclcpp::Node>("parent_node");
  parent->declare_parameter("speed", 0.4);
  parent->declare_parameter("name", std::string("robot"));
  auto child = nav2_util::generate_internal_node("child");
  EXPECT_EQ(std::string(child->get_name()).substr(0, 6), "child_");
  child->declare_parameter("speed", 1.0);

  nav2_util::copy_all_parameters(parent, child);
  EXPECT_DOUBLE_EQ(child->get_parameter("speed").as_double(), 1.0);  // the child's own wins
  EXPECT_EQ(child->get_parameter("name").as_string(), "robot");
}

// Records the transitions the shutdown path drives.
class RecordingNode : public nav2_util::LifecycleNode
{
public:
  explicit RecordingNode(std::vector<std::string> & calls)
  : nav2_util::LifecycleNode("recording_node"), calls_(calls) {}

  nav2_util::CallbackReturn on_configure(const rclcpp_lifecycle::State &) override
  {
    calls_.push_back("configure");
    return nav2_util::CallbackReturn::SUCCESS;
  }
  nav2_util::CallbackReturn on_activate(const rclcpp_lifecycle::State &) override
  {
    calls_.push_back("activate");
    return nav2_util::CallbackReturn::SUCCESS;
  }
  nav2_util::CallbackReturn on_deactivate(const rclcpp_lifecycle::State &) override
  {
    calls_.push_back("deactivate");
    return nav2_util::CallbackReturn::SUCCESS;
  }
  nav2_util::CallbackReturn on_cleanup(const rclcpp_lifecycle::State &) override
  {
    calls_.push_back("cleanup");
    return nav2_util::CallbackReturn::SUCCESS;
  }

private:
  std::vector<std::string> & calls_;
};

TEST_F(Nav2Util, LifecycleNodeWindsDownOnShutdown)
{
  std::vector<std::string> calls;
  auto node = std::make_shared<RecordingNode>(calls);
  EXPECT_TRUE(node->get_parameter("bond_disable_heartbeat_timeout").as_bool());
  node->configure();
  node->activate();
  rclcpp::shutdown();
  EXPECT_EQ(calls, (std::vector<std::string>{"configure", "activate", "deactivate", "cleanup"}));
  EXPECT_EQ(node->get_current_state().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNCONFIGURED);

  // shared_from_this keeps the derived type.
  std::shared_ptr<nav2_util::LifecycleNode> self = node->shared_from_this();
  EXPECT_EQ(self.get(), node.get());
}

TEST_F(Nav2Util, LifecycleNodeRangedParameters)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("ranged_node");
  using Node = nav2_util::LifecycleNode;
  node->add_parameter(
    "ratio", rclcpp::ParameterValue(0.5), Node::floating_point_range{0.0, 1.0, 0.0}, "a ratio");
  node->add_parameter("count", rclcpp::ParameterValue(3), Node::integer_range{1, 10, 1});
  node->add_parameter("fixed", rclcpp::ParameterValue(std::string("x")), "", "", true);

  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("ratio", 0.9)).successful);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("ratio", 1.5)).successful);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("count", 11)).successful);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("fixed", std::string("y"))).successful);
  EXPECT_EQ(node->describe_parameter("ratio").description, "a ratio");
}

class RobotUtils : public ::testing::Test
{
protected:
  void SetUp() override
  {
    buffer_ = std::make_shared<tf2_ros::Buffer>(std::make_shared<rclcpp::Clock>());
    buffer_->setUsingDedicatedThread(true);
    geometry_msgs::msg::TransformStamped t;
    t.header.frame_id = "map";
    t.header.stamp.sec = 10;
    t.child_frame_id = "base_link";
    t.transform.translation.x = 2.0;
    t.transform.translation.y = -1.0;
    tf2::Quaternion q;
    q.setRPY(0, 0, M_PI / 2.0);
    t.transform.rotation = tf2::toMsg(q);
    buffer_->setTransform(t, "test");
  }

  std::shared_ptr<tf2_ros::Buffer> buffer_;
};

TEST_F(RobotUtils, CurrentPoseIsTheRobotFrameInTheGlobalFrame)
{
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_link", 0.0));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_EQ(pose.header.stamp.sec, 10);
  EXPECT_NEAR(pose.pose.position.x, 2.0, kTol);
  EXPECT_NEAR(pose.pose.position.y, -1.0, kTol);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), M_PI / 2.0, kTol);

  EXPECT_FALSE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_footprint", 0.0));
}

TEST_F(RobotUtils, TransformsPosesAndReportsFailure)
{
  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "map";
  in.header.stamp.sec = 10;
  in.pose.position.x = 2.0;
  in.pose.position.y = 1.0;
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(nav2_util::transformPoseInTargetFrame(in, out, *buffer_, "base_link", 0.0));
  EXPECT_EQ(out.header.frame_id, "base_link");
  EXPECT_NEAR(out.pose.position.x, 2.0, kTol);   // 2 m to the robot's left, which faces +y
  EXPECT_NEAR(out.pose.position.y, 0.0, kTol);

  in.header.stamp.sec = 20;  // after the only sample
  EXPECT_FALSE(nav2_util::transformPoseInTargetFrame(in, out, *buffer_, "base_link", 0.0));

  tf2::Transform transform;
  ASSERT_TRUE(nav2_util::getTransform("base_link", "map", tf2::durationFromSec(0.0), buffer_, transform));
  EXPECT_NEAR(transform.getOrigin().x(), 2.0, kTol);
  EXPECT_FALSE(nav2_util::getTransform("laser", "map", tf2::durationFromSec(0.0), buffer_, transform));
}

TEST(Nav2UtilGeometry, DistancesAndPathSearch)
{
  using nav2_util::geometry_utils::calculate_path_length;
  using nav2_util::geometry_utils::euclidean_distance;
  using nav2_util::geometry_utils::first_after_integrated_distance;
  using nav2_util::geometry_utils::min_by;

  nav_msgs::msg::Path path;
  for (double x : {0.0, 3.0, 3.0, 6.0}) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = x;
    pose.pose.position.y = x == 3.0 && path.poses.size() == 2 ? 4.0 : 0.0;
    pose.pose.position.z = 10.0;  // ignored unless 3-D
    path.poses.push_back(pose);
  }
  // (0,0) -> (3,0) -> (3,4) -> (6,0): 3 + 4 + 5.
  EXPECT_DOUBLE_EQ(calculate_path_length(path), 12.0);
  EXPECT_DOUBLE_EQ(calculate_path_length(path, 2), 5.0);
  EXPECT_DOUBLE_EQ(calculate_path_length(path, 3), 0.0);

  geometry_msgs::msg::Point a;
  geometry_msgs::msg::Point b;
  b.x = 3.0;
  b.z = 4.0;
  EXPECT_DOUBLE_EQ(euclidean_distance(a, b), 3.0);
  EXPECT_DOUBLE_EQ(euclidean_distance(a, b, true), 5.0);

  EXPECT_EQ(first_after_integrated_distance(path.poses.begin(), path.poses.end(), 6.0) -
    path.poses.begin(), 2);
  EXPECT_EQ(first_after_integrated_distance(path.poses.begin(), path.poses.end(), 20.0),
    path.poses.end());

  const auto nearest = min_by(path.poses.begin(), path.poses.end(),
      [](const geometry_msgs::msg::PoseStamped & p) {
        geometry_msgs::msg::Point target;
        target.x = 3.2;
        target.y = 3.5;
        return euclidean_distance(p.pose.position, target);
      });
  EXPECT_EQ(nearest - path.poses.begin(), 2);

  EXPECT_NEAR(tf2::getYaw(nav2_util::geometry_utils::orientationAroundZAxis(-2.0)), -2.0, kTol);
}

}  // namespace
