#include "outline_clearance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "collision/footprint_outline.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "velmora_nav2_gridmap/distance_transform.hpp"

namespace velmora_apps
{

namespace
{
void checkInputs(
  const nav2_costmap_2d::Costmap2D & map, const std::vector<geometry_msgs::msg::Point> & footprint)
{
  if (footprint.empty()) {
    throw std::invalid_argument("the outline clearance needs a footprint");
  }
  const double resolution = map.getResolution();
  if (map.getSizeInCellsX() == 0 || map.getSizeInCellsY() == 0 || !(resolution > 0.0) ||
    !std::isfinite(resolution))
  {
    throw std::invalid_argument("the outline clearance needs a map with cells and a resolution");
  }
}

// Per cell, the distance in metres from its centre to the nearest lethal cell's centre; infinity
// for every cell of a map without lethal cells.
std::vector<float> lethalDistances(const nav2_costmap_2d::Costmap2D & map)
{
  const unsigned int size_x = map.getSizeInCellsX();
  const unsigned int size_y = map.getSizeInCellsY();
  std::vector<bool> lethal(std::size_t{size_x} * size_y);
  for (std::size_t index = 0; index < lethal.size(); ++index) {
    lethal[index] = map.getCost(static_cast<unsigned int>(index)) ==
      nav2_costmap_2d::LETHAL_OBSTACLE;
  }
  const std::vector<double> squared =
    velmora_nav2_gridmap::DistanceTransform::squaredDistances(size_x, size_y, lethal);
  std::vector<float> distances(squared.size());
  for (std::size_t index = 0; index < squared.size(); ++index) {
    distances[index] = squared[index] >= velmora_nav2_gridmap::DistanceTransform::kNoSource ?
      std::numeric_limits<float>::infinity() :
      static_cast<float>(std::sqrt(squared[index]) * map.getResolution());
  }
  return distances;
}

}  // namespace

OutlineClearance::OutlineClearance(
  const nav2_costmap_2d::Costmap2D & map, std::vector<geometry_msgs::msg::Point> footprint)
: footprint_((checkInputs(map, footprint), std::move(footprint))),
  size_x_(map.getSizeInCellsX()),
  size_y_(map.getSizeInCellsY()),
  resolution_(map.getResolution()),
  origin_x_(map.getOriginX()),
  origin_y_(map.getOriginY()),
  distances_(lethalDistances(map))
{
}

double OutlineClearance::at(const velmora_sim_robot::PlanarPose & pose) const
{
  Collision::FootprintOutline outline;
  outline.place({pose.x, pose.y, pose.yaw}, footprint_);
  const auto & vertices = outline.vertices();
  if (!std::all_of(vertices.begin(), vertices.end(), [this](const Vertex & v) {return onMap(v);}) ||
    enclosesLethalCell(outline))
  {
    return 0.0;
  }
  // A map with a lethal cell has a finite distance everywhere.
  if (std::isinf(distances_.front())) {
    return std::numeric_limits<double>::infinity();
  }
  return std::max(0.0, nearestCentreAlongEdges(vertices) - 0.5 * resolution_);
}

bool OutlineClearance::onMap(const Vertex & point) const
{
  return point.x >= origin_x_ && point.y >= origin_y_ &&
         point.x < origin_x_ + size_x_ * resolution_ && point.y < origin_y_ + size_y_ * resolution_;
}

double OutlineClearance::storedDistance(long cell_x, long cell_y) const
{
  return distances_[static_cast<std::size_t>(cell_y) * size_x_ + static_cast<std::size_t>(cell_x)];
}

double OutlineClearance::centreDistance(const Vertex & point) const
{
  // Cell coordinates in which the cell centres are whole numbers; points within half a cell of
  // the map's border take the border cells' values.
  const auto axis = [this](double coordinate, double origin, unsigned int size) {
      const double u = (coordinate - origin) / resolution_ - 0.5;
      const long last = static_cast<long>(size) - 1;
      const long low = std::clamp(static_cast<long>(std::floor(u)), 0L, last);
      const long high = std::min(low + 1, last);
      return std::make_tuple(low, high, std::clamp(u - static_cast<double>(low), 0.0, 1.0));
    };
  const auto [x0, x1, tx] = axis(point.x, origin_x_, size_x_);
  const auto [y0, y1, ty] = axis(point.y, origin_y_, size_y_);
  const double bottom = (1.0 - tx) * storedDistance(x0, y0) + tx * storedDistance(x1, y0);
  const double top = (1.0 - tx) * storedDistance(x0, y1) + tx * storedDistance(x1, y1);
  return (1.0 - ty) * bottom + ty * top;
}

bool OutlineClearance::enclosesLethalCell(const Collision::FootprintOutline & outline) const
{
  const auto & vertices = outline.vertices();
  double min_x = vertices.front().x;
  double max_x = min_x;
  double min_y = vertices.front().y;
  double max_y = min_y;
  for (const Vertex & p : vertices) {
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  // The outline lies on the map, so these cells do too.
  const auto cell = [this](double coordinate, double origin) {
      return static_cast<long>(std::floor((coordinate - origin) / resolution_));
    };
  for (long y = cell(min_y, origin_y_); y <= cell(max_y, origin_y_); ++y) {
    for (long x = cell(min_x, origin_x_); x <= cell(max_x, origin_x_); ++x) {
      // Inside the outline or on it.
      if (storedDistance(x, y) == 0.0 &&
        outline.depthOf(origin_x_ + (x + 0.5) * resolution_, origin_y_ + (y + 0.5) * resolution_) >=
        0.0)
      {
        return true;
      }
    }
  }
  return false;
}

double OutlineClearance::nearestCentreAlongEdges(const std::vector<Vertex> & outline) const
{
  const double step = 0.5 * resolution_;
  double nearest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < outline.size(); ++i) {
    // Each edge is sampled from its start up to, not including, its end: the next edge's start.
    const Vertex & a = outline[i];
    const Vertex & b = outline[(i + 1) % outline.size()];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const int samples = std::max(1, static_cast<int>(std::ceil(length / step)));
    for (int k = 0; k < samples; ++k) {
      const double t = static_cast<double>(k) / samples;
      nearest = std::min(nearest, centreDistance({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}));
    }
  }
  return nearest;
}

}  // namespace velmora_apps
