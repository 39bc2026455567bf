#include <gtest/gtest.h>

#include <vector>

#include "dwb_core/trajectory_utils.hpp"
#include "nav2_core/exceptions.hpp"
#include "rclcpp/duration.hpp"

namespace
{

// Poses at x = 10 * t for the given times, heading 0.1 * x.
dwb_msgs::msg::Trajectory2D timed(const std::vector<double> & times)
{
  dwb_msgs::msg::Trajectory2D traj;
  for (double t : times) {
    geometry_msgs::msg::Pose2D pose;
    pose.x = 10.0 * t;
    pose.y = -5.0 * t;
    pose.theta = t;
    traj.poses.push_back(pose);
    traj.time_offsets.push_back(rclcpp::Duration::from_seconds(t));
  }
  return traj;
}

TEST(TrajectoryUtils, ClosestPoseIsTheNearestInTime)
{
  const auto traj = timed({0.0, 0.1, 0.2, 0.4});
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 0.0), &traj.poses[0]);
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 0.12), &traj.poses[1]);
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 0.29), &traj.poses[2]);
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 0.31), &traj.poses[3]);
  // Equally close: the earlier pose.
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 0.3), &traj.poses[2]);
  // Outside the trajectory's time: its ends.
  EXPECT_EQ(&dwb_core::getClosestPose(traj, -1.0), &traj.poses[0]);
  EXPECT_EQ(&dwb_core::getClosestPose(traj, 5.0), &traj.poses[3]);
}

TEST(TrajectoryUtils, ProjectedPoseIsInterpolatedAndClamped)
{
  const auto traj = timed({0.0, 0.1, 0.2, 0.4});
  const auto middle = dwb_core::projectPose(traj, 0.3);
  EXPECT_NEAR(middle.x, 3.0, 1e-9);
  EXPECT_NEAR(middle.y, -1.5, 1e-9);
  EXPECT_NEAR(middle.theta, 0.3, 1e-9);
  const auto quarter = dwb_core::projectPose(traj, 0.025);
  EXPECT_NEAR(quarter.x, 0.25, 1e-9);
  // On a pose's own time: that pose.
  EXPECT_NEAR(dwb_core::projectPose(traj, 0.1).x, 1.0, 1e-9);
  EXPECT_EQ(dwb_core::projectPose(traj, -0.5), traj.poses.front());
  EXPECT_EQ(dwb_core::projectPose(traj, 0.4), traj.poses.back());
  EXPECT_EQ(dwb_core::projectPose(traj, 2.0), traj.poses.back());
}

TEST(TrajectoryUtils, EmptyTrajectoriesAreRefused)
{
  const dwb_msgs::msg::Trajectory2D empty;
  EXPECT_THROW(dwb_core::getClosestPose(empty, 0.0), nav2_core::PlannerException);
  EXPECT_THROW(dwb_core::projectPose(empty, 0.0), nav2_core::PlannerException);

  // Poses without time offsets cannot be placed in time either.
  auto untimed = timed({0.0, 0.1});
  untimed.time_offsets.clear();
  EXPECT_THROW(dwb_core::projectPose(untimed, 0.0), nav2_core::PlannerException);

  const auto single = timed({0.2});
  EXPECT_EQ(&dwb_core::getClosestPose(single, 0.0), &single.poses[0]);
  EXPECT_EQ(dwb_core::projectPose(single, 1.0), single.poses[0]);
}

}  // namespace
