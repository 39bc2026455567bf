#include "dwb_plugins/xy_theta_iterator.hpp"

#include <memory>
#include <string>
#include <utility>

#include "nav2_util/node_utils.hpp"

namespace dwb_plugins
{

void XYThetaIterator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh,
  KinematicsHandler::Ptr kinematics,
  const std::string & plugin_name)
{
  kinematics_handler_ = std::move(kinematics);
  for (auto [suffix, count] : {
      std::pair{".vx_samples", &vx_samples_},
      std::pair{".vy_samples", &vy_samples_},
      std::pair{".vtheta_samples", &vtheta_samples_}})
  {
    const std::string name = plugin_name + suffix;
    nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::ParameterValue(*count));
    nh->get_parameter(name, *count);
  }
}

void XYThetaIterator::startNewIteration(
  const nav_2d_msgs::msg::Twist2D & current_velocity, double dt)
{
  KinematicParameters kinematics = kinematics_handler_->getKinematics();
  x_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.x, kinematics.getMinX(), kinematics.getMaxX(),
    kinematics.getAccX(), kinematics.getDecelX(), dt, vx_samples_);
  y_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.y, kinematics.getMinY(), kinematics.getMaxY(),
    kinematics.getAccY(), kinematics.getDecelY(), dt, vy_samples_);
  th_it_ = std::make_shared<OneDVelocityIterator>(
    current_velocity.theta, kinematics.getMinTheta(), kinematics.getMaxTheta(),
    kinematics.getAccTheta(), kinematics.getDecelTheta(), dt, vtheta_samples_);
  if (!isValidVelocity()) {
    iterateToValidVelocity();
  }
}

bool XYThetaIterator::isValidSpeed(double x, double y, double theta)
{
  return kinematics_handler_->getKinematics().isValidSpeed(x, y, theta);
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
    valid = isValidVelocity();
  }
}

}  // namespace dwb_plugins
