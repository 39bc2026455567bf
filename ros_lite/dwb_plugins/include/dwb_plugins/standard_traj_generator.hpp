#ifndef DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_
#define DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_

#include <memory>
#include <string>
#include <vector>

#include "dwb_core/trajectory_generator.hpp"
#include "dwb_plugins/kinematic_parameters.hpp"
#include "dwb_plugins/velocity_iterator.hpp"

namespace dwb_plugins
{

// Samples the velocities reachable within sim_time from the current one (the dynamic window)
// and simulates each as a trajectory that accelerates towards it within the limits.
//
// Only the kinematic limits follow run-time parameter changes. "<plugin>.sim_time",
// "discretize_by_time", the granularities, "include_last_point", "limit_vel_cmd_in_traj" and
// the sample counts are read once, in initialize: setting them later is accepted by the node and
// changes nothing here.
class StandardTrajectoryGenerator : public dwb_core::TrajectoryGenerator
{
public:
  void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name) override;
  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) override;
  bool hasMoreTwists() override;
  nav_2d_msgs::msg::Twist2D nextTwist() override;
  // Poses: the start pose, one per time step, and with include_last_point the last one again.
  // time_offsets has one entry fewer: the time at the start of each step, then the whole
  // simulated time for the repeated last pose. The trajectory's velocity is cmd_vel, or with
  // limit_vel_cmd_in_traj the velocity reached in the first step.
  dwb_msgs::msg::Trajectory2D generateTrajectory(
    const geometry_msgs::msg::Pose2D & start_pose,
    const nav_2d_msgs::msg::Twist2D & start_vel,
    const nav_2d_msgs::msg::Twist2D & cmd_vel) override;
  void setSpeedLimit(const double & speed_limit, const bool & percentage) override;

protected:
  virtual void initializeIterator(const nav2_util::LifecycleNode::SharedPtr & nh);
  // Each component heads for cmd_vel within the limits in force at the moment of the step.
  virtual nav_2d_msgs::msg::Twist2D computeNewVelocity(
    const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D & start_vel,
    const double dt);
  virtual geometry_msgs::msg::Pose2D computeNewPosition(
    const geometry_msgs::msg::Pose2D start_pose, const nav_2d_msgs::msg::Twist2D & vel,
    const double dt);
  // Equal steps covering sim_time: by time_granularity, or small enough that neither the
  // distance nor the angle driven at cmd_vel in one step exceeds its granularity; at least one.
  virtual std::vector<double> getTimeSteps(const nav_2d_msgs::msg::Twist2D & cmd_vel);

  KinematicsHandler::Ptr kinematics_handler_;
  std::shared_ptr<VelocityIterator> velocity_iterator_;

  double sim_time_{1.7};
  bool discretize_by_time_{false};
  double time_granularity_{0.5};
  double linear_granularity_{0.5};
  double angular_granularity_{0.025};
  std::string plugin_name_;
  bool include_last_point_{true};
  bool limit_vel_cmd_in_traj_{false};
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_
