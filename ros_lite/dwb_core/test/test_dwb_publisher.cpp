#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dwb_core/publisher.hpp"
#include "dwb_test_plugins.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "ros_lite/testing/testing.hpp"

namespace
{

using namespace std::chrono_literals;

constexpr char kPlugin[] = "FollowPath";

nav_2d_msgs::msg::Path2D plan2d(const std::string & frame, const std::vector<double> & xs)
{
  nav_2d_msgs::msg::Path2D plan;
  plan.header.frame_id = frame;
  for (double x : xs) {
    geometry_msgs::msg::Pose2D pose;
    pose.x = x;
    pose.y = -x;
    plan.poses.push_back(pose);
  }
  return plan;
}

dwb_msgs::msg::TrajectoryScore scored(double total, const std::vector<double> & xs)
{
  dwb_msgs::msg::TrajectoryScore score;
  score.total = static_cast<float>(total);
  score.traj.poses = plan2d("", xs).poses;
  return score;
}

// A publisher of the plugin on its own node; every test gets its own namespace for the topics.
class PublisherTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ns_ = std::string("/") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    listener_ = std::make_shared<rclcpp::Node>("listener");
  }

  void TearDown() override
  {
    publisher_.reset();
    node_.reset();
  }

  void create(const std::vector<rclcpp::Parameter> & parameters = {}, bool activate = true)
  {
    publisher_.reset();
    node_.reset();
    rclcpp::NodeOptions options;
    options.parameter_overrides(parameters);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("planner_node", ns_, options);
    publisher_ = std::make_unique<dwb_core::DWBPublisher>(node_, kPlugin);
    EXPECT_EQ(publisher_->on_configure(), nav2_util::CallbackReturn::SUCCESS);
    if (activate) {
      EXPECT_EQ(publisher_->on_activate(), nav2_util::CallbackReturn::SUCCESS);
    }
  }

  static rclcpp::Parameter flag(const std::string & name, bool value)
  {
    return rclcpp::Parameter(std::string(kPlugin) + "." + name, value);
  }

  // A subscription that makes the topic worth publishing on.
  template<typename MessageT>
  typename rclcpp::Subscription<MessageT>::SharedPtr listen(
    const std::string & topic, std::function<void()> on_message = [] {})
  {
    return listener_->create_subscription<MessageT>(
      ns_ + "/" + topic, rclcpp::QoS(1),
      [on_message](const std::shared_ptr<const MessageT>) {on_message();});
  }

  template<typename MessageT>
  std::unique_ptr<ros_lite::testing::TopicRecorder<MessageT>> record(const std::string & topic)
  {
    return std::make_unique<ros_lite::testing::TopicRecorder<MessageT>>(ns_ + "/" + topic);
  }

  ros_lite::testing::ScopedRos ros_;
  std::string ns_;
  rclcpp::Node::SharedPtr listener_;
  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  std::unique_ptr<dwb_core::DWBPublisher> publisher_;
};

TEST_F(PublisherTest, SwitchesAreDeclaredWithTheirDefaults)
{
  create();
  const std::string p = std::string(kPlugin) + ".";
  for (const char * name : {"publish_evaluation", "publish_global_plan", "publish_transformed_plan",
      "publish_local_plan", "publish_trajectories"})
  {
    EXPECT_TRUE(node_->get_parameter(p + name).as_bool()) << name;
  }
  EXPECT_FALSE(node_->get_parameter(p + "publish_cost_grid_pc").as_bool());
  EXPECT_DOUBLE_EQ(node_->get_parameter(p + "marker_lifetime").as_double(), 0.1);
}

struct PlanTopic
{
  const char * topic;
  const char * switch_name;
  std::function<void(dwb_core::DWBPublisher &, const nav_2d_msgs::msg::Path2D &)> publish;
};

