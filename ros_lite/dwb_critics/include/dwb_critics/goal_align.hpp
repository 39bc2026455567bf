#ifndef DWB_CRITICS__GOAL_ALIGN_HPP_
#define DWB_CRITICS__GOAL_ALIGN_HPP_

#include "dwb_critics/goal_dist.hpp"

namespace dwb_critics
{

// Draws the robot's nose to the goal: scores the point forward_point_distance ahead of each pose
// on a goal-distance grid whose target lies that far beyond the goal, seen from the robot. It
// scores all the way to the goal and refuses nothing.
class GoalAlignCritic : public GoalDistCritic
{
public:
  void onInit() override;
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scorePose(const geometry_msgs::msg::Pose2D & pose) override;

protected:
  double forward_point_distance_{0.325};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__GOAL_ALIGN_HPP_
