#include "controller/dwb_local_planner.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <mutex>

#include "dwb_core/exceptions.hpp"
#include "dwb_core/illegal_trajectory_tracker.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "velmora/logger.hpp"

namespace controller
{

void LocalPlanner::setPlan(const nav_msgs::msg::Path & path)
{
  takePlan(path, std::nullopt);
}

void LocalPlanner::setPlan(const nav_msgs::msg::Path & path, double speed_ratio)
{
  takePlan(path, speed_ratio);
}

void LocalPlanner::takePlan(const nav_msgs::msg::Path & path, std::optional<double> speed_ratio)
{
  auto path2d = nav_2d_utils::pathToPath2D(path);
  for (const auto & critic : critics_) {
    critic->reset();
  }
  if (speed_ratio) {
    traj_generator_->setSpeedLimit(*speed_ratio * 100.0, true);
  }
  traj_generator_->reset();
  pub_->publishGlobalPlan(path2d);
  global_plan_ = std::move(path2d);
}

geometry_msgs::msg::TwistStamped LocalPlanner::computeVelocityCommands(
  const geometry_msgs::msg::PoseStamped & pose,
  const geometry_msgs::msg::Twist & velocity,
  nav2_core::GoalChecker * /*goal_checker*/)
{
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> results;
  if (pub_->shouldRecordEvaluation()) {
    results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  }
  try {
    const auto cmd2d = computeVelocityCommands(
      nav_2d_utils::poseStampedToPose2D(pose), nav_2d_utils::twist3Dto2D(velocity), results);
    pub_->publishEvaluation(results);
    geometry_msgs::msg::TwistStamped cmd;
    cmd.twist = nav_2d_utils::twist2Dto3D(cmd2d.velocity);
    return cmd;
  } catch (const nav2_core::PlannerException &) {
    pub_->publishEvaluation(results);
    throw;
  }
}

nav_2d_msgs::msg::Twist2DStamped LocalPlanner::computeVelocityCommands(
  const nav_2d_msgs::msg::Pose2DStamped & pose,
  const nav_2d_msgs::msg::Twist2D & velocity,
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results)
{
  if (results) {
    results->header.frame_id = pose.header.frame_id;
    results->header.stamp = clock_->now();
  }

  nav_2d_msgs::msg::Path2D transformed_plan;
  nav_2d_msgs::msg::Pose2DStamped goal_pose;
  prepareGlobalPlan(pose, transformed_plan, goal_pose, false);

  // The costmap's own thread must not change the cells between the critics' preparation and
  // their debrief: every trajectory of one search is scored against the same map.
  nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());

  for (const auto & critic : critics_) {
    if (!critic->prepare(pose.pose, velocity, goal_pose.pose, transformed_plan)) {
      // The library's own logger, not the node's that configure() put into logger_.
      RCLCPP_WARN(rclcpp::get_logger("DWBLocalPlanner"), "A scoring function failed to prepare");
    }
  }

  try {
    const dwb_msgs::msg::TrajectoryScore best = coreScoringAlgorithm(pose.pose, velocity, results);

    nav_2d_msgs::msg::Twist2DStamped cmd;
    cmd.header.stamp = clock_->now();
    cmd.velocity = best.traj.velocity;
    for (const auto & critic : critics_) {
      critic->debrief(cmd.velocity);
    }
    lock.unlock();

    last_trajectory_poses_.assign(best.traj.poses.begin(), best.traj.poses.end());
    pub_->publishLocalPlan(pose.header, best.traj);
    pub_->publishCostGrid(costmap_ros_, critics_);
    return cmd;
  } catch (const dwb_core::NoLegalTrajectoriesException &) {
    const nav_2d_msgs::msg::Twist2D no_motion;
    for (const auto & critic : critics_) {
      critic->debrief(no_motion);
    }
    lock.unlock();

    pub_->publishLocalPlan(pose.header, dwb_msgs::msg::Trajectory2D());
    pub_->publishCostGrid(costmap_ros_, critics_);
    throw;
  }
}

