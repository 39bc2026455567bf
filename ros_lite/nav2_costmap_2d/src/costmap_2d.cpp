#include "nav2_costmap_2d/costmap_2d.hpp"

#include <cmath>
#include <cstdio>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d
{

namespace
{
// Unlike worldToMapNoBounds this never yields an index past the last cell, also for a coordinate
// exactly on the far edge.
int clampedCell(double world, double origin, double resolution, unsigned int size)
{
  if (!(world >= origin)) {
    return 0;
  }
  if (world >= origin + resolution * size) {
    return static_cast<int>(size) - 1;
  }
  return std::min(static_cast<int>((world - origin) / resolution), static_cast<int>(size) - 1);
}
}  // namespace

Costmap2D::Costmap2D(
  unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
  double origin_x, double origin_y, unsigned char default_value)
: size_x_(cells_size_x), size_y_(cells_size_y), resolution_(resolution),
  origin_x_(origin_x), origin_y_(origin_y), costmap_(nullptr), default_value_(default_value),
  access_(new mutex_t())
{
  initMaps(size_x_, size_y_);
  resetMaps();
}

Costmap2D::Costmap2D(const nav_msgs::msg::OccupancyGrid & map)
: size_x_(map.info.width), size_y_(map.info.height), resolution_(map.info.resolution),
  origin_x_(map.info.origin.position.x), origin_y_(map.info.origin.position.y),
  costmap_(nullptr), default_value_(FREE_SPACE), access_(new mutex_t())
{
  initMaps(size_x_, size_y_);
  const size_t cells = std::min<size_t>(map.data.size(), size_t{size_x_} * size_y_);
  for (size_t i = 0; i < cells; ++i) {
    const int8_t occupancy = map.data[i];
    costmap_[i] = occupancy < 0 ? NO_INFORMATION : static_cast<unsigned char>(
      std::lround(static_cast<double>(occupancy) * (LETHAL_OBSTACLE - FREE_SPACE) / 100.0));
  }
}

Costmap2D::Costmap2D()
: size_x_(0), size_y_(0), resolution_(0.0), origin_x_(0.0), origin_y_(0.0), costmap_(nullptr),
  default_value_(0), access_(new mutex_t())
{
}

Costmap2D::Costmap2D(const Costmap2D & map)
: costmap_(nullptr), access_(new mutex_t())
{
  *this = map;
}

Costmap2D & Costmap2D::operator=(const Costmap2D & map)
{
  if (this == &map) {
    return *this;
  }
  deleteMaps();
  size_x_ = map.size_x_;
  size_y_ = map.size_y_;
  resolution_ = map.resolution_;
  origin_x_ = map.origin_x_;
  origin_y_ = map.origin_y_;
  default_value_ = map.default_value_;
  initMaps(size_x_, size_y_);
  std::copy(map.costmap_, map.costmap_ + size_t{size_x_} * size_y_, costmap_);
  return *this;
}

Costmap2D::~Costmap2D()
{
  deleteMaps();
  delete access_;
}

void Costmap2D::deleteMaps()
{
  std::unique_lock<mutex_t> lock(*access_);
  delete[] costmap_;
  costmap_ = nullptr;
}

void Costmap2D::initMaps(unsigned int size_x, unsigned int size_y)
{
  std::unique_lock<mutex_t> lock(*access_);
  delete[] costmap_;
  costmap_ = new unsigned char[size_t{size_x} * size_y];
}

void Costmap2D::resetMaps()
{
  std::unique_lock<mutex_t> lock(*access_);
  std::fill(costmap_, costmap_ + size_t{size_x_} * size_y_, default_value_);
}

void Costmap2D::resizeMap(
  unsigned int size_x, unsigned int size_y, double resolution, double origin_x, double origin_y)
{
  size_x_ = size_x;
  size_y_ = size_y;
  resolution_ = resolution;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  initMaps(size_x, size_y);
  resetMaps();
}

void Costmap2D::resetMap(unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn)
{
  resetMapToValue(x0, y0, xn, yn, default_value_);
}

void Costmap2D::resetMapToValue(
  unsigned int x0, unsigned int y0, unsigned int xn, unsigned int yn, unsigned char value)
{
  std::unique_lock<mutex_t> lock(*access_);
  for (unsigned int y = y0; y < yn; ++y) {
    std::fill(costmap_ + getIndex(x0, y), costmap_ + getIndex(xn, y), value);
  }
}

bool Costmap2D::copyCostmapWindow(
  const Costmap2D & map, double win_origin_x, double win_origin_y, double win_size_x,
  double win_size_y)
{
  if (this == &map) {
    return false;
  }
  unsigned int lower_left_x, lower_left_y, upper_right_x, upper_right_y;
  if (!map.worldToMap(win_origin_x, win_origin_y, lower_left_x, lower_left_y) ||
    !map.worldToMap(
      win_origin_x + win_size_x, win_origin_y + win_size_y, upper_right_x, upper_right_y))
  {
    return false;
  }
  size_x_ = upper_right_x - lower_left_x;
  size_y_ = upper_right_y - lower_left_y;
  resolution_ = map.resolution_;
  origin_x_ = win_origin_x;
  origin_y_ = win_origin_y;
  initMaps(size_x_, size_y_);
  copyMapRegion(
    map.costmap_, lower_left_x, lower_left_y, map.size_x_, costmap_, 0, 0, size_x_, size_x_,
    size_y_);
  return true;
}

unsigned int Costmap2D::cellDistance(double world_dist)
{
  const double cells_dist = std::max(0.0, std::ceil(world_dist / resolution_));
  return static_cast<unsigned int>(cells_dist);
}

unsigned char * Costmap2D::getCharMap() const
{
  return costmap_;
}

void Costmap2D::setCost(unsigned int mx, unsigned int my, unsigned char cost)
{
  costmap_[getIndex(mx, my)] = cost;
}

void Costmap2D::mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const
{
  wx = origin_x_ + (mx + 0.5) * resolution_;
  wy = origin_y_ + (my + 0.5) * resolution_;
}

void Costmap2D::worldToMapNoBounds(double wx, double wy, int & mx, int & my) const
{
  mx = static_cast<int>((wx - origin_x_) / resolution_);
  my = static_cast<int>((wy - origin_y_) / resolution_);
}

void Costmap2D::worldToMapEnforceBounds(double wx, double wy, int & mx, int & my) const
{
  mx = clampedCell(wx, origin_x_, resolution_, size_x_);
  my = clampedCell(wy, origin_y_, resolution_, size_y_);
}

void Costmap2D::updateOrigin(double new_origin_x, double new_origin_y)
{
  const int cell_ox = static_cast<int>((new_origin_x - origin_x_) / resolution_);
  const int cell_oy = static_cast<int>((new_origin_y - origin_y_) / resolution_);
  if (cell_ox == 0 && cell_oy == 0) {
    return;
  }
  const int size_x = static_cast<int>(size_x_);
  const int size_y = static_cast<int>(size_y_);
  // The part of the current map that the moved map still covers, in current cells.
  const int lower_left_x = std::min(std::max(cell_ox, 0), size_x);
  const int lower_left_y = std::min(std::max(cell_oy, 0), size_y);
  const int upper_right_x = std::min(std::max(cell_ox + size_x, 0), size_x);
  const int upper_right_y = std::min(std::max(cell_oy + size_y, 0), size_y);
  const unsigned int cell_size_x = static_cast<unsigned int>(upper_right_x - lower_left_x);
  const unsigned int cell_size_y = static_cast<unsigned int>(upper_right_y - lower_left_y);

  std::unique_lock<mutex_t> lock(*access_);
  std::vector<unsigned char> kept(size_t{cell_size_x} * cell_size_y);
  copyMapRegion(
    costmap_, lower_left_x, lower_left_y, size_x_, kept.data(), 0, 0, cell_size_x, cell_size_x,
    cell_size_y);
  resetMaps();
  origin_x_ += cell_ox * resolution_;
  origin_y_ += cell_oy * resolution_;
  copyMapRegion(
    kept.data(), 0, 0, cell_size_x, costmap_, lower_left_x - cell_ox, lower_left_y - cell_oy,
    size_x_, cell_size_x, cell_size_y);
}

bool Costmap2D::setConvexPolygonCost(
  const std::vector<geometry_msgs::msg::Point> & polygon, unsigned char cost_value)
{
  std::vector<MapLocation> map_polygon;
  for (const auto & point : polygon) {
    MapLocation loc;
    if (!worldToMap(point.x, point.y, loc.x, loc.y)) {
      return false;
    }
    map_polygon.push_back(loc);
  }
  std::vector<MapLocation> polygon_cells;
  convexFillCells(map_polygon, polygon_cells);
  for (const auto & cell : polygon_cells) {
    costmap_[getIndex(cell.x, cell.y)] = cost_value;
  }
  return true;
}

void Costmap2D::polygonOutlineCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells)
{
  if (polygon.empty()) {
    return;
  }
  PolygonOutlineCells cell_gatherer(*this, costmap_, polygon_cells);
  for (size_t i = 0; i + 1 < polygon.size(); ++i) {
    raytraceLine(cell_gatherer, polygon[i].x, polygon[i].y, polygon[i + 1].x, polygon[i + 1].y);
  }
  const MapLocation & last = polygon.back();
  raytraceLine(cell_gatherer, last.x, last.y, polygon.front().x, polygon.front().y);
}

