#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_HPP_

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace nav2_costmap_2d
{

struct MapLocation
{
  unsigned int x;
  unsigned int y;
};

// A 2D grid of costs. Cell (0, 0) has its lower-left corner at the origin; cells are stored
// row-major (index = my * size_x + mx).
class Costmap2D
{
public:
  Costmap2D(
    unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
    double origin_x, double origin_y, unsigned char default_value = 0);
  Costmap2D(const Costmap2D & map);
  // Occupancy values 0..100 scale to 0..LETHAL_OBSTACLE, -1 becomes NO_INFORMATION.
  explicit Costmap2D(const nav_msgs::msg::OccupancyGrid & map);
  Costmap2D & operator=(const Costmap2D & map);
  Costmap2D();
  virtual ~Costmap2D();

  bool copyCostmapWindow(
    const Costmap2D & map, double win_origin_x, double win_origin_y, double win_size_x,
    double win_size_y);

  // Defined here, like worldToMap: collision checks read many cells per command.
  unsigned char getCost(unsigned int mx, unsigned int my) const {return costmap_[getIndex(mx, my)];}
  unsigned char getCost(unsigned int index) const {return costmap_[index];}
  void setCost(unsigned int mx, unsigned int my, unsigned char cost);

  void mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const;
  // Defined here: planners call it for every pose they score.
  bool worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my) const
  {
    const long cell_x = cellOnAxis(wx, origin_x_, resolution_, size_x_);
    const long cell_y = cellOnAxis(wy, origin_y_, resolution_, size_y_);
    if (cell_x < 0 || cell_y < 0) {
      return false;
    }
    mx = static_cast<unsigned int>(cell_x);
    my = static_cast<unsigned int>(cell_y);
    return true;
  }
  void worldToMapNoBounds(double wx, double wy, int & mx, int & my) const;
  void worldToMapEnforceBounds(double wx, double wy, int & mx, int & my) const;

  inline unsigned int getIndex(unsigned int mx, unsigned int my) const
  {
    return my * size_x_ + mx;
  }

  inline void indexToCells(unsigned int index, unsigned int & mx, unsigned int & my) const
  {
    my = index / size_x_;
    mx = index - (my * size_x_);
  }

  unsigned char * getCharMap() const;
  unsigned int getSizeInCellsX() const;
  unsigned int getSizeInCellsY() const;
  double getSizeInMetersX() const;
  double getSizeInMetersY() const;
  double getOriginX() const;
  double getOriginY() const;
  double getResolution() const;

  void setDefaultValue(unsigned char c) {default_value_ = c;}
  unsigned char getDefaultValue() {return default_value_;}

  // False when a vertex lies outside the map; otherwise every cell of the polygon gets the cost.
  bool setConvexPolygonCost(
    const std::vector<geometry_msgs::msg::Point> & polygon, unsigned char cost_value);
  void polygonOutlineCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells);
  // Fills, column by column, between the lowest and highest outline cell of each column: exact
  // for convex polygons, the column-wise hull for concave ones.
  void convexFillCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells);

  // Moves the map so its origin is at the given world position (snapped to whole cells), keeping
  // the costs of the area both positions cover and resetting the rest to the default value.
  virtual void updateOrigin(double new_origin_x, double new_origin_y);
  bool saveMap(std::string file_name);
  void resizeMap(
    unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
    double origin_y);
  // Cells [x0, xn) x [y0, yn) back to the default value.
  void resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn);
  void resetMapToValue(
    unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn, unsigned char value);
  unsigned int cellDistance(double world_dist);

  typedef std::recursive_mutex mutex_t;
  mutex_t * getMutex() {return access_;}

private:
  // Cell coordinate of a world coordinate along one axis, or -1 when it is not on the map.
  // Computed in double so NaN and huge values never reach an integer conversion.
  static long cellOnAxis(double world, double origin, double resolution, unsigned int size)
  {
    if (!std::isfinite(world) || world < origin) {
      return -1;
    }
    const double cell = std::floor((world - origin) / resolution);
    return cell < static_cast<double>(size) ? static_cast<long>(cell) : -1;
  }

protected:
  template<typename data_type>
  void copyMapRegion(
    data_type * source_map, unsigned int sm_lower_left_x, unsigned int sm_lower_left_y,
    unsigned int sm_size_x, data_type * dest_map, unsigned int dm_lower_left_x,
    unsigned int dm_lower_left_y, unsigned int dm_size_x, unsigned int region_size_x,
    unsigned int region_size_y)
  {
    data_type * sm_index = source_map + (sm_lower_left_y * sm_size_x + sm_lower_left_x);
    data_type * dm_index = dest_map + (dm_lower_left_y * dm_size_x + dm_lower_left_x);
    for (unsigned int i = 0; i < region_size_y; ++i) {
      std::copy(sm_index, sm_index + region_size_x, dm_index);
      sm_index += sm_size_x;
      dm_index += dm_size_x;
    }
  }

  virtual void deleteMaps();
  virtual void resetMaps();
  virtual void initMaps(unsigned int size_x, unsigned int size_y);

  // Calls at(offset) for every cell on the line from (x0, y0) to (x1, y1), both ends included.
  template<class ActionType>
  inline void raytraceLine(
    ActionType at, unsigned int x0, unsigned int y0, unsigned int x1, unsigned int y1)
  {
    int x = static_cast<int>(x0);
    int y = static_cast<int>(y0);
    const int dx = std::abs(static_cast<int>(x1) - x);
    const int dy = -std::abs(static_cast<int>(y1) - y);
    const int step_x = x < static_cast<int>(x1) ? 1 : -1;
    const int step_y = y < static_cast<int>(y1) ? 1 : -1;
    int error = dx + dy;
    while (true) {
      at(getIndex(static_cast<unsigned int>(x), static_cast<unsigned int>(y)));
      if (x == static_cast<int>(x1) && y == static_cast<int>(y1)) {
        break;
      }
      const int doubled = 2 * error;
      if (doubled >= dy) {
        error += dy;
        x += step_x;
      }
      if (doubled <= dx) {
        error += dx;
        y += step_y;
      }
    }
  }

  unsigned int size_x_;
  unsigned int size_y_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  unsigned char * costmap_;
  unsigned char default_value_;

  class MarkCell
  {
public:
    MarkCell(unsigned char * costmap, unsigned char value)
    : costmap_(costmap), value_(value) {}
    inline void operator()(unsigned int offset) {costmap_[offset] = value_;}

private:
    unsigned char * costmap_;
    unsigned char value_;
  };

  class PolygonOutlineCells
  {
public:
    PolygonOutlineCells(
      const Costmap2D & costmap, const unsigned char * /*char_map*/,
      std::vector<MapLocation> & cells)
    : costmap_(costmap), cells_(cells) {}
    inline void operator()(unsigned int offset)
    {
      MapLocation loc;
      costmap_.indexToCells(offset, loc.x, loc.y);
      cells_.push_back(loc);
    }

private:
    const Costmap2D & costmap_;
    std::vector<MapLocation> & cells_;
  };

private:
  mutex_t * access_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_HPP_
