#include "dwb_plugins/kinematic_parameters.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "dwb_plugins/one_d_velocity_iterator.hpp"
#include "nav2_costmap_2d/costmap_filters/filter_values.hpp"
#include "nav2_util/node_utils.hpp"

namespace dwb_plugins
{

bool KinematicParameters::isValidSpeed(double x, double y, double theta)
{
  const double vmag_sq = x * x + y * y;
  if (max_speed_xy_ >= 0.0 && vmag_sq > max_speed_xy_sq_ + EPSILON) {
    return false;
  }
  if (min_speed_xy_ >= 0.0 && vmag_sq + EPSILON < min_speed_xy_sq_ &&
    min_speed_theta_ >= 0.0 && std::fabs(theta) + EPSILON < min_speed_theta_)
  {
    return false;
  }
  return !(vmag_sq == 0.0 && theta == 0.0);
}

struct KinematicsHandler::Limit
{
  const char * name;
  double KinematicParameters::* value;
  // The value speed limits scale from, set together with `value`; null when there is none.
  double KinematicParameters::* base;
  // The square a run-time change recomputes, from `squared_from`; null when there is none. Kept
  // as the robots in the field know it: a change of min_speed_theta recomputes the square of
  // max_speed_xy, and a change of max_speed_xy itself recomputes nothing.
  double KinematicParameters::* squared;
  double KinematicParameters::* squared_from;
};

const std::vector<KinematicsHandler::Limit> & KinematicsHandler::limits()
{
  using K = KinematicParameters;
  static const std::vector<Limit> table{
    {"min_vel_x", &K::min_vel_x_, nullptr, nullptr, nullptr},
    {"min_vel_y", &K::min_vel_y_, nullptr, nullptr, nullptr},
    {"max_vel_x", &K::max_vel_x_, &K::base_max_vel_x_, nullptr, nullptr},
    {"max_vel_y", &K::max_vel_y_, &K::base_max_vel_y_, nullptr, nullptr},
    {"max_vel_theta", &K::max_vel_theta_, &K::base_max_vel_theta_, nullptr, nullptr},
    {"min_speed_xy", &K::min_speed_xy_, nullptr, &K::min_speed_xy_sq_, &K::min_speed_xy_},
    {"max_speed_xy", &K::max_speed_xy_, &K::base_max_speed_xy_, nullptr, nullptr},
    {"min_speed_theta", &K::min_speed_theta_, nullptr, &K::max_speed_xy_sq_, &K::max_speed_xy_},
    {"acc_lim_x", &K::acc_lim_x_, nullptr, nullptr, nullptr},
    {"acc_lim_y", &K::acc_lim_y_, nullptr, nullptr, nullptr},
    {"acc_lim_theta", &K::acc_lim_theta_, nullptr, nullptr, nullptr},
    {"decel_lim_x", &K::decel_lim_x_, nullptr, nullptr, nullptr},
    {"decel_lim_y", &K::decel_lim_y_, nullptr, nullptr, nullptr},
    {"decel_lim_theta", &K::decel_lim_theta_, nullptr, nullptr, nullptr},
  };
  return table;
}

const KinematicsHandler::Limit * KinematicsHandler::findLimit(const std::string & name)
{
  for (const Limit & limit : limits()) {
    if (name == limit.name) {
      return &limit;
    }
  }
  return nullptr;
}

KinematicsHandler::KinematicsHandler()
: kinematics_(new KinematicParameters)
{
}

KinematicsHandler::~KinematicsHandler()
{
  delete kinematics_.load();
}

void KinematicsHandler::initialize(
  const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name)
{
  plugin_name_ = plugin_name;

  KinematicParameters kinematics;
  for (const Limit & limit : limits()) {
    const std::string name = plugin_name_ + "." + limit.name;
    nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::ParameterValue(0.0));
    nh->get_parameter(name, kinematics.*limit.value);
    if (limit.base != nullptr) {
      kinematics.*limit.base = kinematics.*limit.value;
    }
  }
  kinematics.min_speed_xy_sq_ = kinematics.min_speed_xy_ * kinematics.min_speed_xy_;
  kinematics.max_speed_xy_sq_ = kinematics.max_speed_xy_ * kinematics.max_speed_xy_;
  update_kinematics(kinematics);

  dyn_params_handler_ = nh->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return dynamicParametersCallback(parameters);
    });
}

rcl_interfaces::msg::SetParametersResult KinematicsHandler::dynamicParametersCallback(
  std::vector<rclcpp::Parameter> parameters)
{
  const std::string prefix = plugin_name_ + ".";
  KinematicParameters kinematics = getKinematics();
  for (const rclcpp::Parameter & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (parameter.get_type() != rclcpp::ParameterType::PARAMETER_DOUBLE ||
      name.compare(0, prefix.size(), prefix) != 0)
    {
      continue;
    }
    const Limit * limit = findLimit(name.substr(prefix.size()));
    if (limit == nullptr) {
      continue;
    }
    kinematics.*limit->value = parameter.as_double();
    if (limit->base != nullptr) {
      kinematics.*limit->base = kinematics.*limit->value;
    }
    if (limit->squared != nullptr) {
      const double root = kinematics.*limit->squared_from;
      kinematics.*limit->squared = root * root;
    }
  }
  update_kinematics(kinematics);

  rcl_interfaces::msg::SetParametersResult result;
  result.successful = true;
  return result;
}

void KinematicsHandler::setSpeedLimit(const double & speed_limit, const bool & percentage)
{
  KinematicParameters kinematics = getKinematics();
  if (speed_limit == nav2_costmap_2d::NO_SPEED_LIMIT) {
    kinematics.max_speed_xy_ = kinematics.base_max_speed_xy_;
    kinematics.max_vel_x_ = kinematics.base_max_vel_x_;
    kinematics.max_vel_y_ = kinematics.base_max_vel_y_;
    kinematics.max_vel_theta_ = kinematics.base_max_vel_theta_;
  } else if (percentage) {
    kinematics.max_speed_xy_ = kinematics.base_max_speed_xy_ * speed_limit / 100.0;
    kinematics.max_vel_x_ = kinematics.base_max_vel_x_ * speed_limit / 100.0;
    kinematics.max_vel_y_ = kinematics.base_max_vel_y_ * speed_limit / 100.0;
    kinematics.max_vel_theta_ = kinematics.base_max_vel_theta_ * speed_limit / 100.0;
  } else if (speed_limit < kinematics.base_max_speed_xy_) {
    // An absolute limit is a cap on the xy speed; the per-axis maxima keep their proportions so
    // that the robot still drives the same curves, only slower.
    const double ratio = speed_limit / kinematics.base_max_speed_xy_;
    kinematics.max_speed_xy_ = speed_limit;
    kinematics.max_vel_x_ = kinematics.base_max_vel_x_ * ratio;
    kinematics.max_vel_y_ = kinematics.base_max_vel_y_ * ratio;
    kinematics.max_vel_theta_ = kinematics.base_max_vel_theta_ * ratio;
  }
  kinematics.max_speed_xy_sq_ = kinematics.max_speed_xy_ * kinematics.max_speed_xy_;
  update_kinematics(kinematics);
}

void KinematicsHandler::update_kinematics(KinematicParameters kinematics)
{
  auto * fresh = new KinematicParameters(kinematics);
  std::lock_guard<std::mutex> lock(snapshot_mutex_);
  delete kinematics_.exchange(fresh);
}

}  // namespace dwb_plugins
