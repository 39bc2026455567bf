#ifndef VELMORA_NAV2_GRIDMAP__OCCUPANCY_MAP_LOADER_HPP_
#define VELMORA_NAV2_GRIDMAP__OCCUPANCY_MAP_LOADER_HPP_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace velmora_nav2_gridmap
{

// A map file that cannot be used; the message names the file and, where one is at fault, the
// field.
class MapLoadError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// An occupancy grid as the map server publishes it.
struct OccupancyMap
{
  static constexpr int8_t kFree = 0;
  static constexpr int8_t kOccupied = 100;
  static constexpr int8_t kUnknown = -1;

  unsigned int width{0};
  unsigned int height{0};
  double resolution{0.0};
  // World pose of the lower-left corner of cell (0, 0). The costmap cannot rotate, so a yaw
  // other than zero is reported and otherwise ignored.
  double origin_x{0.0};
  double origin_y{0.0};
  double origin_yaw{0.0};
  // Row-major from the bottom row (the image's last line): kFree, kOccupied or kUnknown.
  std::vector<int8_t> data;

  // The costs a static costmap layer makes of it: LETHAL_OBSTACLE, FREE_SPACE, NO_INFORMATION.
  nav2_costmap_2d::Costmap2D toCostmap() const;
  // The message a map server publishes of it, in `frame_id`; the header stamp is left to the
  // publisher.
  nav_msgs::msg::OccupancyGrid toOccupancyGrid(const std::string & frame_id) const;
};

// Reads a map in the ROS map-server format: a YAML file with "image" (path relative to the YAML
// file), "resolution", "origin" [x, y, yaw], "occupied_thresh" and "free_thresh", optionally
// "negate" (default 0) and "mode" (only "trinary", the default, is supported). A pixel's
// occupancy is 1 - value / max_value (value / max_value when negated); above occupied_thresh
// the cell is occupied, below free_thresh free, in between unknown.
class OccupancyMapLoader
{
public:
  // Throws MapLoadError on a missing or unreadable file, a missing or invalid field, or an
  // image that is not a valid PGM.
  static OccupancyMap load(const std::string & yaml_path);
};

}  // namespace velmora_nav2_gridmap

#endif  // VELMORA_NAV2_GRIDMAP__OCCUPANCY_MAP_LOADER_HPP_
