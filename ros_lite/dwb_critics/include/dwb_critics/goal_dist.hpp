#ifndef DWB_CRITICS__GOAL_DIST_HPP_
#define DWB_CRITICS__GOAL_DIST_HPP_

#include "dwb_critics/map_grid.hpp"

namespace dwb_critics
{

// Distance to the local goal: the last point of the plan that lies on the costmap.
class GoalDistCritic : public MapGridCritic
{
public:
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;

protected:
  // The world position of that point; false (with an error log) when no point is on the map.
  bool getLastPoseOnCostmap(
    const nav_2d_msgs::msg::Path2D & global_plan, double & x, double & y);
  // Seeds the one cell under (x, y) and fills the grid from it.
  bool prepareFrom(double x, double y);
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__GOAL_DIST_HPP_
