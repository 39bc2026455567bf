#ifndef DWB_CRITICS__PATH_ALIGN_HPP_
#define DWB_CRITICS__PATH_ALIGN_HPP_

#include "dwb_critics/path_dist.hpp"

namespace dwb_critics
{

// Keeps the robot's nose on the plan: scores the point forward_point_distance ahead of each pose
// on the plan-distance grid. Near the goal, where facing the plan no longer matters, it is off.
class PathAlignCritic : public PathDistCritic
{
public:
  void onInit() override;
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double getScale() const override;
  double scorePose(const geometry_msgs::msg::Pose2D & pose) override;

protected:
  bool zero_scale_{false};
  double forward_point_distance_{0.325};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__PATH_ALIGN_HPP_
