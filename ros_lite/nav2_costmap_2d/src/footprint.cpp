#include "nav2_costmap_2d/footprint.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "nav2_costmap_2d/array_parser.hpp"
#include "rclcpp/logging.hpp"

namespace nav2_costmap_2d
{

namespace
{
double distanceToSegment(
  double px, double py, const geometry_msgs::msg::Point & a, const geometry_msgs::msg::Point & b)
{
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0.0 ? ((px - a.x) * dx + (py - a.y) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

double sign0(double x)
{
  return x < 0.0 ? -1.0 : (x > 0.0 ? 1.0 : 0.0);
}

rclcpp::Logger footprintLogger()
{
  return rclcpp::get_logger("nav2_costmap_2d");
}
}  // namespace

void calculateMinAndMaxDistances(
  const std::vector<geometry_msgs::msg::Point> & footprint, double & min_dist,
  double & max_dist)
{
  min_dist = std::numeric_limits<double>::max();
  max_dist = 0.0;
  if (footprint.size() <= 2) {
    return;
  }
  for (size_t i = 0; i < footprint.size(); ++i) {
    const auto & vertex = footprint[i];
    const auto & next = footprint[(i + 1) % footprint.size()];
    const double vertex_dist = std::hypot(vertex.x, vertex.y);
    const double edge_dist = distanceToSegment(0.0, 0.0, vertex, next);
    min_dist = std::min(min_dist, std::min(vertex_dist, edge_dist));
    max_dist = std::max(max_dist, std::max(vertex_dist, edge_dist));
  }
}

geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt)
{
  geometry_msgs::msg::Point point;
  point.x = pt.x;
  point.y = pt.y;
  point.z = pt.z;
  return point;
}

geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt)
{
  geometry_msgs::msg::Point32 point32;
  point32.x = static_cast<float>(pt.x);
  point32.y = static_cast<float>(pt.y);
  point32.z = static_cast<float>(pt.z);
  return point32;
}

geometry_msgs::msg::Polygon toPolygon(std::vector<geometry_msgs::msg::Point> pts)
{
  geometry_msgs::msg::Polygon polygon;
  for (const auto & pt : pts) {
    polygon.points.push_back(toPoint32(pt));
  }
  return polygon;
}

std::vector<geometry_msgs::msg::Point> toPointVector(geometry_msgs::msg::Polygon::SharedPtr polygon)
{
  std::vector<geometry_msgs::msg::Point> pts;
  for (const auto & pt : polygon->points) {
    pts.push_back(toPoint(pt));
  }
  return pts;
}

void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  std::vector<geometry_msgs::msg::Point> & oriented_footprint)
{
  oriented_footprint.clear();
  const double cos_th = std::cos(theta);
  const double sin_th = std::sin(theta);
  for (const auto & pt : footprint_spec) {
    geometry_msgs::msg::Point new_pt;
    new_pt.x = x + (pt.x * cos_th - pt.y * sin_th);
    new_pt.y = y + (pt.x * sin_th + pt.y * cos_th);
    oriented_footprint.push_back(new_pt);
  }
}

void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  geometry_msgs::msg::PolygonStamped & oriented_footprint)
{
  std::vector<geometry_msgs::msg::Point> oriented;
  transformFootprint(x, y, theta, footprint_spec, oriented);
  oriented_footprint.polygon = toPolygon(oriented);
}

void padFootprint(std::vector<geometry_msgs::msg::Point> & footprint, double padding)
{
  for (auto & pt : footprint) {
    pt.x += sign0(pt.x) * padding;
    pt.y += sign0(pt.y) * padding;
  }
}

std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius)
{
  constexpr int kPoints = 16;
  std::vector<geometry_msgs::msg::Point> points;
  for (int i = 0; i < kPoints; ++i) {
    const double angle = i * 2.0 * M_PI / kPoints;
    geometry_msgs::msg::Point pt;
    pt.x = std::cos(angle) * radius;
    pt.y = std::sin(angle) * radius;
    points.push_back(pt);
  }
  return points;
}

bool makeFootprintFromString(
  const std::string & footprint_string, std::vector<geometry_msgs::msg::Point> & footprint)
{
  std::string error;
  const std::vector<std::vector<float>> vvf = parseVVF(footprint_string, error);
  if (!error.empty()) {
    RCLCPP_ERROR(footprintLogger(), "Error parsing footprint parameter: '%s'", error.c_str());
    RCLCPP_ERROR(footprintLogger(), "  Footprint string was '%s'.", footprint_string.c_str());
    return false;
  }
  if (vvf.size() < 3) {
    RCLCPP_ERROR(
      footprintLogger(),
      "You must specify at least three points for the robot footprint, reverting to previous "
      "footprint.");
    return false;
  }
  std::vector<geometry_msgs::msg::Point> parsed;
  for (const auto & values : vvf) {
    if (values.size() != 2) {
      RCLCPP_ERROR(
        footprintLogger(),
        "Points in the footprint specification must be pairs of numbers. Found a point with %d "
        "numbers.", static_cast<int>(values.size()));
      return false;
    }
    geometry_msgs::msg::Point point;
    point.x = values[0];
    point.y = values[1];
    parsed.push_back(point);
  }
  footprint = parsed;
  return true;
}

}  // namespace nav2_costmap_2d
