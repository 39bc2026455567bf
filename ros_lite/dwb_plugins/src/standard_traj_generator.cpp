#include "dwb_plugins/standard_traj_generator.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "dwb_plugins/one_d_velocity_iterator.hpp"
#include "dwb_plugins/xy_theta_iterator.hpp"
#include "nav2_util/node_utils.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_plugins
{

namespace
{

template<typename T>
void declareAndGet(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & name, T & value)
{
  nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::ParameterValue(value));
  nh->get_parameter(name, value);
}

}  // namespace

void StandardTrajectoryGenerator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name)
{
  plugin_name_ = plugin_name;
  kinematics_handler_ = std::make_shared<KinematicsHandler>();
  kinematics_handler_->initialize(nh, plugin_name_);
  initializeIterator(nh);

  // The members' initial values are the defaults.
  const std::string prefix = plugin_name_ + ".";
  declareAndGet(nh, prefix + "sim_time", sim_time_);
  declareAndGet(nh, prefix + "discretize_by_time", discretize_by_time_);
  declareAndGet(nh, prefix + "time_granularity", time_granularity_);
  declareAndGet(nh, prefix + "linear_granularity", linear_granularity_);
  declareAndGet(nh, prefix + "angular_granularity", angular_granularity_);
  declareAndGet(nh, prefix + "include_last_point", include_last_point_);
  declareAndGet(nh, prefix + "limit_vel_cmd_in_traj", limit_vel_cmd_in_traj_);
}

void StandardTrajectoryGenerator::initializeIterator(
  const nav2_util::LifecycleNode::SharedPtr & nh)
{
  velocity_iterator_ = std::make_shared<XYThetaIterator>();
  velocity_iterator_->initialize(nh, kinematics_handler_, plugin_name_);
}

void StandardTrajectoryGenerator::startNewIteration(
  const nav_2d_msgs::msg::Twist2D & current_velocity)
{
  velocity_iterator_->startNewIteration(current_velocity, sim_time_);
}

bool StandardTrajectoryGenerator::hasMoreTwists()
{
  return velocity_iterator_->hasMoreTwists();
}

nav_2d_msgs::msg::Twist2D StandardTrajectoryGenerator::nextTwist()
{
  return velocity_iterator_->nextTwist();
}

void StandardTrajectoryGenerator::setSpeedLimit(const double & speed_limit, const bool & percentage)
{
  kinematics_handler_->setSpeedLimit(speed_limit, percentage);
}

std::vector<double> StandardTrajectoryGenerator::getTimeSteps(
  const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  double steps = 1.0;
  if (discretize_by_time_) {
    steps = std::ceil(sim_time_ / time_granularity_);
  } else {
    const double linear_distance = std::hypot(cmd_vel.x, cmd_vel.y) * sim_time_;
    const double angular_distance = std::fabs(cmd_vel.theta) * sim_time_;
    steps = std::ceil(
      std::max(linear_distance / linear_granularity_, angular_distance / angular_granularity_));
  }
  // Also one step when the count is negative or no number (a zero or negative granularity).
  const size_t count = steps >= 1.0 ? static_cast<size_t>(steps) : 1;
  return std::vector<double>(count, sim_time_ / static_cast<double>(count));
}

dwb_msgs::msg::Trajectory2D StandardTrajectoryGenerator::generateTrajectory(
  const geometry_msgs::msg::Pose2D & start_pose,
  const nav_2d_msgs::msg::Twist2D & start_vel,
  const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  dwb_msgs::msg::Trajectory2D trajectory;
  trajectory.velocity = cmd_vel;
  const std::vector<double> steps = getTimeSteps(cmd_vel);
  trajectory.poses.reserve(steps.size() + 2);
  trajectory.time_offsets.reserve(steps.size() + 1);
  trajectory.poses.push_back(start_pose);

  geometry_msgs::msg::Pose2D pose = start_pose;
  nav_2d_msgs::msg::Twist2D velocity = start_vel;
  double running_time = 0.0;
  for (size_t i = 0; i < steps.size(); ++i) {
    velocity = computeNewVelocity(cmd_vel, velocity, steps[i]);
    if (limit_vel_cmd_in_traj_ && i == 0) {
      trajectory.velocity = velocity;
    }
    pose = computeNewPosition(pose, velocity, steps[i]);
    trajectory.poses.push_back(pose);
    trajectory.time_offsets.push_back(rclcpp::Duration::from_seconds(running_time));
    running_time += steps[i];
  }
  if (include_last_point_) {
    trajectory.poses.push_back(pose);
    trajectory.time_offsets.push_back(rclcpp::Duration::from_seconds(running_time));
  }
  return trajectory;
}

nav_2d_msgs::msg::Twist2D StandardTrajectoryGenerator::computeNewVelocity(
  const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D & start_vel,
  const double dt)
{
  KinematicParameters kinematics = kinematics_handler_->getKinematics();
  nav_2d_msgs::msg::Twist2D new_vel;
  new_vel.x = projectVelocity(
    start_vel.x, kinematics.getAccX(), kinematics.getDecelX(), dt, cmd_vel.x);
  new_vel.y = projectVelocity(
    start_vel.y, kinematics.getAccY(), kinematics.getDecelY(), dt, cmd_vel.y);
  new_vel.theta = projectVelocity(
    start_vel.theta, kinematics.getAccTheta(), kinematics.getDecelTheta(), dt, cmd_vel.theta);
  return new_vel;
}

geometry_msgs::msg::Pose2D StandardTrajectoryGenerator::computeNewPosition(
  const geometry_msgs::msg::Pose2D start_pose, const nav_2d_msgs::msg::Twist2D & vel,
  const double dt)
{
  // The lateral axis points a quarter turn left of the heading; written as that angle so the
  // positions come out to the last bit as the robots in the field compute them.
  geometry_msgs::msg::Pose2D new_pose;
  new_pose.x = start_pose.x +
    (vel.x * std::cos(start_pose.theta) + vel.y * std::cos(M_PI_2 + start_pose.theta)) * dt;
  new_pose.y = start_pose.y +
    (vel.x * std::sin(start_pose.theta) + vel.y * std::sin(M_PI_2 + start_pose.theta)) * dt;
  new_pose.theta = start_pose.theta + vel.theta * dt;
  return new_pose;
}

}  // namespace dwb_plugins

PLUGINLIB_EXPORT_CLASS(dwb_plugins::StandardTrajectoryGenerator, dwb_core::TrajectoryGenerator)
