#ifndef VELMORA_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_
#define VELMORA_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_

#include <memory>

#include "velmora_protocol/msg/robot_event.hpp"
#include "velmora_communicator/link_slot.hpp"

namespace velmora_communicator
{

// Robot-event unit: events such as turn signals for the robot's supervision.
class MicroUnitRobotEvent
{
public:
  explicit MicroUnitRobotEvent(std::shared_ptr<LinkSlot> slot);

  void publishRobotEvent(velmora_protocol::msg::RobotEvent event);

private:
  std::shared_ptr<LinkSlot> slot_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__MICRO_UNIT_ROBOT_EVENT_HPP_
