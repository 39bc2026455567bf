#ifndef COLLISION__FOOTPRINT_SWEEP_HPP_
#define COLLISION__FOOTPRINT_SWEEP_HPP_

#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace Collision
{

// A planar pose and a velocity in the robot frame (holonomic: x forward, y left, yaw rate).
struct Pose2
{
  double x;
  double y;
  double yaw;
};

struct Velocity2
{
  double vx;
  double vy;
  double wz;
};

// Moves a footprint along a constant velocity command over a costmap and tells whether it
// stays clear. Poses are sampled so that no footprint point moves more than half a cell
// between two samples; at each, the footprint's outline and interior cells are looked up.
// Lethal, inscribed and unknown cells are collisions, and so is any vertex off the map. A
// concave footprint is checked as its column-wise hull, which errs on the safe side.
class FootprintSweep
{
public:
  // More samples than this are not taken: such a sweep covers hundreds of metres of travel and
  // is refused as not free.
  static constexpr unsigned int kMaxSamples = 20000;

  // The costmap must stay locked by the caller while the sweep runs.
  explicit FootprintSweep(nav2_costmap_2d::Costmap2D & costmap);

  // True when the footprint (robot frame) moved from `start` with `velocity` for `dt` seconds
  // touches no collision cell. A footprint of three points or more is an area; one of two
  // points (the front edge of a rectangle, say) is that segment, one of one point that point.
  // Non-finite input, a negative dt or an empty footprint give false.
  bool isFree(
    const Pose2 & start, const Velocity2 & velocity, double dt,
    const std::vector<geometry_msgs::msg::Point> & footprint);

  // The pose reached after t seconds of the command from `start` (exact for constant velocity).
  static Pose2 poseAt(const Pose2 & start, const Velocity2 & velocity, double t);

  // True when the footprint placed at `pose` touches no collision cell.
  bool isPoseFree(const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint);

private:
  // With `whole_area` clear only the outline's cells are checked.
  bool isPlacedFree(
    const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint,
    bool whole_area);

  nav2_costmap_2d::Costmap2D & costmap_;
  std::vector<nav2_costmap_2d::MapLocation> vertices_;
  std::vector<nav2_costmap_2d::MapLocation> cells_;
};

}  // namespace Collision

#endif  // COLLISION__FOOTPRINT_SWEEP_HPP_
