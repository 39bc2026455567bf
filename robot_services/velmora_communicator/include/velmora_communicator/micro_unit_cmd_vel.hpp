#ifndef VELMORA_COMMUNICATOR__MICRO_UNIT_CMD_VEL_HPP_
#define VELMORA_COMMUNICATOR__MICRO_UNIT_CMD_VEL_HPP_

#include <memory>

#include "geometry_msgs/msg/twist.hpp"
#include "velmora_communicator/link_slot.hpp"

namespace velmora_communicator
{

// Velocity unit: carries velocity commands down to the motion unit.
class MicroUnitCmdVel
{
public:
  explicit MicroUnitCmdVel(std::shared_ptr<LinkSlot> slot);

  void publishVelocity(geometry_msgs::msg::Twist command);
  // Halts the robot.
  void publishZeroVelocity();

private:
  std::shared_ptr<LinkSlot> slot_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__MICRO_UNIT_CMD_VEL_HPP_
