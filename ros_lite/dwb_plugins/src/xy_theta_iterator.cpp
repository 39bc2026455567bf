#include "dwb_plugins/xy_theta_iterator.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "nav2_util/node_utils.hpp"

namespace dwb_plugins
{

namespace
{

bool isValidSampleCount(int64_t count)
{
  return count >= 1 && count <= std::numeric_limits<int>::max();
}

std::string sampleCountRefusal(const std::string & name)
{
  return "parameter '" + name + "' must be a sample count of at least 1";
}

}  // namespace

void XYThetaIterator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh,
  KinematicsHandler::Ptr kinematics,
  const std::string & plugin_name)
{
  kinematics_handler_ = std::move(kinematics);
  plugin_name_ = plugin_name;

  const std::pair<const char *, std::atomic<int> *> counts[] = {
    {".vx_samples", &requested_vx_samples_},
    {".vy_samples", &requested_vy_samples_},
    {".vtheta_samples", &requested_vtheta_samples_}};
  for (const auto & [suffix, requested] : counts) {
    const std::string name = plugin_name_ + suffix;
    nav2_util::declare_parameter_if_not_declared(
      nh, name, rclcpp::ParameterValue(requested->load()));
    int64_t count = 0;
    nh->get_parameter(name, count);
    if (!isValidSampleCount(count)) {
      throw std::invalid_argument(sampleCountRefusal(name));
    }
    requested->store(static_cast<int>(count));
  }
  vx_samples_ = requested_vx_samples_.load();
  vy_samples_ = requested_vy_samples_.load();
  vtheta_samples_ = requested_vtheta_samples_.load();

  samples_handler_ = nh->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return onParametersSet(parameters);
    });
}

rcl_interfaces::msg::SetParametersResult XYThetaIterator::onParametersSet(
  const std::vector<rclcpp::Parameter> & parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = true;
  std::vector<std::pair<std::atomic<int> *, int>> accepted;
  for (const rclcpp::Parameter & parameter : parameters) {
    if (parameter.get_type() != rclcpp::ParameterType::PARAMETER_INTEGER) {
      continue;
    }
    const std::string & name = parameter.get_name();
    std::atomic<int> * requested = nullptr;
    if (name == plugin_name_ + ".vx_samples") {
      requested = &requested_vx_samples_;
    } else if (name == plugin_name_ + ".vy_samples") {
      requested = &requested_vy_samples_;
    } else if (name == plugin_name_ + ".vtheta_samples") {
      requested = &requested_vtheta_samples_;
    } else {
      continue;
    }
    if (!isValidSampleCount(parameter.as_int())) {
      result.successful = false;
      result.reason = sampleCountRefusal(name);
      return result;
    }
    accepted.emplace_back(requested, static_cast<int>(parameter.as_int()));
  }
  for (const auto & [requested, count] : accepted) {
    requested->store(count);
  }
  return result;
}

void XYThetaIterator::startNewIteration(
  const nav_2d_msgs::msg::Twist2D & current_velocity, double dt)
{
  vx_samples_ = requested_vx_samples_.load();
  vy_samples_ = requested_vy_samples_.load();
  vtheta_samples_ = requested_vtheta_samples_.load();
  kinematics_ = kinematics_handler_->getKinematics();

  x_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.x, kinematics_.getMinX(), kinematics_.getMaxX(),
    kinematics_.getAccX(), kinematics_.getDecelX(), dt, vx_samples_);
  y_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.y, kinematics_.getMinY(), kinematics_.getMaxY(),
    kinematics_.getAccY(), kinematics_.getDecelY(), dt, vy_samples_);
  th_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.theta, kinematics_.getMinTheta(), kinematics_.getMaxTheta(),
    kinematics_.getAccTheta(), kinematics_.getDecelTheta(), dt, vtheta_samples_);
  if (!isValidVelocity()) {
    iterateToValidVelocity();
  }
}

bool XYThetaIterator::isValidSpeed(double x, double y, double theta)
{
  const double speed_sq = x * x + y * y;
  if (kinematics_.getMaxSpeedXY() > 0.0 && speed_sq > kinematics_.getMaxSpeedXY_SQ() + EPSILON) {
    return false;
  }
  if (speed_sq + EPSILON < kinematics_.getMinSpeedXY_SQ() &&
    std::fabs(theta) + EPSILON < kinematics_.getMinSpeedTheta())
  {
    return false;
  }
  return !(speed_sq == 0.0 && theta == 0.0);
}

bool XYThetaIterator::isValidVelocity()
{
  return isValidSpeed(x_it_->getVelocity(), y_it_->getVelocity(), th_it_->getVelocity());
}

bool XYThetaIterator::hasMoreTwists()
{
  return x_it_ && !x_it_->isFinished();
}

nav_2d_msgs::msg::Twist2D XYThetaIterator::nextTwist()
{
  nav_2d_msgs::msg::Twist2D velocity;
  velocity.x = x_it_->getVelocity();
  velocity.y = y_it_->getVelocity();
  velocity.theta = th_it_->getVelocity();
  iterateToValidVelocity();
  return velocity;
}

void XYThetaIterator::iterateToValidVelocity()
{
  bool valid = false;
  while (!valid && hasMoreTwists()) {
    ++(*th_it_);
    if (th_it_->isFinished()) {
      th_it_->reset();
      ++(*y_it_);
      if (y_it_->isFinished()) {
        y_it_->reset();
        ++(*x_it_);
      }
    }
    valid = hasMoreTwists() && isValidVelocity();
  }
}

}  // namespace dwb_plugins
