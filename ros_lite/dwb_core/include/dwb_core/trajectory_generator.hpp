#ifndef DWB_CORE__TRAJECTORY_GENERATOR_HPP_
#define DWB_CORE__TRAJECTORY_GENERATOR_HPP_

#include <memory>
#include <string>
#include <vector>

#include "dwb_msgs/msg/trajectory2_d.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav_2d_msgs/msg/twist2_d.hpp"
#include "rclcpp/rclcpp.hpp"

namespace dwb_core
{

// Samples the velocities a search tries and simulates the trajectory each one would drive.
class TrajectoryGenerator
{
public:
  typedef std::shared_ptr<dwb_core::TrajectoryGenerator> Ptr;

  virtual ~TrajectoryGenerator() {}

  virtual void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name) = 0;
  virtual void reset() {}

  // Starts the velocity samples reachable from the current velocity.
  virtual void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) = 0;
  virtual bool hasMoreTwists() = 0;
  virtual nav_2d_msgs::msg::Twist2D nextTwist() = 0;

  // Every sample of one iteration.
  virtual std::vector<nav_2d_msgs::msg::Twist2D> getTwists(
    const nav_2d_msgs::msg::Twist2D & current_velocity)
  {
    std::vector<nav_2d_msgs::msg::Twist2D> twists;
    startNewIteration(current_velocity);
    while (hasMoreTwists()) {
      twists.push_back(nextTwist());
    }
    return twists;
  }

  virtual dwb_msgs::msg::Trajectory2D generateTrajectory(
    const geometry_msgs::msg::Pose2D & start_pose,
    const nav_2d_msgs::msg::Twist2D & start_vel,
    const nav_2d_msgs::msg::Twist2D & cmd_vel) = 0;

  // A speed limit, in percent of the configured maximum or absolute (m/s).
  virtual void setSpeedLimit(const double & speed_limit, const bool & percentage) = 0;
};

}  // namespace dwb_core

#endif  // DWB_CORE__TRAJECTORY_GENERATOR_HPP_
