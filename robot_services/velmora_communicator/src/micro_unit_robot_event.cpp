#include "velmora_communicator/micro_unit_robot_event.hpp"

#include <utility>

namespace velmora_communicator
{

MicroUnitRobotEvent::MicroUnitRobotEvent(std::shared_ptr<LinkSlot> slot)
: slot_(std::move(slot))
{
}

void MicroUnitRobotEvent::publishRobotEvent(velmora_protocol::msg::RobotEvent event)
{
  slot_->forward<void>(
    CallKind::robot_event, [&event](RobotLink & link) {link.publishRobotEvent(event);});
}

}  // namespace velmora_communicator
