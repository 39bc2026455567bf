#include "dwb_critics/twirling.hpp"

#include <cmath>

#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

double TwirlingCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  return std::fabs(traj.velocity.theta);
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::TwirlingCritic, dwb_core::TrajectoryCritic)