const std::vector<PlanTopic> & planTopics()
{
  static const std::vector<PlanTopic> topics{
    {"received_global_plan", "publish_global_plan",
      [](dwb_core::DWBPublisher & pub, const nav_2d_msgs::msg::Path2D & plan) {
        pub.publishGlobalPlan(plan);
      }},
    {"transformed_global_plan", "publish_transformed_plan",
      [](dwb_core::DWBPublisher & pub, const nav_2d_msgs::msg::Path2D & plan) {
        pub.publishTransformedPlan(plan);
      }},
    {"local_plan", "publish_local_plan",
      [](dwb_core::DWBPublisher & pub, const nav_2d_msgs::msg::Path2D & plan) {
        pub.publishLocalPlan(plan);
      }}};
  return topics;
}

TEST_F(PublisherTest, PlansReachSubscribersWhenSwitchedOnAndActive)
{
  const auto plan = plan2d("map", {0.0, 1.0, 2.0});
  for (const PlanTopic & topic : planTopics()) {
    SCOPED_TRACE(topic.topic);
    create();
    auto recorder = record<nav_msgs::msg::Path>(topic.topic);
    topic.publish(*publisher_, plan);
    EXPECT_EQ(recorder->count(), 0u) << "published with nobody listening";

    int received = 0;
    auto subscription = listen<nav_msgs::msg::Path>(topic.topic, [&received] {++received;});
    topic.publish(*publisher_, plan);
    ASSERT_EQ(recorder->count(), 1u);
    const nav_msgs::msg::Path path = *recorder->last();
    EXPECT_EQ(path.header.frame_id, "map");
    ASSERT_EQ(path.poses.size(), 3u);
    EXPECT_DOUBLE_EQ(path.poses[2].pose.position.x, 2.0);
    EXPECT_DOUBLE_EQ(path.poses[2].pose.position.y, -2.0);
    EXPECT_EQ(path.poses[2].header.frame_id, "map");
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(listener_);
    EXPECT_TRUE(ros_lite::testing::spin_until(executor, [&received] {return received == 1;}, 5s));

    publisher_->on_deactivate();
    topic.publish(*publisher_, plan);
    EXPECT_EQ(recorder->count(), 1u) << "published while inactive";
  }
}

TEST_F(PublisherTest, SwitchedOffPlansAreNotPublished)
{
  const auto plan = plan2d("map", {0.0, 1.0});
  for (const PlanTopic & topic : planTopics()) {
    SCOPED_TRACE(topic.topic);
    create({flag(topic.switch_name, false)});
    auto recorder = record<nav_msgs::msg::Path>(topic.topic);
    auto subscription = listen<nav_msgs::msg::Path>(topic.topic);
    for (const PlanTopic & other : planTopics()) {
      other.publish(*publisher_, plan);
    }
    EXPECT_EQ(recorder->count(), 0u);
  }
}

TEST_F(PublisherTest, LocalPlanOfATrajectoryCarriesTheGivenHeader)
{
  create();
  auto recorder = record<nav_msgs::msg::Path>("local_plan");
  auto subscription = listen<nav_msgs::msg::Path>("local_plan");
  std_msgs::msg::Header header;
  header.frame_id = "odom";
  header.stamp.sec = 12;
  dwb_msgs::msg::Trajectory2D traj;
  traj.poses = plan2d("", {0.5, 0.75}).poses;
  publisher_->publishLocalPlan(header, traj);
  ASSERT_EQ(recorder->count(), 1u);
  const auto path = *recorder->last();
  EXPECT_EQ(path.header, header);
  ASSERT_EQ(path.poses.size(), 2u);
  EXPECT_DOUBLE_EQ(path.poses[1].pose.position.x, 0.75);
  EXPECT_EQ(path.poses[1].header, header);
}

// Recording follows the two flags alone, listeners or not: on by default, so a planner whose
// evaluation nobody watches still copies every trajectory unless both flags are turned off.
TEST_F(PublisherTest, EvaluationsAreRecordedWhenEitherFlagIsOnWhetherOrNotAnybodyListens)
{
  create();
  EXPECT_TRUE(publisher_->shouldRecordEvaluation());

  create({flag("publish_evaluation", false)});
  EXPECT_TRUE(publisher_->shouldRecordEvaluation());

  create({flag("publish_trajectories", false)});
  EXPECT_TRUE(publisher_->shouldRecordEvaluation());

  create({flag("publish_evaluation", false), flag("publish_trajectories", false)});
  auto evaluation = listen<dwb_msgs::msg::LocalPlanEvaluation>("evaluation");
  auto markers = listen<visualization_msgs::msg::MarkerArray>("marker");
  EXPECT_FALSE(publisher_->shouldRecordEvaluation());
}

