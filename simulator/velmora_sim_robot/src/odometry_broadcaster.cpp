#include "velmora_sim_robot/odometry_broadcaster.hpp"

#include <utility>

namespace velmora_sim_robot
{

namespace
{
// Odometry at 100 Hz with a few samples of slack for a slow subscriber.
constexpr std::size_t kOdometryDepth = 10;
}  // namespace

OdometryBroadcaster::OdometryBroadcaster(
  const rclcpp::Node::SharedPtr & node, const std::string & odom_topic, FrameIds frames)
: frames_(std::move(frames)),
  odom_publisher_(
    node->create_publisher<nav_msgs::msg::Odometry>(odom_topic, rclcpp::QoS(kOdometryDepth))),
  transforms_(node),
  static_transforms_(node)
{
}

void OdometryBroadcaster::sendOdomInMap(
  const PlanarPose & odom_in_map, const builtin_interfaces::msg::Time & stamp)
{
  static_transforms_.sendTransform(toTransform(odom_in_map, stamp, frames_.map, frames_.odom));
}

void OdometryBroadcaster::publish(const OdometrySample & sample)
{
  odom_publisher_->publish(toOdometry(sample, frames_));
  transforms_.sendTransform(toTransform(sample.pose, sample.stamp, frames_.odom, frames_.base));
}

}  // namespace velmora_sim_robot
