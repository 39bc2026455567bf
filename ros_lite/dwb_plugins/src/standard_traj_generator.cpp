#include "dwb_plugins/standard_traj_generator.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "dwb_plugins/one_d_velocity_iterator.hpp"
#include "dwb_plugins/xy_theta_iterator.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav2_util/node_utils.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_plugins
{

namespace
{

bool isPositiveFinite(double value)
{
  return std::isfinite(value) && value > 0.0;
}

double finiteOrZero(double value)
{
  return std::isfinite(value) ? value : 0.0;
}

nav_2d_msgs::msg::Twist2D finiteOrZero(const nav_2d_msgs::msg::Twist2D & twist)
{
  nav_2d_msgs::msg::Twist2D finite;
  finite.x = finiteOrZero(twist.x);
  finite.y = finiteOrZero(twist.y);
  finite.theta = finiteOrZero(twist.theta);
  return finite;
}

std::string positiveRefusal(const std::string & name)
{
  return "parameter '" + name + "' must be a finite number above zero";
}

template<typename T>
T declareAndGet(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & name, const T & default_value)
{
  nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::ParameterValue(default_value));
  T value = default_value;
  nh->get_parameter(name, value);
  return value;
}

}  // namespace

void StandardTrajectoryGenerator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name)
{
  plugin_name_ = plugin_name;
  kinematics_handler_ = std::make_shared<KinematicsHandler>();
  kinematics_handler_->initialize(nh, plugin_name_);
  initializeIterator(nh);

  const std::string prefix = plugin_name_ + ".";
  sim_time_ = declareAndGet(nh, prefix + "sim_time", 1.7);
  discretize_by_time_ = declareAndGet(nh, prefix + "discretize_by_time", false);
  time_granularity_ = declareAndGet(nh, prefix + "time_granularity", 0.5);
  linear_granularity_ = declareAndGet(nh, prefix + "linear_granularity", 0.5);
  angular_granularity_ = declareAndGet(nh, prefix + "angular_granularity", 0.025);
  include_last_point_ = declareAndGet(nh, prefix + "include_last_point", true);

  const std::pair<const char *, double> positives[] = {
    {"sim_time", sim_time_}, {"time_granularity", time_granularity_},
    {"linear_granularity", linear_granularity_}, {"angular_granularity", angular_granularity_}};
  for (const auto & [name, value] : positives) {
    if (!isPositiveFinite(value)) {
      throw std::invalid_argument(positiveRefusal(prefix + name));
    }
  }
  requested_sim_time_.store(sim_time_);

  sim_time_handler_ = nh->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return onParametersSet(parameters);
    });
}

void StandardTrajectoryGenerator::initializeIterator(
  const nav2_util::LifecycleNode::SharedPtr & nh)
{
  velocity_iterator_ = std::make_shared<XYThetaIterator>();
  velocity_iterator_->initialize(nh, kinematics_handler_, plugin_name_);
}

rcl_interfaces::msg::SetParametersResult StandardTrajectoryGenerator::onParametersSet(
  const std::vector<rclcpp::Parameter> & parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = true;
  const std::string name = plugin_name_ + ".sim_time";
  double accepted = requested_sim_time_.load();
  for (const rclcpp::Parameter & parameter : parameters) {
    if (parameter.get_name() != name ||
      parameter.get_type() != rclcpp::ParameterType::PARAMETER_DOUBLE)
    {
      continue;
    }
    if (!isPositiveFinite(parameter.as_double())) {
      result.successful = false;
      result.reason = positiveRefusal(name);
      return result;
    }
    accepted = parameter.as_double();
  }
  requested_sim_time_.store(accepted);
  return result;
}

void StandardTrajectoryGenerator::refreshSimTime()
{
  sim_time_ = requested_sim_time_.load(std::memory_order_relaxed);
}

void StandardTrajectoryGenerator::startNewIteration(
  const nav_2d_msgs::msg::Twist2D & current_velocity)
{
  refreshSimTime();
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
  const size_t count = static_cast<size_t>(std::max(1.0, steps));
  return std::vector<double>(count, sim_time_ / static_cast<double>(count));
}

dwb_msgs::msg::Trajectory2D StandardTrajectoryGenerator::generateTrajectory(
  const geometry_msgs::msg::Pose2D & start_pose,
  const nav_2d_msgs::msg::Twist2D & start_vel,
  const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  if (!std::isfinite(start_pose.x) || !std::isfinite(start_pose.y) ||
    !std::isfinite(start_pose.theta))
  {
    throw nav2_core::PlannerException("Cannot simulate a trajectory from a non-finite pose");
  }
  refreshSimTime();
  trajectory_kinematics_ = kinematics_handler_->getKinematics();

  dwb_msgs::msg::Trajectory2D trajectory;
  trajectory.velocity = finiteOrZero(cmd_vel);
  const std::vector<double> steps = getTimeSteps(trajectory.velocity);
  const size_t recorded_steps = include_last_point_ ? steps.size() : steps.size() - 1;
  trajectory.poses.reserve(recorded_steps + 1);
  trajectory.time_offsets.reserve(recorded_steps + 1);
  trajectory.poses.push_back(start_pose);
  trajectory.time_offsets.push_back(rclcpp::Duration::from_seconds(0.0));

  geometry_msgs::msg::Pose2D pose = start_pose;
  nav_2d_msgs::msg::Twist2D velocity = finiteOrZero(start_vel);
  double running_time = 0.0;
  for (size_t i = 0; i < recorded_steps; ++i) {
    velocity = computeNewVelocity(trajectory.velocity, velocity, steps[i]);
    pose = computeNewPosition(pose, velocity, steps[i]);
    running_time += steps[i];
    trajectory.poses.push_back(pose);
    trajectory.time_offsets.push_back(rclcpp::Duration::from_seconds(running_time));
  }
  return trajectory;
}

nav_2d_msgs::msg::Twist2D StandardTrajectoryGenerator::computeNewVelocity(
  const nav_2d_msgs::msg::Twist2D & cmd_vel, const nav_2d_msgs::msg::Twist2D & start_vel,
  const double dt)
{
  const KinematicParameters & k = trajectory_kinematics_;
  nav_2d_msgs::msg::Twist2D new_vel;
  new_vel.x = projectVelocity(start_vel.x, k.getAccX(), k.getDecelX(), dt, cmd_vel.x);
  new_vel.y = projectVelocity(start_vel.y, k.getAccY(), k.getDecelY(), dt, cmd_vel.y);
  new_vel.theta = projectVelocity(
    start_vel.theta, k.getAccTheta(), k.getDecelTheta(), dt, cmd_vel.theta);
  return new_vel;
}

geometry_msgs::msg::Pose2D StandardTrajectoryGenerator::computeNewPosition(
  const geometry_msgs::msg::Pose2D start_pose, const nav_2d_msgs::msg::Twist2D & vel,
  const double dt)
{
  const double cos_theta = std::cos(start_pose.theta);
  const double sin_theta = std::sin(start_pose.theta);
  geometry_msgs::msg::Pose2D new_pose;
  new_pose.x = start_pose.x + (vel.x * cos_theta - vel.y * sin_theta) * dt;
  new_pose.y = start_pose.y + (vel.x * sin_theta + vel.y * cos_theta) * dt;
  new_pose.theta = start_pose.theta + vel.theta * dt;
  return new_pose;
}

}  // namespace dwb_plugins

PLUGINLIB_EXPORT_CLASS(dwb_plugins::StandardTrajectoryGenerator, dwb_core::TrajectoryGenerator)
