#include "velmora_communicator/micro_unit_odom.hpp"

#include <utility>

namespace velmora_communicator
{

MicroUnitOdom::MicroUnitOdom(std::shared_ptr<LinkSlot> slot)
: slot_(std::move(slot))
{
}

geometry_msgs::msg::TwistStamped MicroUnitOdom::getOdom()
{
  return slot_->forward<geometry_msgs::msg::TwistStamped>(
    CallKind::odometry, [](RobotLink & link) {return link.getOdom();});
}

geometry_msgs::msg::PoseStamped MicroUnitOdom::getOdomPose()
{
  return slot_->forward<geometry_msgs::msg::PoseStamped>(
    CallKind::odometry_pose, [](RobotLink & link) {return link.getOdomPose();});
}

}  // namespace velmora_communicator