TEST_F(PublisherTest, EvaluationAndItsTrajectoriesArePublished)
{
  create();
  auto evaluations = record<dwb_msgs::msg::LocalPlanEvaluation>("evaluation");
  auto marker_arrays = record<visualization_msgs::msg::MarkerArray>("marker");
  auto evaluation_subscription = listen<dwb_msgs::msg::LocalPlanEvaluation>("evaluation");
  auto marker_subscription = listen<visualization_msgs::msg::MarkerArray>("marker");

  auto results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  results->header.frame_id = "odom";
  results->twists = {scored(1.0, {0.0, 0.1}), scored(-1.0, {0.0, -0.1}), scored(3.0, {0.0, 0.3}),
    scored(2.0, {0.0, 0.2, 0.4})};
  results->best_index = 0;
  results->worst_index = 2;
  publisher_->publishEvaluation(nullptr);
  publisher_->publishEvaluation(results);

  ASSERT_EQ(evaluations->count(), 1u);
  EXPECT_EQ(*evaluations->last(), *results);

  ASSERT_EQ(marker_arrays->count(), 1u);
  const auto markers = marker_arrays->last()->markers;
  ASSERT_EQ(markers.size(), 4u);
  // Legal ones shade from green (best) to red (worst), each namespace numbered on its own.
  EXPECT_EQ(markers[0].ns, "ValidTrajectories");
  EXPECT_EQ(markers[0].id, 0);
  EXPECT_FLOAT_EQ(markers[0].color.g, 1.0f);
  EXPECT_FLOAT_EQ(markers[0].color.r, 0.0f);
  EXPECT_EQ(markers[1].ns, "InvalidTrajectories");
  EXPECT_EQ(markers[1].id, 0);
  EXPECT_FLOAT_EQ(markers[1].color.r, 0.0f);
  EXPECT_FLOAT_EQ(markers[1].color.g, 0.0f);
  EXPECT_EQ(markers[2].id, 1);
  EXPECT_FLOAT_EQ(markers[2].color.r, 1.0f);
  EXPECT_FLOAT_EQ(markers[2].color.g, 0.0f);
  EXPECT_FLOAT_EQ(markers[3].color.r, 0.5f);
  EXPECT_EQ(markers[3].id, 2);
  for (const auto & marker : markers) {
    EXPECT_EQ(marker.header.frame_id, "odom");
    EXPECT_EQ(marker.type, visualization_msgs::msg::Marker::LINE_STRIP);
    EXPECT_EQ(rclcpp::Duration(marker.lifetime).nanoseconds(), 100000000);
    EXPECT_FLOAT_EQ(marker.color.a, 1.0f);
  }
  ASSERT_EQ(markers[3].points.size(), 3u);
  EXPECT_DOUBLE_EQ(markers[3].points[2].x, 0.4);
  EXPECT_DOUBLE_EQ(markers[3].points[2].y, -0.4);

  // The trajectories have a switch of their own.
  create({flag("publish_trajectories", false)});
  evaluation_subscription = listen<dwb_msgs::msg::LocalPlanEvaluation>("evaluation");
  marker_subscription = listen<visualization_msgs::msg::MarkerArray>("marker");
  publisher_->publishEvaluation(results);
  EXPECT_EQ(evaluations->count(), 2u);
  EXPECT_EQ(marker_arrays->count(), 1u);
}

