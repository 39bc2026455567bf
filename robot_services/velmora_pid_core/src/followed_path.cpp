#include "pid_core/followed_path.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pose_math.hpp"

namespace pid_core
{

namespace
{

// The direction from `from` to `to`; false when they are closer than `shortest`.
bool chordDirection(
  const FollowedPath::Point & from, const FollowedPath::Point & to, double shortest,
  double & direction)
{
  if (std::hypot(to.x - from.x, to.y - from.y) < shortest) {
    return false;
  }
  direction = std::atan2(to.y - from.y, to.x - from.x);
  return true;
}

}  // namespace

bool FollowedPath::assign(
  const nav_msgs::msg::Path & path, double stretch, double shortest, double sharp_turn)
{
  clear();
  for (const auto & stamped : path.poses) {
    if (!isFinite(stamped.pose)) {
      clear();
      return false;
    }
    const Point point{stamped.pose.position.x, stamped.pose.position.y,
      yawOf(stamped.pose.orientation)};
    arc_.push_back(
      points_.empty() ? 0.0 :
      arc_.back() + std::hypot(point.x - points_.back().x, point.y - points_.back().y));
    points_.push_back(point);
  }
  if (!points_.empty()) {
    findLegEnds(stretch, shortest, sharp_turn);
  }
  return true;
}

void FollowedPath::clear()
{
  points_.clear();
  arc_.clear();
  leg_ends_.clear();
}

void FollowedPath::findLegEnds(double stretch, double shortest, double sharp_turn)
{
  const auto legEndAt = [&](std::size_t pose) {
      LegEnd end{pose, arc_[pose], false, 0.0};
      end.has_direction = directionBefore(end.along, stretch, shortest, end.direction);
      return end;
    };
  // The sharpest pose of the run of sharp ones being gathered, and its turn.
  std::size_t sharpest = 0;
  double sharpest_turn = 0.0;
  for (std::size_t i = 1; i + 1 < points_.size(); ++i) {
    double before = 0.0;
    double after = 0.0;
    double turn = 0.0;
    if (directionBefore(arc_[i], stretch, shortest, before) &&
      directionAfter(arc_[i], stretch, shortest, after))
    {
      turn = std::fabs(wrapAngle(after - before));
    }
    if (turn > sharp_turn && turn > sharpest_turn) {
      sharpest = i;
      sharpest_turn = turn;
    } else if (turn <= sharp_turn && sharpest_turn > 0.0) {
      leg_ends_.push_back(legEndAt(sharpest));
      sharpest_turn = 0.0;
    }
  }
  if (sharpest_turn > 0.0) {
    leg_ends_.push_back(legEndAt(sharpest));
  }
  leg_ends_.push_back(legEndAt(points_.size() - 1));
}

FollowedPath::Projection FollowedPath::project(
  double x, double y, std::size_t first, std::size_t last) const
{
  if (first >= last) {
    return {first, arc_[first], false};
  }
  Projection best{first, arc_[first], false};
  double best_distance = std::numeric_limits<double>::infinity();
  for (std::size_t i = first; i < last; ++i) {
    const Point & a = points_[i];
    const Point & b = points_[i + 1];
    const double length = arc_[i + 1] - arc_[i];
    double t = 0.0;
    if (length > 0.0) {
      t = ((x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y)) / (length * length);
    }
    const bool beyond = i + 2 == points_.size() && length > 0.0 && t > 1.0;
    t = std::clamp(t, 0.0, 1.0);
    const double distance = std::hypot(a.x + t * (b.x - a.x) - x, a.y + t * (b.y - a.y) - y);
    if (distance < best_distance) {
      best_distance = distance;
      best = {i, arc_[i] + t * length, beyond};
    }
  }
  return best;
}

FollowedPath::Point FollowedPath::pointAt(double along) const
{
  // A path of one pose has no segment: that pose is every point of it.
  if (along >= arc_.back() || points_.size() == 1) {
    return points_.back();
  }
  // The first pose past the start at or beyond `along` ends its segment.
  const auto end = std::lower_bound(arc_.begin() + 1, arc_.end(), along);
  const std::size_t i = static_cast<std::size_t>(end - arc_.begin()) - 1;
  const double length = arc_[i + 1] - arc_[i];
  const double t = length > 0.0 ? std::max(along - arc_[i], 0.0) / length : 0.0;
  const Point & a = points_[i];
  const Point & b = points_[i + 1];
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), b.yaw};
}

bool FollowedPath::directionBefore(
  double along, double stretch, double shortest, double & direction) const
{
  return chordDirection(pointAt(along - stretch), pointAt(along), shortest, direction);
}

bool FollowedPath::directionAfter(
  double along, double stretch, double shortest, double & direction) const
{
  return chordDirection(pointAt(along), pointAt(along + stretch), shortest, direction);
}

}  // namespace pid_core
