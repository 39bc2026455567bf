#include "nav2_costmap_2d/layered_costmap.hpp"

#include <algorithm>
#include <utility>

#include "nav2_costmap_2d/footprint.hpp"

namespace nav2_costmap_2d
{

LayeredCostmap::LayeredCostmap(std::string global_frame, bool rolling_window, bool track_unknown)
: global_frame_(std::move(global_frame)), rolling_window_(rolling_window),
  track_unknown_(track_unknown)
{
  combined_costmap_.setDefaultValue(track_unknown_ ? NO_INFORMATION : FREE_SPACE);
  inflation_.setInscribedRadius(inscribed_radius_);
}

LayeredCostmap::~LayeredCostmap() = default;

void LayeredCostmap::resizeMap(
  unsigned int size_x, unsigned int size_y, double resolution, double origin_x, double origin_y,
  bool size_locked)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  size_locked_ = size_locked;
  combined_costmap_.resizeMap(size_x, size_y, resolution, origin_x, origin_y);
  rebuild();
}

void LayeredCostmap::updateMap(double robot_x, double robot_y, double /*robot_yaw*/)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  initialized_ = true;
  if (!rolling_window_) {
    return;
  }
  combined_costmap_.updateOrigin(
    robot_x - combined_costmap_.getSizeInMetersX() / 2,
    robot_y - combined_costmap_.getSizeInMetersY() / 2);
  rebuild();
}

void LayeredCostmap::setFootprint(const std::vector<geometry_msgs::msg::Point> & footprint_spec)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  footprint_ = footprint_spec;
  calculateMinAndMaxDistances(footprint_spec, inscribed_radius_, circumscribed_radius_);
  inflation_.setInscribedRadius(inscribed_radius_);
  rebuild();
}

void LayeredCostmap::setStaticMap(const Costmap2D & static_map)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  static_map_ = static_map;
  has_static_map_ = true;
  if (!size_locked_ && !rolling_window_) {
    combined_costmap_.resizeMap(
      static_map.getSizeInCellsX(), static_map.getSizeInCellsY(), static_map.getResolution(),
      static_map.getOriginX(), static_map.getOriginY());
  }
  rebuild();
}

void LayeredCostmap::setInflationParameters(double inflation_radius, double cost_scaling_factor)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  inflation_.setInflationParameters(inflation_radius, cost_scaling_factor);
  rebuild();
}

void LayeredCostmap::clearStaticMap()
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  has_static_map_ = false;
  rebuild();
}

void LayeredCostmap::rebuild()
{
  std::unique_lock<Costmap2D::mutex_t> lock(*combined_costmap_.getMutex());
  Costmap2D & master = combined_costmap_;
  const unsigned int size_x = master.getSizeInCellsX();
  const unsigned int size_y = master.getSizeInCellsY();
  master.resetMap(0, 0, size_x, size_y);
  current_ = has_static_map_;
  if (!has_static_map_ || (rolling_window_ && !initialized_)) {
    return;
  }
  const bool same_grid = size_x == static_map_.getSizeInCellsX() &&
    size_y == static_map_.getSizeInCellsY() &&
    master.getResolution() == static_map_.getResolution() &&
    master.getOriginX() == static_map_.getOriginX() &&
    master.getOriginY() == static_map_.getOriginY();
  unsigned char * costs = master.getCharMap();
  if (same_grid) {
    std::copy(static_map_.getCharMap(), static_map_.getCharMap() + size_t{size_x} * size_y, costs);
  } else {
    copyStaticMapIntoWindow();
  }
  if (!track_unknown_) {
    std::replace(costs, costs + size_t{size_x} * size_y, NO_INFORMATION, FREE_SPACE);
  }
  inflation_.updateCosts(master, 0, 0, static_cast<int>(size_x), static_cast<int>(size_y));
}

void LayeredCostmap::copyStaticMapIntoWindow()
{
  // A locked or rolling master covers its own window: each cell takes the static map's cell
  // under its centre, as Nav2's static layer copies into a rolling window.
  Costmap2D & master = combined_costmap_;
  unsigned char * costs = master.getCharMap();
  for (unsigned int my = 0; my < master.getSizeInCellsY(); ++my) {
    for (unsigned int mx = 0; mx < master.getSizeInCellsX(); ++mx) {
      double wx, wy;
      unsigned int sx, sy;
      master.mapToWorld(mx, my, wx, wy);
      if (static_map_.worldToMap(wx, wy, sx, sy)) {
        costs[master.getIndex(mx, my)] = static_map_.getCost(sx, sy);
      }
    }
  }
}

}  // namespace nav2_costmap_2d
