#include "dwb_critics/oscillation.hpp"

#include <cmath>

#include "angles/angles.h"
#include "dwb_core/exceptions.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

OscillationCritic::CommandTrend::CommandTrend()
{
  reset();
}

void OscillationCritic::CommandTrend::reset()
{
  sign_ = Sign::ZERO;
  positive_only_ = false;
  negative_only_ = false;
}

bool OscillationCritic::CommandTrend::update(double velocity)
{
  bool flag_set = false;
  if (velocity < 0.0) {
    if (sign_ == Sign::POSITIVE) {
      negative_only_ = true;
      flag_set = true;
    }
    sign_ = Sign::NEGATIVE;
  } else if (velocity > 0.0) {
    if (sign_ == Sign::NEGATIVE) {
      positive_only_ = true;
      flag_set = true;
    }
    sign_ = Sign::POSITIVE;
  }
  return flag_set;
}

bool OscillationCritic::CommandTrend::isOscillating(double velocity) const
{
  return (positive_only_ && velocity < 0.0) || (negative_only_ && velocity > 0.0);
}

bool OscillationCritic::CommandTrend::hasSignFlipped() const
{
  return positive_only_ || negative_only_;
}

void OscillationCritic::onInit()
{
  auto node = node_.lock();
  clock_ = node->get_clock();
  const std::string prefix = dwb_plugin_name_ + "." + name_ + ".";
  oscillation_reset_dist_ =
    nav_2d_utils::searchAndGetParam(node, prefix + "oscillation_reset_dist", 0.05);
  oscillation_reset_dist_sq_ = oscillation_reset_dist_ * oscillation_reset_dist_;
  oscillation_reset_angle_ =
    nav_2d_utils::searchAndGetParam(node, prefix + "oscillation_reset_angle", 0.2);
  oscillation_reset_time_ = rclcpp::Duration::from_seconds(
    nav_2d_utils::searchAndGetParam(node, prefix + "oscillation_reset_time", -1.0));
  x_only_threshold_ = nav_2d_utils::searchAndGetParam(node, prefix + "x_only_threshold", 0.05);
  prev_reset_time_ = clock_->now();
  reset();
}

bool OscillationCritic::prepare(
  const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D &,
  const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D &)
{
  pose_ = pose;
  return true;
}

void OscillationCritic::debrief(const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  if (setOscillationFlags(cmd_vel)) {
    prev_stationary_pose_ = pose_;
    prev_reset_time_ = clock_->now();
  }
  if ((x_trend_.hasSignFlipped() || y_trend_.hasSignFlipped() || theta_trend_.hasSignFlipped()) &&
    resetAvailable())
  {
    reset();
  }
}

bool OscillationCritic::resetAvailable()
{
  if (oscillation_reset_dist_ >= 0.0) {
    const double dx = pose_.x - prev_stationary_pose_.x;
    const double dy = pose_.y - prev_stationary_pose_.y;
    if (dx * dx + dy * dy > oscillation_reset_dist_sq_) {
      return true;
    }
  }
  if (oscillation_reset_angle_ >= 0.0 &&
    std::fabs(angles::shortest_angular_distance(prev_stationary_pose_.theta, pose_.theta)) >
    oscillation_reset_angle_)
  {
    return true;
  }
  if (oscillation_reset_time_ >= rclcpp::Duration::from_seconds(0.0) &&
    clock_->now() - prev_reset_time_ > oscillation_reset_time_)
  {
    return true;
  }
  return false;
}

void OscillationCritic::reset()
{
  x_trend_.reset();
  y_trend_.reset();
  theta_trend_.reset();
}

bool OscillationCritic::setOscillationFlags(const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  bool flag_set = false;
  flag_set |= x_trend_.update(cmd_vel.x);
  flag_set |= y_trend_.update(cmd_vel.y);
  // Turning back and forth while driving is steering, not oscillation: only watch the heading
  // when the robot barely moves forward.
  if (x_only_threshold_ < 0.0 || std::fabs(cmd_vel.x) <= x_only_threshold_) {
    flag_set |= theta_trend_.update(cmd_vel.theta);
  }
  return flag_set;
}

double OscillationCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  if (x_trend_.isOscillating(traj.velocity.x) || y_trend_.isOscillating(traj.velocity.y) ||
    theta_trend_.isOscillating(traj.velocity.theta))
  {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory is oscillating.");
  }
  return 0.0;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::OscillationCritic, dwb_core::TrajectoryCritic)
