#ifndef DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_
#define DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_

#include <atomic>
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
// Besides the kinematic limits, "<plugin>.sim_time" follows run-time parameter changes here
// (unlike the generator this one was modelled on): the controller sets the horizon per goal, and
// a new value takes effect at the next startNewIteration or generateTrajectory.
class StandardTrajectoryGenerator : public dwb_core::TrajectoryGenerator
{
public:
  void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name) override;
  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) override;
  bool hasMoreTwists() override;
  nav_2d_msgs::msg::Twist2D nextTwist() override;
  // Throws nav2_core::PlannerException for a non-finite start pose; non-finite velocity
  // components count as zero.
  dwb_msgs::msg::Trajectory2D generateTrajectory(
    const geometry_msgs::msg::Pose2D & start_pose,
    const nav_2d_msgs::msg::Twist2D & start_vel,
    const nav_2d_msgs::msg::Twist2D & cmd_vel) override;
  void setSpeedLimit(const double & speed_limit, const bool & percentage) override;

protected:
  virtual void initializeIterator(const nav2_util::LifecycleNode::SharedPtr & nh);
  // Uses the limits generateTrajectory took when it started simulating.
  virtual nav_2d_msgs::msg::Twist2D computeNewVelocity(
    const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D & start_vel,
    const double dt);
  virtual geometry_msgs::msg::Pose2D computeNewPosition(
    const geometry_msgs::msg::Pose2D start_pose, const nav_2d_msgs::msg::Twist2D & vel,
    const double dt);
  // Equal steps covering sim_time: by time_granularity, or small enough that neither the
  // distance nor the angle driven at cmd_vel in one step exceeds its granularity.
  virtual std::vector<double> getTimeSteps(const nav_2d_msgs::msg::Twist2D & cmd_vel);

  // Takes up a sim_time set at run time.
  void refreshSimTime();

  KinematicsHandler::Ptr kinematics_handler_;
  std::shared_ptr<VelocityIterator> velocity_iterator_;

  double sim_time_{1.7};
  bool discretize_by_time_{false};
  double time_granularity_{0.5};
  double linear_granularity_{0.5};
  double angular_granularity_{0.025};
  std::string plugin_name_;
  bool include_last_point_{true};
  // The limits of the trajectory being simulated, so a step reads no shared state.
  KinematicParameters trajectory_kinematics_;

private:
  rcl_interfaces::msg::SetParametersResult onParametersSet(
    const std::vector<rclcpp::Parameter> & parameters);

  std::atomic<double> requested_sim_time_{1.7};
  rclcpp::node_interfaces::OnSetParametersCallbackHandle::SharedPtr sim_time_handler_;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__STANDARD_TRAJ_GENERATOR_HPP_
