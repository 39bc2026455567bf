#ifndef VELMORA_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_
#define VELMORA_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/publisher.hpp"
#include "velmora_nav2_gridmap/multi_grid_map.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

namespace velmora_nav2_gridmap
{

// The robot's map service: loads the occupancy map, owns the costmap node built on it (global
// frame "map", robot frame "base_footprint") and the multi-layer map with the narrow-passage
// layer.
//
// The costmap takes the map the way it takes one from a map server: GridMapROS publishes it,
// latched (transient local, keep last 1), on the costmap node's "map" topic (so
// "/global_costmap/map" by default), where the costmap's static layer subscribes by default.
// Each costmap node thus gets only its own map.
//
// The costmap node takes its parameters like any node: from the parameter files given to
// rclcpp::init for its name, then from `parameters` (which win). Besides the costmap's own
// (footprint, robot_radius, footprint_padding, transform_tolerance,
// inflation_layer.inflation_radius, inflation_layer.cost_scaling_factor, ...) it has:
//   yaml_filename         the map in map-server format (default: the built-in warehouse)
//   narrow_passage_width  passages narrower than this, in metres, are narrow (default 1.6)
// global_frame defaults to "map" and robot_base_frame to "base_footprint" here.
//
// By default the costmap covers the whole map. A rolling local costmap is configured as for any
// Nav2 costmap, in the node's parameters:
//   global_costmap:
//     global_costmap:
//       ros__parameters:
//         rolling_window: true
//         width: 5            # metres, an integer as Nav2 declares it
//         height: 5           # metres, an integer
//         resolution: 0.05    # metres per cell
//         update_frequency: 5.0   # window moves per second (the default)
// The costmap is then a width x height window that the costmap node's update thread moves every
// 1 / update_frequency s so that the robot (tf global_frame -> robot_base_frame) is at its
// centre, refilling it from the map and inflating it. Cells off the map are free, or unknown
// with track_unknown_space: true. Until the robot pose is known the window holds no map cells.
// Keep global_frame "map": the map is published in global_frame and never transformed.
// The multi-layer map is built on the whole loaded map either way.
class GridMapROS
{
public:
  // Creates the costmap node `name` in namespace `name` (so "/global_costmap/global_costmap"
  // by default), loads and publishes the map, configures and activates the node and returns
  // once the costmap holds the map (a rolling window: once its static layer has the map).
  // Throws MapLoadError for an unusable map file, std::invalid_argument for an unusable
  // parameter (a footprint of fewer than three points, a bad narrow_passage_width, an unknown
  // parameter name), the message naming the file or parameter, and std::runtime_error naming
  // the node when the costmap does not take the map within 2 s (e.g. its
  // static_layer.map_topic points elsewhere).
  explicit GridMapROS(
    const std::string & name = "global_costmap",
    const std::vector<rclcpp::Parameter> & parameters = {});
  ~GridMapROS();

  GridMapROS(const GridMapROS &) = delete;
  GridMapROS & operator=(const GridMapROS &) = delete;

  // Returns once the costmap holds the map (a rolling window: once an update has placed it on
  // the robot) and no update of it is under way: true then, false when that does not happen
  // within `timeout` (e.g. the costmap node was deactivated, or no robot pose is known yet).
  bool waitForCostmap(std::chrono::milliseconds timeout = std::chrono::milliseconds(200));

  // The robot pose in the global frame with its heading turned by pi, for planning a backward
  // drive as a forward one; false (pose untouched) when the robot pose is unavailable.
  bool getInvertedRobotPose(geometry_msgs::msg::PoseStamped & pose);

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> getCostmapROS() const {return costmap_ros_;}
  std::shared_ptr<MultiGridMap> getMultiGridMap() const {return multi_grid_map_;}
  // The map file in use.
  const std::string & getMapFile() const {return map_file_;}

  // The built-in warehouse map, installed with this package (found through the ament index, so
  // the package's install prefix must be on AMENT_PREFIX_PATH). Throws
  // ament_index_cpp::PackageNotFoundError when it is not.
  static std::string defaultMapFile();

private:
  void applyParameters(const std::vector<rclcpp::Parameter> & parameters);
  void checkFootprint();
  void configureCostmap();
  void publishMap(const OccupancyMap & map);
  void waitForMap(const OccupancyMap & map);
  void shutDownCostmap();
  // Polls `condition` until it holds (true) or `timeout` has passed (false).
  template<typename Condition>
  static bool waitUntil(Condition condition, std::chrono::milliseconds timeout);

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  // Kept for the service's lifetime: the latched map stays available to the costmap.
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_publisher_;
  std::shared_ptr<MultiGridMap> multi_grid_map_;
  std::string map_file_;
};

}  // namespace velmora_nav2_gridmap

#endif  // VELMORA_NAV2_GRIDMAP__GRID_MAP_ROS_HPP_
