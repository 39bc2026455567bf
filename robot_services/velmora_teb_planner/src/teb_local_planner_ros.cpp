#include "teb_local_planner/teb_local_planner_ros.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "collision/footprint_sweep.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav2_util/node_utils.hpp"
#include "rclcpp/parameter_value.hpp"

namespace teb_local_planner
{

namespace
{

// Samples per axis of the dynamic window, besides the pull itself.
constexpr int kSamplesPerAxis = 5;
// Gain from the heading error to the turn rate, 1/s, and from the distance to the look-ahead
// point to the speed, 1/s.
constexpr double kHeadingGain = 1.5;
constexpr double kDistanceGain = 1.5;
// Weight of the turn rate against the translation when candidates are compared.
constexpr double kTurnWeight = 0.3;

double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

double wrapAngle(double angle)
{
  return std::atan2(std::sin(angle), std::cos(angle));
}

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(q.x) && std::isfinite(q.y) &&
         std::isfinite(q.z) && std::isfinite(q.w);
}

std::string metres(double value)
{
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", value);
  return text;
}

// The values in [low, high] a window of half-width `reach` around `current` leaves, sampled.
std::array<double, kSamplesPerAxis> sampleAxis(
  double current, double reach, double low, double high)
{
  double from = std::clamp(current - reach, low, high);
  double to = std::clamp(current + reach, low, high);
  std::array<double, kSamplesPerAxis> samples{};
  for (int i = 0; i < kSamplesPerAxis; ++i) {
    samples[static_cast<std::size_t>(i)] = from + (to - from) * i / (kSamplesPerAxis - 1);
  }
  return samples;
}

}  // namespace

TebLocalPlannerROS::TebLocalPlannerROS()
: speed_cap_(0.0)
{
}

TebLocalPlannerROS::~TebLocalPlannerROS() = default;

std::vector<std::pair<const char *, double TebLocalPlannerROS::Limits::*>>
TebLocalPlannerROS::parameterTable()
{
  return {
    {".max_vel_x", &Limits::max_vel_x},
    {".max_vel_y", &Limits::max_vel_y},
    {".max_vel_x_backwards", &Limits::max_vel_x_backwards},
    {".max_vel_theta", &Limits::max_vel_theta},
    {".acc_lim_x", &Limits::acc_lim_x},
    {".acc_lim_y", &Limits::acc_lim_y},
    {".acc_lim_theta", &Limits::acc_lim_theta},
    {".lookahead_distance", &Limits::lookahead_distance},
    {".sim_time", &Limits::sim_time},
    {".control_period", &Limits::control_period},
    {".max_path_deviation", &Limits::max_path_deviation},
    {".blocked_check_distance", &Limits::blocked_check_distance},
  };
}

void TebLocalPlannerROS::configure(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent, std::string name,
  std::shared_ptr<tf2_ros::Buffer> tf,
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros)
{
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("TebLocalPlannerROS: unable to lock the node");
  }
  if (!costmap_ros) {
    throw std::invalid_argument("TebLocalPlannerROS needs a costmap");
  }
  node_ = parent;
  name_ = std::move(name);
  tf_ = std::move(tf);
  costmap_ros_ = std::move(costmap_ros);

  Limits limits;
  for (const auto & entry : parameterTable()) {
    const std::string parameter = name_ + entry.first;
    nav2_util::declare_parameter_if_not_declared(
      node, parameter, rclcpp::ParameterValue(limits.*entry.second));
    double value = limits.*entry.second;
    node->get_parameter(parameter, value);
    if (!std::isfinite(value) || value < 0.0) {
      throw rclcpp::exceptions::InvalidParameterValueException(
              "parameter '" + parameter + "' must be a finite number at least 0, got " +
              std::to_string(value));
    }
    limits.*entry.second = value;
  }
  {
    std::lock_guard<std::mutex> lock(limits_mutex_);
    limits_ = limits;
  }
  dyn_params_handler_ = node->add_on_set_parameters_callback(
    [this](const std::vector<rclcpp::Parameter> & parameters) {
      return dynamicParametersCallback(parameters);
    });
}

