#ifndef COLLISION__FOOTPRINT_OUTLINE_HPP_
#define COLLISION__FOOTPRINT_OUTLINE_HPP_

#include <vector>

#include "collision/planar_pose.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace Collision
{

// The robot's footprint placed at a pose: its vertices in the costmap's frame, in the order the
// footprint lists them, and how deep a point lies inside it.
class FootprintOutline
{
public:
  struct Vertex
  {
    double x;
    double y;
  };

  // Moves the robot-frame footprint to `pose`. Reuses its storage: place it once per pose.
  void place(const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint);

  const std::vector<Vertex> & vertices() const {return vertices_;}

  // The distance from (x, y) to the nearest edge, negative when the point lies outside. A
  // footprint of one or two points has no inside: every point is outside that point or segment.
  double depthOf(double x, double y) const;

private:
  std::vector<Vertex> vertices_;
};

}  // namespace Collision

#endif  // COLLISION__FOOTPRINT_OUTLINE_HPP_