void Costmap2D::convexFillCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & polygon_cells)
{
  if (polygon.size() < 3) {
    return;
  }
  std::vector<MapLocation> outline;
  polygonOutlineCells(polygon, outline);
  unsigned int min_x = std::numeric_limits<unsigned int>::max();
  unsigned int max_x = 0;
  for (const auto & cell : outline) {
    min_x = std::min(min_x, cell.x);
    max_x = std::max(max_x, cell.x);
  }
  std::vector<unsigned int> low(max_x - min_x + 1, std::numeric_limits<unsigned int>::max());
  std::vector<unsigned int> high(max_x - min_x + 1, 0);
  for (const auto & cell : outline) {
    low[cell.x - min_x] = std::min(low[cell.x - min_x], cell.y);
    high[cell.x - min_x] = std::max(high[cell.x - min_x], cell.y);
  }
  for (unsigned int x = min_x; x <= max_x; ++x) {
    for (unsigned int y = low[x - min_x]; y <= high[x - min_x]; ++y) {
      polygon_cells.push_back(MapLocation{x, y});
    }
  }
}

bool Costmap2D::saveMap(std::string file_name)
{
  FILE * fp = std::fopen(file_name.c_str(), "w");
  if (!fp) {
    return false;
  }
  std::fprintf(fp, "P2\n%u\n%u\n%u\n", size_x_, size_y_, 0xffu);
  for (unsigned int iy = 0; iy < size_y_; iy++) {
    for (unsigned int ix = 0; ix < size_x_; ix++) {
      std::fprintf(fp, "%d ", getCost(ix, iy));
    }
    std::fprintf(fp, "\n");
  }
  std::fclose(fp);
  return true;
}

// As in Nav2: measured to the middle of the last cell, so half a cell short of the full extent.
double Costmap2D::getSizeInMetersX() const
{
  return size_x_ == 0 ? 0.0 : (size_x_ - 1 + 0.5) * resolution_;
}

double Costmap2D::getSizeInMetersY() const
{
  return size_y_ == 0 ? 0.0 : (size_y_ - 1 + 0.5) * resolution_;
}

unsigned int Costmap2D::getSizeInCellsX() const {return size_x_;}
unsigned int Costmap2D::getSizeInCellsY() const {return size_y_;}
double Costmap2D::getOriginX() const {return origin_x_;}
double Costmap2D::getOriginY() const {return origin_y_;}
double Costmap2D::getResolution() const {return resolution_;}

}  // namespace nav2_costmap_2d