void TebLocalPlannerROS::cleanup()
{
  dyn_params_handler_.reset();
  plan_.clear();
  active_ = false;
}

void TebLocalPlannerROS::activate()
{
  active_ = true;
}

void TebLocalPlannerROS::deactivate()
{
  active_ = false;
}

void TebLocalPlannerROS::setPlan(const nav_msgs::msg::Path & path)
{
  std::vector<PlanPoint> plan;
  for (const auto & stamped : path.poses) {
    if (!isFinite(stamped.pose)) {
      throw nav2_core::PlannerException("TebPlanning: the plan holds a pose that is not finite");
    }
    const double x = stamped.pose.position.x;
    const double y = stamped.pose.position.y;
    const double along =
      plan.empty() ? 0.0 : plan.back().along + std::hypot(x - plan.back().x, y - plan.back().y);
    plan.push_back({x, y, yawOf(stamped.pose.orientation), along});
  }
  plan_ = std::move(plan);
  segment_ = 0;
}

geometry_msgs::msg::TwistStamped TebLocalPlannerROS::computeVelocityCommands(
  const geometry_msgs::msg::PoseStamped & pose, const geometry_msgs::msg::Twist & velocity,
  nav2_core::GoalChecker * goal_checker)
{
  if (!active_) {
    throw nav2_core::PlannerException("TebPlanning: the planner is not active");
  }
  if (plan_.empty()) {
    throw nav2_core::PlannerException("TebPlanning: no plan to follow, the plan is empty");
  }
  if (!isFinite(pose.pose)) {
    throw nav2_core::PlannerException("TebPlanning: the robot pose is not finite");
  }
  geometry_msgs::msg::TwistStamped command;
  command.header.frame_id = costmap_ros_->getBaseFrameID();
  command.header.stamp = pose.header.stamp;

  const PlanPoint & last = plan_.back();
  if (goal_checker) {
    geometry_msgs::msg::Pose goal;
    goal.position.x = last.x;
    goal.position.y = last.y;
    goal.orientation.z = std::sin(last.yaw / 2.0);
    goal.orientation.w = std::cos(last.yaw / 2.0);
    if (goal_checker->isGoalReached(pose.pose, goal, velocity)) {
      return command;
    }
  }

  const Limits limits = currentLimits();
  if (limits.max_vel_x == 0.0 && limits.max_vel_y == 0.0 && limits.max_vel_x_backwards == 0.0) {
    throw nav2_core::PlannerException(
            "TebPlanning: the speed limits are all 0, the robot cannot move towards the goal");
  }
  if (limits.acc_lim_x == 0.0 && limits.acc_lim_y == 0.0 && velocity.linear.x == 0.0 &&
    velocity.linear.y == 0.0)
  {
    throw nav2_core::PlannerException(
            "TebPlanning: the acceleration limits are 0 and the robot stands, it cannot start");
  }

  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  const double yaw = yawOf(pose.pose.orientation);
  const Projection projection = project(x, y, segment_);
  if (projection.distance > limits.max_path_deviation) {
    throw nav2_core::PlannerException(
            "TebPlanning: the robot is " + metres(projection.distance) +
            " m off the path, more than max_path_deviation " +
            metres(limits.max_path_deviation) + " m");
  }
  segment_ = projection.segment;

  nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
  if (costmap == nullptr) {
    throw nav2_core::PlannerException("TebPlanning: the costmap holds no map");
  }
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  checkPathAhead(projection.along, {x, y, yaw}, *costmap);

  // The pull: towards the look-ahead point in the robot frame, as fast as the limits allow and
  // slow enough to stop at the end; turning towards the path's heading there.
  const PlanPoint target = pointAt(projection.along + limits.lookahead_distance);
  const double dx = target.x - x;
  const double dy = target.y - y;
  const double ex = std::cos(yaw) * dx + std::sin(yaw) * dy;
  const double ey = -std::sin(yaw) * dx + std::cos(yaw) * dy;
  const double gap = std::hypot(ex, ey);
  const double to_end = std::hypot(last.x - x, last.y - y);
  const double remaining = std::max(last.along - projection.along, to_end);
  const double acc = std::max(limits.acc_lim_x, limits.acc_lim_y);
  double speed = std::min(kDistanceGain * gap, std::sqrt(2.0 * acc * remaining));
  double pull_x = gap > 0.0 ? speed * ex / gap : 0.0;
  double pull_y = gap > 0.0 ? speed * ey / gap : 0.0;
  // Scaled as a whole, so the direction of the pull survives the limits.
  double scale = 1.0;
  const double x_limit = pull_x >= 0.0 ? limits.max_vel_x : limits.max_vel_x_backwards;
  if (std::fabs(pull_x) > x_limit) {
    scale = std::min(scale, x_limit / std::fabs(pull_x));
  }
  if (std::fabs(pull_y) > limits.max_vel_y) {
    scale = std::min(scale, limits.max_vel_y / std::fabs(pull_y));
  }
  pull_x *= scale;
  pull_y *= scale;
  const double pull_w = std::clamp(
    kHeadingGain * wrapAngle(target.yaw - yaw), -limits.max_vel_theta, limits.max_vel_theta);

  const double period = limits.control_period;
  const auto xs = sampleAxis(
    velocity.linear.x, limits.acc_lim_x * period, -limits.max_vel_x_backwards, limits.max_vel_x);
  const auto ys = sampleAxis(
    velocity.linear.y, limits.acc_lim_y * period, -limits.max_vel_y, limits.max_vel_y);
  const auto ws = sampleAxis(
    velocity.angular.z, limits.acc_lim_theta * period, -limits.max_vel_theta,
    limits.max_vel_theta);

  struct Candidate
  {
    Collision::Velocity2 velocity;
    double cost;
  };
  std::vector<Candidate> candidates;
  candidates.reserve(kSamplesPerAxis * kSamplesPerAxis * kSamplesPerAxis + 1);
  auto add = [&](double vx, double vy, double wz) {
      const double cost = (vx - pull_x) * (vx - pull_x) + (vy - pull_y) * (vy - pull_y) +
        kTurnWeight * (wz - pull_w) * (wz - pull_w);
      candidates.push_back({{vx, vy, wz}, cost});
    };
  // The pull itself, brought into the window.
  add(
    std::clamp(pull_x, xs.front(), xs.back()), std::clamp(pull_y, ys.front(), ys.back()),
    std::clamp(pull_w, ws.front(), ws.back()));
  for (double vx : xs) {
    for (double vy : ys) {
      for (double wz : ws) {
        add(vx, vy, wz);
      }
    }
  }
  std::sort(
    candidates.begin(), candidates.end(),
    [](const Candidate & a, const Candidate & b) {return a.cost < b.cost;});

  Collision::FootprintSweep sweep(*costmap);
  const auto footprint = costmap_ros_->getRobotFootprint();
  for (const auto & candidate : candidates) {
    if (sweep.isFree({x, y, yaw}, candidate.velocity, limits.sim_time, footprint)) {
      command.twist.linear.x = candidate.velocity.vx;
      command.twist.linear.y = candidate.velocity.vy;
      command.twist.angular.z = candidate.velocity.wz;
      return command;
    }
  }
  throw nav2_core::PlannerException(
          "TebPlanning: no collision-free motion within the limits, the robot is boxed in");
}

