#ifndef DWB_CRITICS__GOAL_DIST_HPP_
#define DWB_CRITICS__GOAL_DIST_HPP_

#include "dwb_critics/map_grid.hpp"

namespace dwb_critics
{

// Distance to the local goal: the last point of the plan (densified to the costmap's
// resolution) on a known cell of the costmap before the plan first leaves it.
class GoalDistCritic : public MapGridCritic
{
public:
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;

protected:
  // The cell of that point; false (with an error log) when no point of the plan is on it.
  bool getLastPoseOnCostmap(
    const nav_2d_msgs::msg::Path2D & global_plan, unsigned int & x, unsigned int & y);
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__GOAL_DIST_HPP_
