#include "dwb_plugins/kinematic_parameters.hpp"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "nav2_util/node_utils.hpp"

namespace dwb_plugins
{

namespace
{
enum class Sign {Any, NonNegative, NonPositive};
}  // namespace

struct KinematicsHandler::Limit
{
  const char * name;
  double KinematicParameters::* value;
  // The value speed limits scale from, set together with `value`; null when there is none.
  double KinematicParameters::* base;
  Sign sign;
  // Kept as the robots in the field know it: only a change of min_speed_theta recomputes the
  // squared maximum xy speed, a change of max_speed_xy itself does not.
  bool refreshes_max_speed_xy_sq;
};

const std::vector<KinematicsHandler::Limit> & KinematicsHandler::limits()
{
  using K = KinematicParameters;
  static const std::vector<Limit> table{
    {"min_vel_x", &K::min_vel_x_, nullptr, Sign::Any, false},
    {"min_vel_y", &K::min_vel_y_, nullptr, Sign::Any, false},
    {"max_vel_x", &K::max_vel_x_, &K::base_max_vel_x_, Sign::NonNegative, false},
    {"max_vel_y", &K::max_vel_y_, &K::base_max_vel_y_, Sign::NonNegative, false},
    {"max_vel_theta", &K::max_vel_theta_, &K::base_max_vel_theta_, Sign::NonNegative, false},
    {"min_speed_xy", &K::min_speed_xy_, nullptr, Sign::NonNegative, false},
    {"max_speed_xy", &K::max_speed_xy_, &K::base_max_speed_xy_, Sign::NonNegative, false},
    {"min_speed_theta", &K::min_speed_theta_, nullptr, Sign::NonNegative, true},
    {"acc_lim_x", &K::acc_lim_x_, nullptr, Sign::NonNegative, false},
    {"acc_lim_y", &K::acc_lim_y_, nullptr, Sign::NonNegative, false},
    {"acc_lim_theta", &K::acc_lim_theta_, nullptr, Sign::NonNegative, false},
    {"decel_lim_x", &K::decel_lim_x_, nullptr, Sign::NonPositive, false},
    {"decel_lim_y", &K::decel_lim_y_, nullptr, Sign::NonPositive, false},
    {"decel_lim_theta", &K::decel_lim_theta_, nullptr, Sign::NonPositive, false},
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

std::string KinematicsHandler::refusalReason(
  const Limit & limit, const std::string & name, double value)
{
  if (!std::isfinite(value)) {
    return "parameter '" + name + "' must be a finite number";
  }
  if (limit.sign == Sign::NonNegative && value < 0.0) {
    return "parameter '" + name + "' must not be negative";
  }
  if (limit.sign == Sign::NonPositive && value > 0.0) {
    return "parameter '" + name + "' is a deceleration and must not be positive";
  }
  return "";
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
  logger_ = nh->get_logger();

  KinematicParameters kinematics;
  for (const Limit & limit : limits()) {
    const std::string name = plugin_name_ + "." + limit.name;
    nav2_util::declare_parameter_if_not_declared(nh, name, rclcpp::ParameterValue(0.0));
    double value = 0.0;
    nh->get_parameter(name, value);
    const std::string reason = refusalReason(limit, name, value);
    if (!reason.empty()) {
      throw std::invalid_argument(reason);
    }
    kinematics.*limit.value = value;
    if (limit.base != nullptr) {
      kinematics.*limit.base = value;
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
  rcl_interfaces::msg::SetParametersResult result;
  result.successful = true;
  const std::string prefix = plugin_name_ + ".";
  KinematicParameters kinematics = getKinematics();
  bool changed = false;
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
    const double value = parameter.as_double();
    const std::string reason = refusalReason(*limit, name, value);
    if (!reason.empty()) {
      result.successful = false;
      result.reason = reason;
      return result;
    }
    kinematics.*limit->value = value;
    if (limit->base != nullptr) {
      kinematics.*limit->base = value;
    }
    if (limit->refreshes_max_speed_xy_sq) {
      kinematics.max_speed_xy_sq_ = kinematics.max_speed_xy_ * kinematics.max_speed_xy_;
    }
    changed = true;
  }
  if (changed) {
    update_kinematics(kinematics);
  }
  return result;
}

void KinematicsHandler::setSpeedLimit(const double & speed_limit, const bool & percentage)
{
  if (!std::isfinite(speed_limit) || speed_limit < 0.0) {
    RCLCPP_WARN(logger_, "Ignoring speed limit %f: not a finite non-negative value", speed_limit);
    return;
  }
  KinematicParameters kinematics = getKinematics();
  if (speed_limit == NO_SPEED_LIMIT) {
    kinematics.max_speed_xy_ = kinematics.base_max_speed_xy_;
    kinematics.max_vel_x_ = kinematics.base_max_vel_x_;
    kinematics.max_vel_y_ = kinematics.base_max_vel_y_;
    kinematics.max_vel_theta_ = kinematics.base_max_vel_theta_;
  } else if (percentage) {
    const double ratio = speed_limit / 100.0;
    kinematics.max_speed_xy_ = kinematics.base_max_speed_xy_ * ratio;
    kinematics.max_vel_x_ = kinematics.base_max_vel_x_ * ratio;
    kinematics.max_vel_y_ = kinematics.base_max_vel_y_ * ratio;
    kinematics.max_vel_theta_ = kinematics.base_max_vel_theta_ * ratio;
  } else if (speed_limit < kinematics.base_max_speed_xy_) {
    // An absolute limit is a cap on the xy speed; the per-axis maxima keep their proportions.
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