void TebLocalPlannerROS::setSpeedLimit(const double & speed_limit, const bool & percentage)
{
  std::lock_guard<std::mutex> lock(limits_mutex_);
  speed_cap_ = std::isfinite(speed_limit) && speed_limit > 0.0 ? speed_limit : 0.0;
  speed_cap_is_share_ = percentage;
}

rcl_interfaces::msg::SetParametersResult TebLocalPlannerROS::dynamicParametersCallback(
  std::vector<rclcpp::Parameter> parameters)
{
  rcl_interfaces::msg::SetParametersResult result;
  const auto table = parameterTable();
  std::vector<std::pair<double Limits::*, double>> changes;
  for (const rclcpp::Parameter & parameter : parameters) {
    for (const auto & entry : table) {
      if (parameter.get_name() != name_ + entry.first) {
        continue;
      }
      if (parameter.get_type() != rclcpp::ParameterType::PARAMETER_DOUBLE) {
        result.successful = false;
        result.reason = "parameter '" + parameter.get_name() + "' must be a double";
        return result;
      }
      const double value = parameter.as_double();
      if (!std::isfinite(value) || value < 0.0) {
        result.successful = false;
        result.reason = "parameter '" + parameter.get_name() +
          "' must be a finite number at least 0, got " + std::to_string(value);
        return result;
      }
      changes.emplace_back(entry.second, value);
    }
  }
  std::lock_guard<std::mutex> lock(limits_mutex_);
  for (const auto & change : changes) {
    limits_.*change.first = change.second;
  }
  result.successful = true;
  return result;
}

