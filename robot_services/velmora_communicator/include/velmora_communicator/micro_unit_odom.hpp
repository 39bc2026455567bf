#ifndef VELMORA_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
#define VELMORA_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_

#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "velmora_communicator/link_slot.hpp"

namespace velmora_communicator
{

// Odometry unit: the measured velocity and pose of the robot; default messages (zero velocity,
// pose at the origin) while no robot is attached.
class MicroUnitOdom
{
public:
  explicit MicroUnitOdom(std::shared_ptr<LinkSlot> slot);

  // The latest measured velocity.
  geometry_msgs::msg::TwistStamped getOdom();
  // The latest odometry pose.
  geometry_msgs::msg::PoseStamped getOdomPose();

private:
  std::shared_ptr<LinkSlot> slot_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__MICRO_UNIT_ODOM_HPP_
