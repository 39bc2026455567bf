#include "dwb_critics/alignment_util.hpp"

#include <cmath>

namespace dwb_critics
{

geometry_msgs::msg::Pose2D getForwardPose(
  const geometry_msgs::msg::Pose2D & pose, double distance)
{
  geometry_msgs::msg::Pose2D forward_pose = pose;
  forward_pose.x = pose.x + distance * std::cos(pose.theta);
  forward_pose.y = pose.y + distance * std::sin(pose.theta);
  return forward_pose;
}

}  // namespace dwb_critics
