#ifndef DWB_CRITICS__ROTATE_TO_GOAL_HPP_
#define DWB_CRITICS__ROTATE_TO_GOAL_HPP_

#include "dwb_core/trajectory_critic.hpp"

namespace dwb_critics
{

// Near the goal: first slow down, then turn in place to the goal's heading. Once within
// xy_goal_tolerance the robot stays "in the window", and once it has also slowed below
// trans_stopped_velocity it stays "rotating", until reset() (a new plan).
class RotateToGoalCritic : public dwb_core::TrajectoryCritic
{
public:
  void onInit() override;
  void reset() override;
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
  // How far the trajectory's evaluated heading is from the goal's, in radians.
  double scoreRotation(const dwb_msgs::msg::Trajectory2D & traj);

protected:
  bool in_window_{false};
  bool rotating_{false};
  double goal_yaw_{0.0};
  double xy_goal_tolerance_{0.25};
  double xy_goal_tolerance_sq_{0.0625};
  double stopped_xy_velocity_sq_{0.0625};
  double current_xy_speed_sq_{0.0};
  double slowing_factor_{5.0};
  double lookahead_time_{-1.0};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__ROTATE_TO_GOAL_HPP_
