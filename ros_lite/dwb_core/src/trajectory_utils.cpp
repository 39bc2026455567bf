#include "dwb_core/trajectory_utils.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nav2_core/exceptions.hpp"
#include "rclcpp/duration.hpp"

namespace dwb_core
{

namespace
{

int64_t offsetNanoseconds(const dwb_msgs::msg::Trajectory2D & trajectory, size_t index)
{
  return rclcpp::Duration(trajectory.time_offsets[index]).nanoseconds();
}

// Poses without a time offset cannot be placed in time and are left out.
size_t timedPoseCount(const dwb_msgs::msg::Trajectory2D & trajectory, const std::string & caller)
{
  const size_t count = std::min(trajectory.poses.size(), trajectory.time_offsets.size());
  if (count == 0) {
    throw nav2_core::PlannerException("Cannot call " + caller + " on empty trajectory.");
  }
  return count;
}

}  // namespace

const geometry_msgs::msg::Pose2D & getClosestPose(
  const dwb_msgs::msg::Trajectory2D & trajectory,
  const double time_offset)
{
  const size_t count = timedPoseCount(trajectory, "getClosestPose");
  const int64_t goal_time = rclcpp::Duration::from_seconds(time_offset).nanoseconds();
  size_t closest_index = 0;
  int64_t closest_diff = std::llabs(offsetNanoseconds(trajectory, 0) - goal_time);
  // Offsets grow along the trajectory: past the goal time the poses only get farther.
  for (size_t i = 1; i < count && offsetNanoseconds(trajectory, i - 1) <= goal_time; ++i) {
    const int64_t diff = std::llabs(offsetNanoseconds(trajectory, i) - goal_time);
    if (diff < closest_diff) {
      closest_index = i;
      closest_diff = diff;
    }
  }
  return trajectory.poses[closest_index];
}

geometry_msgs::msg::Pose2D projectPose(
  const dwb_msgs::msg::Trajectory2D & trajectory,
  const double time_offset)
{
  const size_t count = timedPoseCount(trajectory, "projectPose");
  const int64_t goal_time = rclcpp::Duration::from_seconds(time_offset).nanoseconds();
  if (goal_time <= offsetNanoseconds(trajectory, 0)) {
    return trajectory.poses.front();
  }
  if (goal_time >= offsetNanoseconds(trajectory, count - 1)) {
    return trajectory.poses[count - 1];
  }

  size_t next = 1;
  while (offsetNanoseconds(trajectory, next) <= goal_time) {
    ++next;
  }
  const int64_t start_time = offsetNanoseconds(trajectory, next - 1);
  const double ratio = static_cast<double>(goal_time - start_time) /
    static_cast<double>(offsetNanoseconds(trajectory, next) - start_time);
  const geometry_msgs::msg::Pose2D & a = trajectory.poses[next - 1];
  const geometry_msgs::msg::Pose2D & b = trajectory.poses[next];
  geometry_msgs::msg::Pose2D projected;
  projected.x = a.x + (b.x - a.x) * ratio;
  projected.y = a.y + (b.y - a.y) * ratio;
  projected.theta = a.theta + (b.theta - a.theta) * ratio;
  return projected;
}

}  // namespace dwb_core
