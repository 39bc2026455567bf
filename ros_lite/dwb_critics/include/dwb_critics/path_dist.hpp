#ifndef DWB_CRITICS__PATH_DIST_HPP_
#define DWB_CRITICS__PATH_DIST_HPP_

#include "dwb_critics/map_grid.hpp"

namespace dwb_critics
{

// Distance from the plan: every point of the plan (densified to the costmap's resolution) that
// lies on a known cell of the costmap is a seed, up to where the plan first leaves it.
class PathDistCritic : public MapGridCritic
{
public:
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__PATH_DIST_HPP_
