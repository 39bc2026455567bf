#include "dwb_critics/rotate_to_goal.hpp"

#include <cmath>

#include "angles/angles.h"
#include "dwb_core/exceptions.hpp"
#include "dwb_core/trajectory_utils.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{
namespace
{

double speedSquared(const nav_2d_msgs::msg::Twist2D & twist)
{
  return twist.x * twist.x + twist.y * twist.y;
}

}  // namespace

void RotateToGoalCritic::onInit()
{
  auto node = node_.lock();
  // The tolerance and the stopped speed are the planner's, shared with its goal handling.
  xy_goal_tolerance_ = nav_2d_utils::searchAndGetParam(
    node, dwb_plugin_name_ + ".xy_goal_tolerance", 0.25);
  xy_goal_tolerance_sq_ = xy_goal_tolerance_ * xy_goal_tolerance_;
  const double stopped_xy_velocity = nav_2d_utils::searchAndGetParam(
    node, dwb_plugin_name_ + ".trans_stopped_velocity", 0.25);
  stopped_xy_velocity_sq_ = stopped_xy_velocity * stopped_xy_velocity;
  slowing_factor_ = nav_2d_utils::searchAndGetParam(
    node, dwb_plugin_name_ + "." + name_ + ".slowing_factor", 5.0);
  lookahead_time_ = nav_2d_utils::searchAndGetParam(
    node, dwb_plugin_name_ + "." + name_ + ".lookahead_time", -1.0);
  reset();
}

void RotateToGoalCritic::reset()
{
  in_window_ = false;
  rotating_ = false;
}

bool RotateToGoalCritic::prepare(
  const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
  const geometry_msgs::msg::Pose2D & goal, const nav_2d_msgs::msg::Path2D &)
{
  const double dx = pose.x - goal.x;
  const double dy = pose.y - goal.y;
  in_window_ = in_window_ || dx * dx + dy * dy < xy_goal_tolerance_sq_;
  current_xy_speed_sq_ = speedSquared(vel);
  rotating_ = rotating_ || (in_window_ && current_xy_speed_sq_ <= stopped_xy_velocity_sq_);
  goal_yaw_ = goal.theta;
  return true;
}

double RotateToGoalCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  if (!in_window_) {
    return 0.0;
  }
  if (!rotating_) {
    const double speed_sq = speedSquared(traj.velocity);
    if (speed_sq >= current_xy_speed_sq_) {
      throw dwb_core::IllegalTrajectoryException(name_, "Not slowing down near goal.");
    }
    return speed_sq * slowing_factor_ + scoreRotation(traj);
  }
  if (std::fabs(traj.velocity.x) > 0.0 || std::fabs(traj.velocity.y) > 0.0) {
    throw dwb_core::IllegalTrajectoryException(name_, "Nonrotation command near goal.");
  }
  return scoreRotation(traj);
}

double RotateToGoalCritic::scoreRotation(const dwb_msgs::msg::Trajectory2D & traj)
{
  if (traj.poses.empty()) {
    throw dwb_core::IllegalTrajectoryException(name_, "Empty trajectory.");
  }
  const double end_yaw =
    lookahead_time_ >= 0.0 ? dwb_core::projectPose(traj, lookahead_time_).theta : traj.poses.back().theta;
  return std::fabs(angles::shortest_angular_distance(end_yaw, goal_yaw_));
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::RotateToGoalCritic, dwb_core::TrajectoryCritic)
