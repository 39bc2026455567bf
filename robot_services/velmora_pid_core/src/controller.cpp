#include "pid_core/controller.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

constexpr double kPi = 3.14159265358979323846;

double wrapAngle(double angle)
{
  return std::atan2(std::sin(angle), std::cos(angle));
}

double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(q.x) && std::isfinite(q.y) &&
         std::isfinite(q.z) && std::isfinite(q.w);
}

double seconds(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<double>(stamp.sec) + static_cast<double>(stamp.nanosec) * 1e-9;
}

}  // namespace

Controller::Controller() = default;

void Controller::init()
{
  path_.clear();
  arc_.clear();
  segment_ = 0;
  speed_ = 0.0;
  integral_ = 0.0;
  last_error_ = 0.0;
  has_last_error_ = false;
  has_last_stamp_ = false;
  reverse_ = false;
}

void Controller::setStraightCB(const nav_msgs::msg::Path & path)
{
  path_.clear();
  arc_.clear();
  segment_ = 0;
  reverse_ = false;
  for (const auto & stamped : path.poses) {
    if (!isFinite(stamped.pose)) {
      path_.clear();
      arc_.clear();
      return;
    }
    const Point point{stamped.pose.position.x, stamped.pose.position.y,
      yawOf(stamped.pose.orientation)};
    arc_.push_back(
      path_.empty() ? 0.0 :
      arc_.back() + std::hypot(point.x - path_.back().x, point.y - path_.back().y));
    path_.push_back(point);
  }
}

bool Controller::getVelocityCommands(
  geometry_msgs::msg::PoseStamped pose, geometry_msgs::msg::Twist & cmd_vel)
{
  if (path_.empty() || !isFinite(pose.pose)) {
    stop(cmd_vel);
    return false;
  }
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  const double yaw = yawOf(pose.pose.orientation);
  const double dt = cycleTime(pose);

  const Projection projection = project(x, y);
  segment_ = projection.segment;
  const Point & last = path_.back();
  const double to_end = std::hypot(last.x - x, last.y - y);
  if (to_end <= kArrivalTolerance || projection.past_end) {
    stop(cmd_vel);
    return true;
  }

  const double target_along = std::min(projection.along + kLookAhead, arc_.back());
  const Point target = pointAt(target_along);
  const Point from = pointAt(std::max(0.0, target_along - kDirectionStretch));
  const double bearing = std::atan2(target.y - y, target.x - x);
  chooseDirection(from, target, bearing);
  const double error = wrapAngle(bearing - yaw + (reverse_ ? kPi : 0.0));
  const double turn = headingLaw(error, dt);

  cmd_vel = geometry_msgs::msg::Twist();
  if (std::fabs(error) > kTurnInPlaceError) {
    speed_ = 0.0;
    cmd_vel.angular.z = std::clamp(turn, -kMaxTurnRate, kMaxTurnRate);
    return false;
  }
  const double remaining = std::max(arc_.back() - projection.along, to_end);
  const double stopping_speed = std::sqrt(2.0 * kDeceleration * remaining);
  const double wanted =
    std::max(kMinSpeed, std::min(kMaxSpeed, stopping_speed) * std::cos(error));
  speed_ = std::min(wanted, speed_ + kAcceleration * dt);
  const double turn_bound = std::min(kMaxTurnRate, kMaxCurvature * speed_);
  cmd_vel.linear.x = reverse_ ? -speed_ : speed_;
  cmd_vel.angular.z = std::clamp(turn, -turn_bound, turn_bound);
  return false;
}

Controller::Projection Controller::project(double x, double y) const
{
  if (path_.size() == 1) {
    return {0, 0.0, false};
  }
  Projection best{segment_, arc_[segment_], false};
  double best_distance = std::numeric_limits<double>::infinity();
  for (std::size_t i = segment_; i + 1 < path_.size(); ++i) {
    const Point & a = path_[i];
    const Point & b = path_[i + 1];
    const double length = arc_[i + 1] - arc_[i];
    double t = 0.0;
    if (length > 0.0) {
      t = ((x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y)) / (length * length);
    }
    const bool beyond = i + 2 == path_.size() && length > 0.0 && t > 1.0;
    t = std::clamp(t, 0.0, 1.0);
    const double distance = std::hypot(a.x + t * (b.x - a.x) - x, a.y + t * (b.y - a.y) - y);
    if (distance < best_distance) {
      best_distance = distance;
      best = {i, arc_[i] + t * length, beyond};
    }
  }
  return best;
}

Controller::Point Controller::pointAt(double along) const
{
  if (along >= arc_.back()) {
    return path_.back();
  }
  const auto next = std::upper_bound(arc_.begin(), arc_.end(), along);
  const std::size_t i = static_cast<std::size_t>(next - arc_.begin()) - 1;
  const double length = arc_[i + 1] - arc_[i];
  const double t = length > 0.0 ? (along - arc_[i]) / length : 0.0;
  const Point & a = path_[i];
  const Point & b = path_[i + 1];
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), b.yaw};
}

void Controller::chooseDirection(const Point & from, const Point & target, double bearing)
{
  // A path whose poses face away from its direction of travel was planned to be driven
  // backwards: the rear is steered at the target instead of turning round. The direction of
  // travel is the path's own along the stretch leading to the target, so neither turning on the
  // spot nor standing beside the end changes it; only a path too short to have one lets the
  // bearing stand in. Near the boundary the choice is kept, so that the robot does not dither
  // between the two.
  const double chord = std::hypot(target.x - from.x, target.y - from.y);
  const double travel =
    chord >= kShortestChord ? std::atan2(target.y - from.y, target.x - from.x) : bearing;
  const double misalignment = std::fabs(wrapAngle(travel - target.yaw));
  if (misalignment > kPi / 2.0 + kDirectionHysteresis) {
    reverse_ = true;
  } else if (misalignment < kPi / 2.0 - kDirectionHysteresis) {
    reverse_ = false;
  }
}

double Controller::cycleTime(const geometry_msgs::msg::PoseStamped & pose)
{
  const double stamp = seconds(pose.header.stamp);
  const double elapsed = stamp - last_stamp_;
  const bool usable = has_last_stamp_ && elapsed > 0.0 && elapsed <= 10.0 * kNominalCycle;
  last_stamp_ = stamp;
  has_last_stamp_ = true;
  return usable ? elapsed : kNominalCycle;
}

double Controller::headingLaw(double error, double dt)
{
  integral_ = std::clamp(integral_ + error * dt, -kIntegralBound, kIntegralBound);
  const double derivative = has_last_error_ ? (error - last_error_) / dt : 0.0;
  last_error_ = error;
  has_last_error_ = true;
  return kHeadingKp * error + kHeadingKi * integral_ + kHeadingKd * derivative;
}

void Controller::stop(geometry_msgs::msg::Twist & cmd_vel)
{
  cmd_vel = geometry_msgs::msg::Twist();
  speed_ = 0.0;
}
