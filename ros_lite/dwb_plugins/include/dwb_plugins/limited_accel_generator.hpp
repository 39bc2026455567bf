#ifndef DWB_PLUGINS__LIMITED_ACCEL_GENERATOR_HPP_
#define DWB_PLUGINS__LIMITED_ACCEL_GENERATOR_HPP_

#include <string>

#include "dwb_plugins/standard_traj_generator.hpp"

namespace dwb_plugins
{

// For robots whose velocity is re-commanded every control period: the window spans what is
// reachable within one period ("<plugin>.sim_period", taken as it is; else 1 / the node's
// controller_frequency, declared with 20 Hz if the node lacks it), and each trajectory drives at
// its command from the first step.
class LimitedAccelGenerator : public StandardTrajectoryGenerator
{
public:
  void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name) override;
  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) override;

protected:
  nav_2d_msgs::msg::Twist2D computeNewVelocity(
    const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D & start_vel,
    const double dt) override;

  double acceleration_time_{0.05};
  std::string plugin_name_;
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__LIMITED_ACCEL_GENERATOR_HPP_
