#ifndef PID_CORE__FOLLOWED_PATH_HPP_
#define PID_CORE__FOLLOWED_PATH_HPP_

#include <cstddef>
#include <vector>

#include "nav_msgs/msg/path.hpp"

namespace pid_core
{

// A path as the follower sees it: its poses (x, y, yaw), the arc length at each, and the sharp
// bends that split it into legs, each of which the robot drives straight to its end before
// turning in place onto the next.
class FollowedPath
{
public:
  struct Point
  {
    double x;
    double y;
    double yaw;
  };

  // Where a point projects onto the path.
  struct Projection
  {
    std::size_t segment;  // index of the segment's first pose
    double along;         // arc length from the start of the path to the projection, m
    bool past_end;        // beyond the last pose, along the last segment
  };

  // The end of a leg: a sharp bend or the end of the path.
  struct LegEnd
  {
    std::size_t pose;    // index of the pose there
    double along;        // its arc length, m
    bool has_direction;  // false for a leg too short to have one
    double direction;    // the direction the leg arrives in, rad
  };

  // Takes `path`; a path holding a pose that is not finite is refused (false) and leaves this
  // one empty. A pose is a bend where the path's direction over `stretch` metres before it and
  // over `stretch` after it differ by more than `sharp_turn` radians; of a run of such poses
  // only the sharpest is, so that one corner is one bend. Stretches shorter than `shortest`
  // metres have no direction.
  bool assign(const nav_msgs::msg::Path & path, double stretch, double shortest, double sharp_turn);
  void clear();

  bool empty() const {return points_.empty();}
  double length() const {return arc_.empty() ? 0.0 : arc_.back();}
  const Point & back() const {return points_.back();}
  const Point & at(std::size_t pose) const {return points_[pose];}
  double alongAt(std::size_t pose) const {return arc_[pose];}
  std::size_t legCount() const {return leg_ends_.size();}
  const LegEnd & legEnd(std::size_t leg) const {return leg_ends_[leg];}

  // The nearest point of the segments from pose `first` to pose `last` (both on the path).
  Projection project(double x, double y, std::size_t first, std::size_t last) const;
  // The point `along` metres from the start (clamped to the path); its yaw is that of the pose
  // ending its segment, which at a pose is that pose (the first pose only for a path of one).
  Point pointAt(double along) const;
  // The direction of the chord from `along - stretch` to `along` (clamped to the path); false
  // when that chord is shorter than `shortest`.
  bool directionBefore(double along, double stretch, double shortest, double & direction) const;

private:
  bool directionAfter(double along, double stretch, double shortest, double & direction) const;
  void findLegEnds(double stretch, double shortest, double sharp_turn);

  std::vector<Point> points_;
  std::vector<double> arc_;
  std::vector<LegEnd> leg_ends_;  // in path order, the end of the path last
};

}  // namespace pid_core

#endif  // PID_CORE__FOLLOWED_PATH_HPP_
