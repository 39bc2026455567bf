#ifndef COLLISION__FOOTPRINT_SWEEP_HPP_
#define COLLISION__FOOTPRINT_SWEEP_HPP_

#include <cstddef>
#include <vector>

#include "collision/footprint_cells.hpp"
#include "collision/footprint_outline.hpp"
#include "collision/obstacle_depth.hpp"
#include "collision/planar_pose.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace Collision
{

// Moves a footprint along a constant velocity command over a costmap and tells whether it
// collides.
//
// A motion collides where a vertex leaves the map or the footprint covers a lethal or unknown
// cell, at the start or at any sample; inflated cost, the inscribed value included, never
// collides. The one exception keeps a robot from being held where it stands: when the footprint
// already covers such cells at the start (the map changed under it, its pose jumped), a sample
// collides only where such a cell lies deeper inside the footprint (see ObstacleDepth) than the
// deepest one did at the start.
//
// So a robot in collision may back out, turn out, or slide along an obstacle at the depth it is
// in, and never press further in; it may graze another obstacle no deeper than that either.
//
// Poses are sampled so that no footprint point moves more than half a cell between two of
// them. A robot clear at the start has its whole area looked up there and then its outline,
// which an obstacle, however thin, would have to cross to get inside; one already in collision
// has its whole area looked up at every sample, so an obstacle cannot get deeper unseen.
class FootprintSweep
{
public:
  // More samples than this are not taken: such a sweep covers hundreds of metres of travel and
  // is refused as colliding.
  static constexpr unsigned int kMaxSamples = 20000;

  // The costmap must stay locked by the caller while the sweep runs.
  explicit FootprintSweep(nav2_costmap_2d::Costmap2D & costmap);

  // True when the footprint (robot frame) moved from `start` with `velocity` for `dt` seconds
  // does not collide. A footprint of three points or more is an area; one of two points (the
  // front edge of a rectangle, say) is that segment, one of one point that point. Non-finite
  // input, a negative dt or an empty footprint give false.
  bool isFree(
    const Pose2 & start, const Velocity2 & velocity, double dt,
    const std::vector<geometry_msgs::msg::Point> & footprint);

  // The index of the first of `poses` where the whole footprint collides, judged by the same
  // rule as isFree with the robot standing at `start` (so one in collision may leave along
  // them); `poses.size()` when it collides at none. A pose that is not finite collides; a start
  // that is not finite or off the map, or an empty footprint, blocks the first pose.
  std::size_t firstBlocked(
    const Pose2 & start, const std::vector<Pose2> & poses,
    const std::vector<geometry_msgs::msg::Point> & footprint);

  // The pose reached after t seconds of the command from `start` (exact for constant velocity).
  static Pose2 poseAt(const Pose2 & start, const Velocity2 & velocity, double t);

private:
  // Places the footprint at `pose` and gathers the cells under it: false when a vertex is off
  // the map.
  bool place(
    const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint,
    FootprintCells::Extent extent);
  // Whether the footprint placed at `pose` is on the map and no obstacle under it lies deeper
  // than `allowed_depth` (minus infinity for a robot clear at the start).
  bool isPlacedFree(
    const Pose2 & pose, const std::vector<geometry_msgs::msg::Point> & footprint,
    FootprintCells::Extent extent, double allowed_depth);

  nav2_costmap_2d::Costmap2D & costmap_;
  FootprintOutline outline_;
  FootprintCells cells_;
  ObstacleDepth depth_;
};

}  // namespace Collision

#endif  // COLLISION__FOOTPRINT_SWEEP_HPP_
