#include "velmora_communicator/micro_unit_cmd_vel.hpp"

#include <utility>

namespace velmora_communicator
{

MicroUnitCmdVel::MicroUnitCmdVel(std::shared_ptr<LinkSlot> slot)
: slot_(std::move(slot))
{
}

void MicroUnitCmdVel::publishVelocity(geometry_msgs::msg::Twist command)
{
  slot_->forward<void>(
    CallKind::velocity, [&command](RobotLink & link) {link.publishVelocity(command);});
}

void MicroUnitCmdVel::publishZeroVelocity()
{
  slot_->forward<void>(CallKind::zero_velocity, [](RobotLink & link) {link.publishZeroVelocity();});
}

}  // namespace velmora_communicator
