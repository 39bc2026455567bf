#ifndef DWB_CRITICS__PREFER_FORWARD_HPP_
#define DWB_CRITICS__PREFER_FORWARD_HPP_

#include "dwb_core/trajectory_critic.hpp"

namespace dwb_critics
{

// For robots that see only ahead: penalises backing up and creeping sideways or barely forward
// without turning, and otherwise prefers less rotation, which leaves more forward progress.
class PreferForwardCritic : public dwb_core::TrajectoryCritic
{
public:
  void onInit() override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;

protected:
  double penalty_{1.0}, strafe_x_{0.1}, strafe_theta_{0.2}, theta_scale_{10.0};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__PREFER_FORWARD_HPP_
