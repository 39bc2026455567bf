#include "pid_core/controller.hpp"

#include <algorithm>
#include <cmath>

#include "pose_math.hpp"

using pid_core::FollowedPath;
using pid_core::isFinite;
using pid_core::wrapAngle;
using pid_core::yawOf;

namespace
{

constexpr double kPi = 3.14159265358979323846;

double seconds(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<double>(stamp.sec) + static_cast<double>(stamp.nanosec) * 1e-9;
}

}  // namespace

Controller::Controller() = default;

void Controller::init()
{
  path_.clear();
  leg_ = 0;
  segment_ = 0;
  speed_ = 0.0;
  resetHeadingLaw();
  has_last_stamp_ = false;
  reverse_ = false;
  turning_ = false;
}

void Controller::setStraightCB(const nav_msgs::msg::Path & path)
{
  path_.assign(path, kBendStretch, kShortestChord, kTurnInPlaceError);
  leg_ = 0;
  segment_ = 0;
  reverse_ = false;
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

  FollowedPath::Projection projection = path_.project(x, y, segment_, path_.legEnd(leg_).pose);
  while (leg_ + 1 < path_.legCount()) {
    const FollowedPath::LegEnd & bend = path_.legEnd(leg_);
    const Point & corner = path_.at(bend.pose);
    if (bend.along - projection.along > kArrivalTolerance &&
      std::hypot(corner.x - x, corner.y - y) > kArrivalTolerance)
    {
      break;
    }
    ++leg_;
    resetHeadingLaw();
    projection = path_.project(x, y, segment_, path_.legEnd(leg_).pose);
  }
  segment_ = projection.segment;
  const FollowedPath::LegEnd & leg_end = path_.legEnd(leg_);
  const Point & end = path_.at(leg_end.pose);
  const double to_leg_end = std::hypot(end.x - x, end.y - y);
  const bool last_leg = leg_ + 1 == path_.legCount();
  if (last_leg && (to_leg_end <= kArrivalTolerance || projection.past_end)) {
    stop(cmd_vel);
    return true;
  }

  const Point target = steeringPoint(projection.along);
  const double bearing = std::atan2(target.y - y, target.x - x);
  // The direction of travel is the path's own along the stretch leading to the point ahead, so
  // neither turning on the spot nor standing beside the end changes it; only a path too short
  // to have one lets the bearing stand in.
  const double on_leg = std::min(projection.along + kLookAhead, leg_end.along);
  double travel = 0.0;
  if (!path_.directionBefore(on_leg, kDirectionStretch, kShortestChord, travel)) {
    travel = bearing;
  }
  chooseDirection(travel, posesHeading(on_leg));
  const double error = wrapAngle(bearing - yaw + (reverse_ ? kPi : 0.0));
  if (std::fabs(error) > kTurnInPlaceError && !turning_) {
    turning_ = true;
    resetHeadingLaw();
  } else if (std::fabs(error) < kAlignedError && turning_) {
    turning_ = false;
    resetHeadingLaw();
  }
  const double turn = headingLaw(error, dt);

  cmd_vel = geometry_msgs::msg::Twist();
  if (turning_) {
    speed_ = 0.0;
    cmd_vel.angular.z = std::clamp(turn, -kMaxTurnRate, kMaxTurnRate);
    return false;
  }
  const double remaining = std::max(leg_end.along - projection.along, to_leg_end);
  const double stopping_speed = std::sqrt(2.0 * kDeceleration * remaining);
  const double wanted =
    std::max(kMinSpeed, std::min(kMaxSpeed, stopping_speed) * std::cos(error));
  speed_ = std::min(wanted, speed_ + kAcceleration * dt);
  const double turn_bound = std::min(kMaxTurnRate, kMaxCurvature * speed_);
  cmd_vel.linear.x = reverse_ ? -speed_ : speed_;
  cmd_vel.angular.z = std::clamp(turn, -turn_bound, turn_bound);
  return false;
}

Controller::Point Controller::steeringPoint(double along) const
{
  // Past the end of the leg the point runs on straight, so that the robot comes to the bend (or
  // the end) along the leg instead of turning towards the next one early.
  const FollowedPath::LegEnd & end = path_.legEnd(leg_);
  const double target_along = along + kLookAhead;
  if (target_along <= end.along || !end.has_direction) {
    return path_.pointAt(std::min(target_along, end.along));
  }
  const Point & corner = path_.at(end.pose);
  const double beyond = target_along - end.along;
  return {corner.x + beyond * std::cos(end.direction), corner.y + beyond * std::sin(end.direction),
    corner.yaw};
}

double Controller::posesHeading(double along) const
{
  // A bend's own pose may face either of its legs, so a leg with a pose of its own before its
  // bend takes that pose's heading there.
  const FollowedPath::LegEnd & end = path_.legEnd(leg_);
  const std::size_t start = leg_ == 0 ? 0 : path_.legEnd(leg_ - 1).pose;
  if (leg_ + 1 < path_.legCount() && end.pose > start + 1) {
    along = std::min(along, path_.alongAt(end.pose - 1));
  }
  return path_.pointAt(along).yaw;
}

void Controller::chooseDirection(double travel, double poses_heading)
{
  // A path whose poses face away from its direction of travel was planned to be driven
  // backwards: the rear is steered at the target instead of turning round. Near the boundary
  // the choice is kept, so that the robot does not dither between the two.
  const double misalignment = std::fabs(wrapAngle(travel - poses_heading));
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

void Controller::resetHeadingLaw()
{
  // A jump of the error (a new leg, the start or the end of a turn in place) is no rate of change.
  integral_ = 0.0;
  last_error_ = 0.0;
  has_last_error_ = false;
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
