#ifndef NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
#define NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/inflation_layer.hpp"

namespace nav2_costmap_2d
{

// The master costmap and the layers that fill it. Nav2 loads its layers as plugins; the
// stand-in has a fixed stack: a static map (which the static layer takes from the map topic)
// under an inflation layer. Whenever the map, the footprint or the inflation parameters change
// the master costmap is rebuilt from the static map.
class LayeredCostmap
{
public:
  LayeredCostmap(std::string global_frame, bool rolling_window, bool track_unknown);
  ~LayeredCostmap();

  // One update at the robot pose. A rolling window moves so that the robot is at its centre
  // (its origin staying on the grid of cells it started on) and is refilled from the static
  // map: cells off the map take the default value (NO_INFORMATION when tracking unknown space,
  // FREE_SPACE otherwise). A fixed master costmap already holds the static map, so an update
  // leaves its cells as they are.
  void updateMap(double robot_x, double robot_y, double robot_yaw);

  std::string getGlobalFrameID() const {return global_frame_;}

  void resizeMap(
    unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
    double origin_y, bool size_locked = false);

  // True once the master costmap holds a static map. Safe to poll from any thread.
  bool isCurrent() {return current_;}
  Costmap2D * getCostmap() {return &combined_costmap_;}
  bool isRolling() {return rolling_window_;}
  bool isTrackingUnknown() {return track_unknown_;}
  const std::vector<geometry_msgs::msg::Point> & getFootprint() {return footprint_;}
  // Takes the (padded) footprint; its inscribed radius sets the inscribed inflation band.
  void setFootprint(const std::vector<geometry_msgs::msg::Point> & footprint_spec);
  double getCircumscribedRadius() {return circumscribed_radius_;}
  double getInscribedRadius() {return inscribed_radius_;}
  bool isSizeLocked() {return size_locked_;}
  // True once updateMap() has run. Until then a rolling window has no place and holds only the
  // default value.
  bool isInitialized() {return initialized_;}

  // ---- ros_lite only ----
  // Replaces the static map (costs as a static layer produces them: LETHAL_OBSTACLE,
  // FREE_SPACE, NO_INFORMATION) and rebuilds the master costmap. Unless the size is locked or
  // the window rolls, the master takes the map's size, resolution and origin. Without unknown
  // tracking, unknown cells count as free.
  void setStaticMap(const Costmap2D & static_map);
  // Takes the inflation parameters and rebuilds the master costmap.
  void setInflationParameters(double inflation_radius, double cost_scaling_factor);
  // Drops the static map: the master costmap returns to its default value.
  void clearStaticMap();
  // Rebuilds the master costmap from the static map where it stands (rolling windows stay).
  void rebuild();

private:
  // The static map's costs in the master's cells, where the two grids differ.
  void copyStaticMapIntoWindow();

  Costmap2D combined_costmap_;
  Costmap2D static_map_;
  InflationLayer inflation_;
  std::string global_frame_;
  bool rolling_window_;
  bool track_unknown_;
  // Maps arrive on the costmap node's own thread while others poll these.
  std::atomic_bool current_{false};
  std::atomic_bool initialized_{false};
  bool size_locked_{false};
  bool has_static_map_{false};
  std::vector<geometry_msgs::msg::Point> footprint_;
  double circumscribed_radius_{1.0};
  double inscribed_radius_{0.1};
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
