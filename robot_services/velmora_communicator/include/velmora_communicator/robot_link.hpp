#ifndef VELMORA_COMMUNICATOR__ROBOT_LINK_HPP_
#define VELMORA_COMMUNICATOR__ROBOT_LINK_HPP_

#include <cstddef>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "velmora_protocol/msg/robot_event.hpp"

namespace velmora_communicator
{

// The calls the communicator's units carry to the robot.
enum class CallKind : std::size_t
{
  velocity,
  zero_velocity,
  odometry,
  odometry_pose,
  error_code,
  robot_event
};

constexpr std::size_t kCallKindCount = 6;

// The robot end of the communicator: whatever the host attaches to the engine (a simulated base,
// a recording link in tests, a transport to a real motion unit). Calls arrive on the caller's
// thread; an exception thrown here reaches the caller of the unit.
class RobotLink
{
public:
  virtual ~RobotLink() = default;

  virtual void publishVelocity(const geometry_msgs::msg::Twist & command) = 0;
  virtual void publishZeroVelocity() = 0;
  virtual geometry_msgs::msg::TwistStamped getOdom() = 0;
  virtual geometry_msgs::msg::PoseStamped getOdomPose() = 0;
  virtual void publishExceptionHandle(int error_code) = 0;
  virtual void publishRobotEvent(const velmora_protocol::msg::RobotEvent & event) = 0;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__ROBOT_LINK_HPP_
