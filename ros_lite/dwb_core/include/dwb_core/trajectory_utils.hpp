#ifndef DWB_CORE__TRAJECTORY_UTILS_HPP_
#define DWB_CORE__TRAJECTORY_UTILS_HPP_

#include "dwb_msgs/msg/trajectory2_d.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"

namespace dwb_core
{

// The pose of the trajectory whose time offset is closest to time_offset (the earlier one of
// two equally close). Throws nav2_core::PlannerException for an empty trajectory.
const geometry_msgs::msg::Pose2D & getClosestPose(
  const dwb_msgs::msg::Trajectory2D & trajectory,
  const double time_offset);

// The pose at time_offset, linearly interpolated between the poses around it and clamped to
// the first and last pose. Throws nav2_core::PlannerException for an empty trajectory.
geometry_msgs::msg::Pose2D projectPose(
  const dwb_msgs::msg::Trajectory2D & trajectory,
  const double time_offset);

}  // namespace dwb_core

#endif  // DWB_CORE__TRAJECTORY_UTILS_HPP_
