#include "nav2_costmap_2d/static_layer.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace nav2_costmap_2d
{

void StaticLayer::initialize(
  LayeredCostmap * parent, const std::string & name,
  const nav2_util::LifecycleNode::WeakPtr & node,
  rclcpp::CallbackGroup::SharedPtr callback_group)
{
  auto owner = node.lock();
  if (!owner) {
    throw std::runtime_error("static layer '" + name + "': its node is gone");
  }
  layered_costmap_ = parent;
  name_ = name;
  logger_ = owner->get_logger();

  std::string map_topic;
  bool transient_local = true;
  int lethal_threshold = 100;
  int unknown_cost_value = NO_INFORMATION;
  owner->get_parameter(name_ + ".map_topic", map_topic);
  owner->get_parameter(name_ + ".map_subscribe_transient_local", transient_local);
  owner->get_parameter("track_unknown_space", track_unknown_space_);
  owner->get_parameter("lethal_cost_threshold", lethal_threshold);
  owner->get_parameter("unknown_cost_value", unknown_cost_value);
  owner->get_parameter("trinary_costmap", trinary_costmap_);
  lethal_threshold_ = static_cast<unsigned char>(std::clamp(lethal_threshold, 0, 100));
  unknown_cost_value_ = static_cast<unsigned char>(unknown_cost_value);

  // A map server latches its map: a late subscriber still gets it.
  rclcpp::QoS map_qos(10);
  if (transient_local) {
    map_qos.transient_local().reliable().keep_last(1);
  }
  rclcpp::SubscriptionOptions options;
  options.callback_group = std::move(callback_group);
  map_sub_ = owner->create_subscription<nav_msgs::msg::OccupancyGrid>(
    map_topic, map_qos,
    [this](nav_msgs::msg::OccupancyGrid::SharedPtr map) {incomingMap(std::move(map));}, options);
  RCLCPP_INFO(logger_, "StaticLayer: subscribed to %s", map_sub_->get_topic_name());
}

unsigned char StaticLayer::interpretValue(unsigned char value) const
{
  if (value == unknown_cost_value_) {
    return track_unknown_space_ ? NO_INFORMATION : FREE_SPACE;
  }
  if (value >= lethal_threshold_) {
    return LETHAL_OBSTACLE;
  }
  if (trinary_costmap_) {
    return FREE_SPACE;
  }
  const double scale = static_cast<double>(value) / lethal_threshold_;
  return static_cast<unsigned char>(scale * LETHAL_OBSTACLE);
}

void StaticLayer::incomingMap(const nav_msgs::msg::OccupancyGrid::SharedPtr new_map)
{
  const auto & info = new_map->info;
  if (info.width == 0 || info.height == 0 || !(info.resolution > 0.0) ||
    new_map->data.size() != size_t{info.width} * info.height)
  {
    RCLCPP_WARN(
      logger_, "StaticLayer: ignoring a malformed map of %u x %u cells with %zu values",
      info.width, info.height, new_map->data.size());
    return;
  }
  RCLCPP_INFO(
    logger_, "StaticLayer: received a %u X %u map at %f m/pix", info.width, info.height,
    info.resolution);
  Costmap2D costs(
    info.width, info.height, info.resolution, info.origin.position.x, info.origin.position.y);
  unsigned char * cells = costs.getCharMap();
  for (size_t i = 0; i < new_map->data.size(); ++i) {
    cells[i] = interpretValue(static_cast<unsigned char>(new_map->data[i]));
  }
  layered_costmap_->setStaticMap(costs);
}

}  // namespace nav2_costmap_2d
