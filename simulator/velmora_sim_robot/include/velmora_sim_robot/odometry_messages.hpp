#ifndef VELMORA_SIM_ROBOT__ODOMETRY_MESSAGES_HPP_
#define VELMORA_SIM_ROBOT__ODOMETRY_MESSAGES_HPP_

#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_sim_robot
{

// The frames the robot reports in: the map, the odometry frame fixed in it where the robot
// started, and the robot's footprint.
struct FrameIds
{
  std::string map{"map"};
  std::string odom{"odom"};
  std::string base{"base_footprint"};
};

// The state of the base at one instant: its pose in the odometry frame and its body-frame
// velocity.
struct OdometrySample
{
  PlanarPose pose;
  BodyTwist twist;
  builtin_interfaces::msg::Time stamp;
};

// Odometry as ROS carries it: pose in the odometry frame, twist in the robot's frame.
nav_msgs::msg::Odometry toOdometry(const OdometrySample & sample, const FrameIds & frames);

// The measured velocity, stamped in the robot's frame.
geometry_msgs::msg::TwistStamped toTwistStamped(
  const OdometrySample & sample, const FrameIds & frames);

// The odometry pose, stamped in the odometry frame.
geometry_msgs::msg::PoseStamped toPoseStamped(
  const OdometrySample & sample, const FrameIds & frames);

// The transform that places `child` at `pose` in `parent`.
geometry_msgs::msg::TransformStamped toTransform(
  const PlanarPose & pose, const builtin_interfaces::msg::Time & stamp,
  const std::string & parent, const std::string & child);

// The planar part of a velocity command: forward, sideways and turn rate.
BodyTwist toBodyTwist(const geometry_msgs::msg::Twist & command);

// Whether all six components of a command are finite numbers.
bool isFinite(const geometry_msgs::msg::Twist & command);

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__ODOMETRY_MESSAGES_HPP_
