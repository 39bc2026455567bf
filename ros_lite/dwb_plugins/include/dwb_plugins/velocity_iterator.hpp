#ifndef DWB_PLUGINS__VELOCITY_ITERATOR_HPP_
#define DWB_PLUGINS__VELOCITY_ITERATOR_HPP_

#include <memory>
#include <string>

#include "dwb_plugins/kinematic_parameters.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav_2d_msgs/msg/twist2_d.hpp"

namespace dwb_plugins
{

// Walks through the velocities a search tries, one iteration per planning cycle.
class VelocityIterator
{
public:
  virtual ~VelocityIterator() {}
  virtual void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh,
    KinematicsHandler::Ptr kinematics,
    const std::string & plugin_name) = 0;
  // Starts over with the velocities reachable from `current_velocity` within `dt` seconds.
  virtual void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity, double dt) = 0;
  virtual bool hasMoreTwists() = 0;
  virtual nav_2d_msgs::msg::Twist2D nextTwist() = 0;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__VELOCITY_ITERATOR_HPP_