TebLocalPlannerROS::Limits TebLocalPlannerROS::currentLimits() const
{
  std::lock_guard<std::mutex> lock(limits_mutex_);
  Limits limits = limits_;
  if (speed_cap_ > 0.0) {
    for (double Limits::* speed :
      {&Limits::max_vel_x, &Limits::max_vel_y, &Limits::max_vel_x_backwards})
    {
      const double cap = speed_cap_is_share_ ? limits.*speed * speed_cap_ / 100.0 : speed_cap_;
      limits.*speed = std::min(limits.*speed, cap);
    }
  }
  return limits;
}

TebLocalPlannerROS::Projection TebLocalPlannerROS::project(
  double x, double y, std::size_t from) const
{
  if (plan_.size() == 1) {
    return {0, 0.0, std::hypot(plan_[0].x - x, plan_[0].y - y)};
  }
  Projection best{from, plan_[from].along, std::numeric_limits<double>::infinity()};
  for (std::size_t i = from; i + 1 < plan_.size(); ++i) {
    const PlanPoint & a = plan_[i];
    const PlanPoint & b = plan_[i + 1];
    const double length = b.along - a.along;
    double t = 0.0;
    if (length > 0.0) {
      t = std::clamp(
        ((x - a.x) * (b.x - a.x) + (y - a.y) * (b.y - a.y)) / (length * length), 0.0, 1.0);
    }
    const double distance = std::hypot(a.x + t * (b.x - a.x) - x, a.y + t * (b.y - a.y) - y);
    if (distance < best.distance) {
      best = {i, a.along + t * length, distance};
    }
  }
  return best;
}

TebLocalPlannerROS::PlanPoint TebLocalPlannerROS::pointAt(double along) const
{
  if (along >= plan_.back().along) {
    return plan_.back();
  }
  const auto next = std::upper_bound(
    plan_.begin(), plan_.end(), along,
    [](double value, const PlanPoint & point) {return value < point.along;});
  const PlanPoint & b = *next;
  const PlanPoint & a = *(next - 1);
  const double length = b.along - a.along;
  const double t = length > 0.0 ? (along - a.along) / length : 0.0;
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), b.yaw, along};
}

void TebLocalPlannerROS::checkPathAhead(
  double along, const Collision::Pose2 & robot, nav2_costmap_2d::Costmap2D & costmap) const
{
  const double until = along + currentLimits().blocked_check_distance;
  const double step = std::max(costmap.getResolution(), 0.01);
  std::vector<PlanPoint> ahead;
  std::vector<Collision::Pose2> poses;
  for (double s = along; ; s += step) {
    const PlanPoint point = pointAt(std::min(s, until));
    ahead.push_back(point);
    poses.push_back({point.x, point.y, point.yaw});
    if (s >= until || point.along >= plan_.back().along) {
      break;
    }
  }
  Collision::FootprintSweep sweep(costmap);
  const std::size_t blocked = sweep.firstBlocked(robot, poses, costmap_ros_->getRobotFootprint());
  if (blocked < ahead.size()) {
    const PlanPoint & point = ahead[blocked];
    throw nav2_core::PlannerException(
            "TebPlanning: the path is blocked by an obstacle " + metres(point.along - along) +
            " m ahead, at (" + metres(point.x) + ", " + metres(point.y) + ")");
  }
}

}  // namespace teb_local_planner