dwb_msgs::msg::TrajectoryScore LocalPlanner::coreScoringAlgorithm(
  const geometry_msgs::msg::Pose2D & pose,
  const nav_2d_msgs::msg::Twist2D velocity,
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results)
{
  dwb_msgs::msg::TrajectoryScore best;
  dwb_msgs::msg::TrajectoryScore worst;
  best.total = -1.0F;
  worst.total = -1.0F;
  dwb_core::IllegalTrajectoryTracker tracker;

  traj_generator_->startNewIteration(velocity);
  while (traj_generator_->hasMoreTwists()) {
    const nav_2d_msgs::msg::Twist2D twist = traj_generator_->nextTwist();
    dwb_msgs::msg::Trajectory2D traj = traj_generator_->generateTrajectory(pose, velocity, twist);

    dwb_msgs::msg::TrajectoryScore score;
    try {
      score = scoreTrajectory(traj, best.total);
    } catch (const dwb_core::IllegalTrajectoryException & e) {
      if (results) {
        dwb_msgs::msg::TrajectoryScore failed;
        failed.traj = std::move(traj);
        dwb_msgs::msg::CriticScore critic_score;
        critic_score.name = e.getCriticName();
        critic_score.raw_score = -1.0F;
        failed.scores.push_back(std::move(critic_score));
        failed.total = -1.0F;
        results->twists.push_back(std::move(failed));
      }
      tracker.addIllegalTrajectory(e);
      continue;
    }

    tracker.addLegalTrajectory();
    if (results) {
      results->twists.push_back(score);
    }
    // Strictly lower only: of equally good trajectories the first sampled is kept.
    if (best.total < 0 || score.total < best.total) {
      if (results) {
        results->best_index = static_cast<uint16_t>(results->twists.size() - 1);
      }
      best = score;
    }
    if (worst.total < 0 || score.total > worst.total) {
      if (results) {
        results->worst_index = static_cast<uint16_t>(results->twists.size() - 1);
      }
      worst = std::move(score);
    }
  }

  if (best.total < 0) {
    if (debug_trajectory_details_) {
      VLOG_ERROR(
        "DWBLocalPlanner {}, error code is {}", tracker.getMessage(), kErrorNoLegalTrajectory);
      for (const auto & [reason, fraction] : tracker.getPercentages()) {
        VLOG_ERROR("{}: {}/{}", fraction, reason.first, reason.second);
      }
    }
    throw dwb_core::NoLegalTrajectoriesException(tracker);
  }
  return best;
}

bool LocalPlanner::isGoalReached(geometry_msgs::msg::PoseStamped & pose, double tolerance)
{
  const auto & poses = global_plan_.poses;
  if (poses.empty()) {
    return false;
  }
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  const std::size_t ahead = firstPoseAhead(x, y, tolerance);
  double remaining = 0.0;
  for (std::size_t i = ahead + 1; i < poses.size(); ++i) {
    remaining += std::hypot(poses[i].x - poses[i - 1].x, poses[i].y - poses[i - 1].y);
  }
  if (!(tolerance >= remaining)) {
    return false;
  }
  return std::hypot(poses.back().x - x, poses.back().y - y) <= tolerance;
}

std::size_t LocalPlanner::firstPoseAhead(double x, double y, double slack) const
{
  // The stored plan still holds the passed stretch pruning keeps behind the robot, and a plan may
  // come back past where it started. The robot's place on it is the first pose that is a local
  // minimum of the distance to the robot and within `slack` of the nearest: so a round trip is
  // not done at its start, and a plan turning a corner is followed to the pose nearest the robot.
  const auto & poses = global_plan_.poses;
  const auto distance = [&](std::size_t i) {return std::hypot(poses[i].x - x, poses[i].y - y);};
  double nearest_distance = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < poses.size(); ++i) {
    nearest_distance = std::min(nearest_distance, distance(i));
  }
  double current = distance(0);
  for (std::size_t i = 0; i + 1 < poses.size(); ++i) {
    const double next = distance(i + 1);
    if (current <= nearest_distance + slack && current <= next) {
      return i;
    }
    current = next;
  }
  return poses.size() - 1;
}

}  // namespace controller
