#ifndef NAV2_COSTMAP_2D__FOOTPRINT_HPP_
#define NAV2_COSTMAP_2D__FOOTPRINT_HPP_

#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/point32.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"

namespace nav2_costmap_2d
{

// min_dist: inscribed radius, max_dist: circumscribed radius, both about the origin. A footprint
// of fewer than three points leaves min_dist at DBL_MAX and max_dist at 0.
void calculateMinAndMaxDistances(
  const std::vector<geometry_msgs::msg::Point> & footprint, double & min_dist,
  double & max_dist);

geometry_msgs::msg::Point toPoint(geometry_msgs::msg::Point32 pt);
geometry_msgs::msg::Point32 toPoint32(geometry_msgs::msg::Point pt);
geometry_msgs::msg::Polygon toPolygon(std::vector<geometry_msgs::msg::Point> pts);
std::vector<geometry_msgs::msg::Point> toPointVector(geometry_msgs::msg::Polygon::SharedPtr polygon);

// Rotates the footprint by theta, then moves it to (x, y).
void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  std::vector<geometry_msgs::msg::Point> & oriented_footprint);
void transformFootprint(
  double x, double y, double theta,
  const std::vector<geometry_msgs::msg::Point> & footprint_spec,
  geometry_msgs::msg::PolygonStamped & oriented_footprint);

// Moves each coordinate `padding` further from the axis (zero coordinates stay zero).
void padFootprint(std::vector<geometry_msgs::msg::Point> & footprint, double padding);

// A 16-gon through the circle of the given radius.
std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius);

// Parses "[[x, y], [x, y], ...]" with at least three points. On failure logs why, leaves
// `footprint` untouched and returns false.
bool makeFootprintFromString(
  const std::string & footprint_string, std::vector<geometry_msgs::msg::Point> & footprint);

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__FOOTPRINT_HPP_
