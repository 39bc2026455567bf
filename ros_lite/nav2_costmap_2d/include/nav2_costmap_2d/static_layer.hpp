#ifndef NAV2_COSTMAP_2D__STATIC_LAYER_HPP_
#define NAV2_COSTMAP_2D__STATIC_LAYER_HPP_

#include <string>

#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_costmap_2d
{

// Takes the map a map server publishes and makes it the static map of the layered costmap,
// which then takes the map's size, resolution and origin (unless it rolls) and is inflated.
// Every map received replaces the previous one.
//
// Reads from its node, as Nav2's static layer does: "<name>.map_topic" (a relative name is
// resolved in the node's namespace), "<name>.map_subscribe_transient_local",
// "track_unknown_space", "lethal_cost_threshold", "unknown_cost_value", "trinary_costmap".
// The stand-in declares them when the costmap node is constructed; Nav2 declares the layer's
// own when the layer is loaded.
class StaticLayer
{
public:
  StaticLayer() = default;
  StaticLayer(const StaticLayer &) = delete;
  StaticLayer & operator=(const StaticLayer &) = delete;

  // Subscribes to the map topic; maps arrive on `callback_group`, so the caller decides which
  // thread writes them into `parent` (under the master costmap's mutex).
  void initialize(
    LayeredCostmap * parent, const std::string & name,
    const nav2_util::LifecycleNode::WeakPtr & node,
    rclcpp::CallbackGroup::SharedPtr callback_group);

  // The cost of one occupancy value (-1 unknown, 0 free ... 100 occupied, as the byte it is
  // stored in).
  unsigned char interpretValue(unsigned char value) const;

private:
  void incomingMap(const nav_msgs::msg::OccupancyGrid::SharedPtr new_map);

  LayeredCostmap * layered_costmap_{nullptr};
  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("nav2_costmap_2d")};
  rclcpp::Subscription<nav_msgs::msg::OccupancyGrid>::SharedPtr map_sub_;
  bool track_unknown_space_{false};
  unsigned char lethal_threshold_{100};
  unsigned char unknown_cost_value_{NO_INFORMATION};
  bool trinary_costmap_{true};
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__STATIC_LAYER_HPP_
