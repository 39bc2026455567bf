#ifndef VELMORA_SIM_ROBOT__ODOMETRY_BROADCASTER_HPP_
#define VELMORA_SIM_ROBOT__ODOMETRY_BROADCASTER_HPP_

#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"
#include "velmora_sim_robot/odometry_messages.hpp"
#include "velmora_sim_robot/planar_motion.hpp"

namespace velmora_sim_robot
{

// Tells the ROS graph where the robot is: odometry messages on a topic, and the transforms map ->
// odom (static) and odom -> base (one per sample) on /tf_static and /tf, so any transform
// listener resolves the robot's frame in the map.
class OdometryBroadcaster
{
public:
  OdometryBroadcaster(
    const rclcpp::Node::SharedPtr & node, const std::string & odom_topic, FrameIds frames);

  // The fixed place of the odometry frame in the map; sent once, latched for late listeners.
  void sendOdomInMap(const PlanarPose & odom_in_map, const builtin_interfaces::msg::Time & stamp);

  // One sample as an odometry message and the odom -> base transform, both with the sample's
  // stamp, so a lookup at that stamp gives the published pose.
  void publish(const OdometrySample & sample);

private:
  FrameIds frames_;
  rclcpp::Publisher<nav_msgs::msg::Odometry>::SharedPtr odom_publisher_;
  tf2_ros::TransformBroadcaster transforms_;
  tf2_ros::StaticTransformBroadcaster static_transforms_;
};

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__ODOMETRY_BROADCASTER_HPP_