class CostGridTest : public PublisherTest
{
protected:
  void SetUp() override
  {
    PublisherTest::SetUp();
    // 3 x 2 cells of 1 m with the lower-left corner at (-1, 0).
    costmap_ = std::make_shared<nav2_costmap_2d::Costmap2DROS>(
      std::string("grid_costmap_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    costmap_->set_parameter(rclcpp::Parameter("global_frame", "odom"));
    costmap_->set_parameter(rclcpp::Parameter("width", 3));
    costmap_->set_parameter(rclcpp::Parameter("height", 2));
    costmap_->set_parameter(rclcpp::Parameter("resolution", 1.0));
    costmap_->set_parameter(rclcpp::Parameter("origin_x", -1.0));
    costmap_->configure();

    auto painter = std::make_shared<dwb_test_plugins::FunctionCritic>();
    painter->setScale(2.0);
    painter->visualization = {{"painted", {1, 2, 3, 4, 5, 6}}, {"misfit", {1, 2}}};
    auto plain = std::make_shared<dwb_test_plugins::FunctionCritic>();
    auto second = std::make_shared<dwb_test_plugins::FunctionCritic>();
    second->setScale(0.5);
    second->visualization = {{"ramp", {10, 10, 10, 20, 20, 20}}};
    critics_ = {painter, plain, second};
  }

  void TearDown() override
  {
    PublisherTest::TearDown();
    costmap_.reset();
  }

  static float field(
    const sensor_msgs::msg::PointCloud2 & cloud, size_t point, const std::string & name)
  {
    for (const auto & f : cloud.fields) {
      if (f.name == name) {
        float value = 0.0f;
        std::memcpy(&value, cloud.data.data() + point * cloud.point_step + f.offset, sizeof(float));
        return value;
      }
    }
    ADD_FAILURE() << "no field " << name;
    return 0.0f;
  }

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_;
  std::vector<dwb_core::TrajectoryCritic::Ptr> critics_;
};

TEST_F(CostGridTest, OnePointPerCellWithEveryChannelAndTheirScaledSum)
{
  create({flag("publish_cost_grid_pc", true)});
  auto clouds = record<sensor_msgs::msg::PointCloud2>("cost_cloud");
  publisher_->publishCostGrid(costmap_, critics_);
  EXPECT_EQ(clouds->count(), 0u) << "built with nobody listening";

  auto subscription = listen<sensor_msgs::msg::PointCloud2>("cost_cloud");
  publisher_->publishCostGrid(costmap_, critics_);
  ASSERT_EQ(clouds->count(), 1u);
  const auto cloud = *clouds->last();
  EXPECT_EQ(cloud.header.frame_id, "odom");
  EXPECT_EQ(cloud.height, 1u);
  EXPECT_EQ(cloud.width, 6u);
  std::vector<std::string> names;
  for (const auto & f : cloud.fields) {
    names.push_back(f.name);
    EXPECT_EQ(f.datatype, sensor_msgs::msg::PointField::FLOAT32);
    EXPECT_EQ(f.count, 1u);
  }
  // A channel that does not cover the grid is left out.
  EXPECT_EQ(names, (std::vector<std::string>{"x", "y", "z", "painted", "ramp", "total_cost"}));
  EXPECT_EQ(cloud.point_step, 24u);
  EXPECT_EQ(cloud.row_step, 144u);
  ASSERT_EQ(cloud.data.size(), 144u);

  // Row by row from the lower-left cell, at the cell centres.
  EXPECT_FLOAT_EQ(field(cloud, 0, "x"), -0.5f);
  EXPECT_FLOAT_EQ(field(cloud, 0, "y"), 0.5f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "x"), 0.5f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "y"), 1.5f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "z"), 0.0f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "painted"), 5.0f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "ramp"), 20.0f);
  EXPECT_FLOAT_EQ(field(cloud, 4, "total_cost"), 5.0f * 2.0f + 20.0f * 0.5f);
  EXPECT_FLOAT_EQ(field(cloud, 0, "total_cost"), 1.0f * 2.0f + 10.0f * 0.5f);
}

TEST_F(CostGridTest, TheGridIsOffUnlessAskedFor)
{
  create();
  auto clouds = record<sensor_msgs::msg::PointCloud2>("cost_cloud");
  auto subscription = listen<sensor_msgs::msg::PointCloud2>("cost_cloud");
  publisher_->publishCostGrid(costmap_, critics_);
  EXPECT_EQ(clouds->count(), 0u);
}

}  // namespace
