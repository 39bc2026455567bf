#ifndef DWB_CRITICS__PATH_ALIGN_HPP_
#define DWB_CRITICS__PATH_ALIGN_HPP_

#include "dwb_critics/path_dist.hpp"

namespace dwb_critics
{

// Keeps the robot's nose on the plan: scores the point forward_point_distance ahead of each pose
// on the plan-distance grid. It scores all the way to the goal and refuses nothing.
class PathAlignCritic : public PathDistCritic
{
public:
  void onInit() override;
  double scorePose(const geometry_msgs::msg::Pose2D & pose) override;

protected:
  double forward_point_distance_{0.325};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__PATH_ALIGN_HPP_
