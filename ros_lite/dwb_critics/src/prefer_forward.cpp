#include "dwb_critics/prefer_forward.hpp"

#include <cmath>

#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

void PreferForwardCritic::onInit()
{
  auto node = node_.lock();
  const std::string prefix = dwb_plugin_name_ + "." + name_ + ".";
  penalty_ = nav_2d_utils::searchAndGetParam(node, prefix + "penalty", 1.0);
  strafe_x_ = nav_2d_utils::searchAndGetParam(node, prefix + "strafe_x", 0.1);
  strafe_theta_ = nav_2d_utils::searchAndGetParam(node, prefix + "strafe_theta", 0.2);
  theta_scale_ = nav_2d_utils::searchAndGetParam(node, prefix + "theta_scale", 10.0);
}

double PreferForwardCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  if (traj.velocity.x < 0.0) {
    return penalty_;
  }
  if (traj.velocity.x < strafe_x_ && std::fabs(traj.velocity.theta) < strafe_theta_) {
    return penalty_;
  }
  return std::fabs(traj.velocity.theta) * theta_scale_;
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::PreferForwardCritic, dwb_core::TrajectoryCritic)
