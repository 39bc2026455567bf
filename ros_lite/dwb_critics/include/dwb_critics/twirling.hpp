#ifndef DWB_CRITICS__TWIRLING_HPP_
#define DWB_CRITICS__TWIRLING_HPP_

#include "dwb_core/trajectory_critic.hpp"

namespace dwb_critics
{

// Penalises spinning: the faster the command turns, the worse.
class TwirlingCritic : public dwb_core::TrajectoryCritic
{
public:
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__TWIRLING_HPP_
