#include "collision/footprint_outline.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Collision
{

namespace
{
double distanceToSegment(
  double x, double y, const FootprintOutline::Vertex & a, const FootprintOutline::Vertex & b)
{
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  const double t = length_squared > 0.0 ?
    std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length_squared, 0.0, 1.0) : 0.0;
  return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}
}  // namespace

void FootprintOutline::place(
  const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint)
{
  const double c = std::cos(pose.yaw);
  const double s = std::sin(pose.yaw);
  vertices_.clear();
  for (const auto & point : footprint) {
    vertices_.push_back({pose.x + point.x * c - point.y * s, pose.y + point.x * s + point.y * c});
  }
}

double FootprintOutline::depthOf(double x, double y) const
{
  const std::size_t count = vertices_.size();
  double nearest = std::numeric_limits<double>::infinity();
  bool inside = false;
  for (std::size_t i = 0; i < count; ++i) {
    const Vertex & a = vertices_[i];
    const Vertex & b = vertices_[(i + 1) % count];
    nearest = std::min(nearest, distanceToSegment(x, y, a, b));
    // Even-odd rule: a ray towards +x crosses the outline an odd number of times from inside.
    if (count >= 3 && (a.y > y) != (b.y > y) &&
      x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y))
    {
      inside = !inside;
    }
  }
  return inside ? nearest : -nearest;
}

}  // namespace Collision
