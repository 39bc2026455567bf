#include "dwb_core/publisher.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>

#include "nav2_util/node_utils.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace dwb_core
{

namespace
{

using CostChannels = std::vector<std::pair<std::string, std::vector<float>>>;

template<typename PublisherT>
bool hasSubscribers(const std::shared_ptr<PublisherT> & publisher)
{
  return publisher && publisher->get_subscription_count() > 0;
}

// The critics' channels that cover every cell, and their sum weighted by each critic's scale.
CostChannels collectCostChannels(
  const std::vector<TrajectoryCritic::Ptr> & critics, size_t cell_count)
{
  CostChannels channels;
  std::vector<float> total_cost(cell_count, 0.0f);
  for (const TrajectoryCritic::Ptr & critic : critics) {
    CostChannels added;
    critic->addCriticVisualization(added);
    const float scale = static_cast<float>(critic->getScale());
    for (auto & channel : added) {
      if (channel.second.size() != cell_count) {
        continue;
      }
      for (size_t i = 0; i < cell_count; ++i) {
        total_cost[i] += channel.second[i] * scale;
      }
      channels.push_back(std::move(channel));
    }
  }
  channels.emplace_back("total_cost", std::move(total_cost));
  return channels;
}

}  // namespace

DWBPublisher::DWBPublisher(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent, const std::string & plugin_name)
: node_(parent), plugin_name_(plugin_name)
{
  auto node = node_.lock();
  clock_ = node->get_clock();
}

nav2_util::CallbackReturn DWBPublisher::on_configure()
{
  auto node = node_.lock();

  const auto declareFlag = [&](const std::string & name, bool default_value, bool & flag) {
      nav2_util::declare_parameter_if_not_declared(
        node, plugin_name_ + "." + name, rclcpp::ParameterValue(default_value));
      node->get_parameter(plugin_name_ + "." + name, flag);
    };
  declareFlag("publish_evaluation", true, publish_evaluation_);
  declareFlag("publish_global_plan", true, publish_global_plan_);
  declareFlag("publish_transformed_plan", true, publish_transformed_);
  declareFlag("publish_local_plan", true, publish_local_plan_);
  declareFlag("publish_trajectories", true, publish_trajectories_);
  declareFlag("publish_cost_grid_pc", false, publish_cost_grid_pc_);
  publish_input_params_ = false;

  nav2_util::declare_parameter_if_not_declared(
    node, plugin_name_ + ".marker_lifetime", rclcpp::ParameterValue(0.1));
  double marker_lifetime = 0.1;
  node->get_parameter(plugin_name_ + ".marker_lifetime", marker_lifetime);
  marker_lifetime_ = rclcpp::Duration::from_seconds(marker_lifetime);

  eval_pub_ = node->create_publisher<dwb_msgs::msg::LocalPlanEvaluation>(
    "evaluation", rclcpp::QoS(1));
  global_pub_ = node->create_publisher<nav_msgs::msg::Path>("received_global_plan", rclcpp::QoS(1));
  transformed_pub_ = node->create_publisher<nav_msgs::msg::Path>(
    "transformed_global_plan", rclcpp::QoS(1));
  local_pub_ = node->create_publisher<nav_msgs::msg::Path>("local_plan", rclcpp::QoS(1));
  marker_pub_ = node->create_publisher<visualization_msgs::msg::MarkerArray>(
    "marker", rclcpp::QoS(1));
  cost_grid_pc_pub_ = node->create_publisher<sensor_msgs::msg::PointCloud2>(
    "cost_cloud", rclcpp::QoS(1));

  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn DWBPublisher::on_activate()
{
  eval_pub_->on_activate();
  global_pub_->on_activate();
  transformed_pub_->on_activate();
  local_pub_->on_activate();
  marker_pub_->on_activate();
  cost_grid_pc_pub_->on_activate();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn DWBPublisher::on_deactivate()
{
  eval_pub_->on_deactivate();
  global_pub_->on_deactivate();
  transformed_pub_->on_deactivate();
  local_pub_->on_deactivate();
  marker_pub_->on_deactivate();
  cost_grid_pc_pub_->on_deactivate();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn DWBPublisher::on_cleanup()
{
  eval_pub_.reset();
  global_pub_.reset();
  transformed_pub_.reset();
  local_pub_.reset();
  marker_pub_.reset();
  cost_grid_pc_pub_.reset();
  return nav2_util::CallbackReturn::SUCCESS;
}

bool DWBPublisher::shouldRecordEvaluation()
{
  // Whether anybody listens is not asked: with either flag on (the default), every search
  // records a copy of every trajectory it scores.
  return publish_evaluation_ || publish_trajectories_;
}

void DWBPublisher::publishEvaluation(std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> results)
{
  if (!results) {
    return;
  }
  if (publish_evaluation_ && hasSubscribers(eval_pub_)) {
    eval_pub_->publish(std::make_unique<dwb_msgs::msg::LocalPlanEvaluation>(*results));
  }
  publishTrajectories(*results);
}

void DWBPublisher::publishTrajectories(const dwb_msgs::msg::LocalPlanEvaluation & results)
{
  if (!publish_trajectories_ || !hasSubscribers(marker_pub_) || results.twists.empty()) {
    return;
  }

  visualization_msgs::msg::Marker marker;
  marker.header = results.header;
  marker.type = visualization_msgs::msg::Marker::LINE_STRIP;
  marker.action = visualization_msgs::msg::Marker::ADD;
  marker.pose.orientation.w = 1.0;
  marker.scale.x = 0.002;
  marker.lifetime = marker_lifetime_;

  // Legal trajectories shade from green (best) to red (worst); illegal ones are black.
  const size_t best_index = std::min<size_t>(results.best_index, results.twists.size() - 1);
  const size_t worst_index = std::min<size_t>(results.worst_index, results.twists.size() - 1);
  const double best_cost = results.twists[best_index].total;
  double denominator = results.twists[worst_index].total - best_cost;
  if (std::fabs(denominator) < 1e-9) {
    denominator = 1.0;
  }

  auto markers = std::make_unique<visualization_msgs::msg::MarkerArray>();
  markers->markers.reserve(results.twists.size());
  int valid_id = 0;
  int invalid_id = 0;
  for (const dwb_msgs::msg::TrajectoryScore & score : results.twists) {
    marker.color.a = 1.0f;
    if (score.total >= 0) {
      const double level = (score.total - best_cost) / denominator;
      marker.color.r = static_cast<float>(level);
      marker.color.g = static_cast<float>(1.0 - level);
      marker.color.b = 0.0f;
      marker.ns = "ValidTrajectories";
      marker.id = valid_id++;
    } else {
      marker.color.r = 0.0f;
      marker.color.g = 0.0f;
      marker.color.b = 0.0f;
      marker.ns = "InvalidTrajectories";
      marker.id = invalid_id++;
    }
    marker.points.resize(score.traj.poses.size());
    for (size_t i = 0; i < score.traj.poses.size(); ++i) {
      marker.points[i].x = score.traj.poses[i].x;
      marker.points[i].y = score.traj.poses[i].y;
      marker.points[i].z = 0.0;
    }
    markers->markers.push_back(marker);
  }
  marker_pub_->publish(std::move(markers));
}

void DWBPublisher::publishLocalPlan(
  const std_msgs::msg::Header & header, const dwb_msgs::msg::Trajectory2D & traj)
{
  if (!publish_local_plan_ || !hasSubscribers(local_pub_)) {
    return;
  }
  local_pub_->publish(
    std::make_unique<nav_msgs::msg::Path>(
      nav_2d_utils::poses2DToPath(traj.poses, header.frame_id, header.stamp)));
}

void DWBPublisher::publishCostGrid(
  const std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros,
  const std::vector<TrajectoryCritic::Ptr> critics)
{
  if (!publish_cost_grid_pc_ || !hasSubscribers(cost_grid_pc_pub_)) {
    return;
  }

  nav2_costmap_2d::Costmap2D * costmap = costmap_ros->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  const size_t cell_count = static_cast<size_t>(size_x) * size_y;
  const CostChannels channels = collectCostChannels(critics, cell_count);

  auto cloud = std::make_unique<sensor_msgs::msg::PointCloud2>();
  cloud->header.frame_id = costmap_ros->getGlobalFrameID();
  cloud->header.stamp = clock_->now();
  cloud->is_bigendian = false;
  cloud->is_dense = true;

  std::vector<std::string> field_names{"x", "y", "z"};
  for (const auto & channel : channels) {
    field_names.push_back(channel.first);
  }
  cloud->fields.resize(field_names.size());
  uint32_t offset = 0;
  for (size_t i = 0; i < field_names.size(); ++i, offset += sizeof(float)) {
    cloud->fields[i].name = field_names[i];
    cloud->fields[i].offset = offset;
    cloud->fields[i].datatype = sensor_msgs::msg::PointField::FLOAT32;
    cloud->fields[i].count = 1;
  }
  cloud->point_step = offset;
  sensor_msgs::PointCloud2Modifier(*cloud).resize(cell_count);

  std::vector<sensor_msgs::PointCloud2Iterator<float>> fields;
  for (const auto & name : field_names) {
    fields.emplace_back(*cloud, name);
  }
  size_t cell = 0;
  for (unsigned int my = 0; my < size_y; ++my) {
    for (unsigned int mx = 0; mx < size_x; ++mx, ++cell) {
      double wx = 0.0;
      double wy = 0.0;
      costmap->mapToWorld(mx, my, wx, wy);
      *fields[0] = static_cast<float>(wx);
      *fields[1] = static_cast<float>(wy);
      *fields[2] = 0.0f;
      for (size_t channel = 0; channel < channels.size(); ++channel) {
        *fields[3 + channel] = channels[channel].second[cell];
      }
      for (auto & field : fields) {
        ++field;
      }
    }
  }
  lock.unlock();
  cost_grid_pc_pub_->publish(std::move(cloud));
}

void DWBPublisher::publishGlobalPlan(const nav_2d_msgs::msg::Path2D plan)
{
  publishGenericPlan(plan, *global_pub_, publish_global_plan_);
}

void DWBPublisher::publishTransformedPlan(const nav_2d_msgs::msg::Path2D plan)
{
  publishGenericPlan(plan, *transformed_pub_, publish_transformed_);
}

void DWBPublisher::publishLocalPlan(const nav_2d_msgs::msg::Path2D plan)
{
  publishGenericPlan(plan, *local_pub_, publish_local_plan_);
}

void DWBPublisher::publishGenericPlan(
  const nav_2d_msgs::msg::Path2D plan,
  rclcpp::Publisher<nav_msgs::msg::Path> & pub, bool flag)
{
  if (!flag || pub.get_subscription_count() == 0) {
    return;
  }
  auto path = std::make_unique<nav_msgs::msg::Path>(nav_2d_utils::pathToPath(plan));
  // publish() of the plain publisher is not virtual: go through the lifecycle one so that an
  // inactive planner stays silent.
  auto * managed = dynamic_cast<LifecyclePublisher<nav_msgs::msg::Path> *>(&pub);
  if (managed != nullptr) {
    managed->publish(std::move(path));
  } else {
    pub.publish(std::move(path));
  }
}

}  // namespace dwb_core
