#include "dwb_critics/path_align.hpp"

#include "dwb_critics/alignment_util.hpp"
#include "nav_2d_utils/parameters.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_critics
{

void PathAlignCritic::onInit()
{
  PathDistCritic::onInit();
  // A forward point may stray from the plan or over an obstacle; that is only a worse score.
  stop_on_failure_ = false;
  forward_point_distance_ = nav_2d_utils::searchAndGetParam(
    node_.lock(), dwb_plugin_name_ + "." + name_ + ".forward_point_distance", 0.325);
}

double PathAlignCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  return PathDistCritic::scorePose(getForwardPose(pose, forward_point_distance_));
}

}  // namespace dwb_critics

PLUGINLIB_EXPORT_CLASS(dwb_critics::PathAlignCritic, dwb_core::TrajectoryCritic)
