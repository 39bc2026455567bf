#include "teb_local_planner/teb_local_planner_ros.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "collision/footprint_sweep.hpp"
#include "motion_window.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav2_util/node_utils.hpp"
#include "rclcpp/parameter_value.hpp"

namespace teb_local_planner
{

namespace
{

// Gain from the heading error to the turn rate, 1/s, and from the distance to the carrot to the
// speed, 1/s.
constexpr double kHeadingGain = 1.5;
constexpr double kDistanceGain = 1.5;
// A bend is where the path's direction has turned this far (rad) from its direction at the
// robot; bends are looked for this far ahead (m), the direction measured over this base (m).
constexpr double kBendAngle = 0.35;
constexpr double kBendLookahead = 1.5;
constexpr double kDirectionBase = 0.1;
// The speed (m/s) a bend is entered at, and the share of the acceleration limit the robot
// brakes with before it, leaving room for the window's coarse steps.
constexpr double kBendSpeed = 0.15;
constexpr double kBendBraking = 0.5;
// How far (m) the carrot may run past a bend: close enough that the robot does not cut the
// corner into the inner wall, far enough to keep the pull steady.
constexpr double kCarrotPastBend = 0.2;
// Heading errors (rad) up to which the robot drives at full speed, and from which it only turns
// (where turning on the spot is free): a robot facing away from the path turns towards it first.
constexpr double kDriveWhileTurning = 0.5;
constexpr double kTurnFirst = 1.3;
// Speeds below this (m/s, rad/s) are standing still.
constexpr double kStanding = 1e-6;

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

bool isStanding(double vx, double vy, double wz)
{
  return std::fabs(vx) < kStanding && std::fabs(vy) < kStanding && std::fabs(wz) < kStanding;
}

std::string metres(double value)
{
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", value);
  return text;
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

  const Collision::Pose2 robot{x, y, yaw};
  const auto footprint = costmap_ros_->getRobotFootprint();
  Collision::FootprintSweep sweep(*costmap);
  const Pull pull = pullTowardsPath(robot, projection.along, limits, sweep, footprint);

  const double period = limits.control_period;
  const MotionWindow window(
    {velocity.linear.x, limits.acc_lim_x * period, -limits.max_vel_x_backwards, limits.max_vel_x},
    {velocity.linear.y, limits.acc_lim_y * period, -limits.max_vel_y, limits.max_vel_y},
    {velocity.angular.z, limits.acc_lim_theta * period, -limits.max_vel_theta,
      limits.max_vel_theta},
    period);
  const bool wants_to_move = !isStanding(pull.vx, pull.vy, pull.wz);
  const bool stands = isStanding(velocity.linear.x, velocity.linear.y, velocity.angular.z);
  for (const auto & candidate : window.ranked({pull.vx, pull.vy, pull.wz}, yaw)) {
    // Standing on while the path pulls is no way out for a robot that already stands.
    const bool stays = isStanding(candidate.vx, candidate.vy, candidate.wz);
    if (stays && wants_to_move && stands) {
      continue;
    }
    if (sweep.isFree(robot, candidate, limits.sim_time, footprint)) {
      command.twist.linear.x = candidate.vx;
      command.twist.linear.y = candidate.vy;
      command.twist.angular.z = candidate.wz;
      return command;
    }
  }
  throw nav2_core::PlannerException(
          "TebPlanning: no collision-free motion within the limits, the robot is boxed in: "
          "every motion the acceleration limits allow from its velocity (" +
          metres(velocity.linear.x) + ", " + metres(velocity.linear.y) + ", " +
          metres(velocity.angular.z) + ") brings its footprint onto an obstacle within " +
          metres(limits.sim_time) + " s");
}

TebLocalPlannerROS::Pull TebLocalPlannerROS::pullTowardsPath(
  const Collision::Pose2 & robot, double along, const Limits & limits,
  Collision::FootprintSweep & sweep, const std::vector<geometry_msgs::msg::Point> & footprint)
  const
{
  const PlanPoint & last = plan_.back();
  const double acc = std::max(limits.acc_lim_x, limits.acc_lim_y);
  const double to_bend = distanceToBend(along);

  // The carrot: the look-ahead point, held back so that it runs little past a bend.
  const double reach = std::min(limits.lookahead_distance, to_bend + kCarrotPastBend);
  const PlanPoint carrot = pointAt(along + reach);
  const double dx = carrot.x - robot.x;
  const double dy = carrot.y - robot.y;
  const double gap = std::hypot(dx, dy);
  const double remaining =
    std::max(last.along - along, std::hypot(last.x - robot.x, last.y - robot.y));
  double speed = std::min(kDistanceGain * gap, std::sqrt(2.0 * acc * remaining));
  if (std::isfinite(to_bend)) {
    speed = std::min(
      speed, std::sqrt(kBendSpeed * kBendSpeed + 2.0 * kBendBraking * acc * to_bend));
  }
  // As fast as the axis limits allow in that direction, seen from the robot.
  const double c = std::cos(robot.yaw);
  const double s = std::sin(robot.yaw);
  const double ahead = gap > 0.0 ? (c * dx + s * dy) / gap : 0.0;
  const double aside = gap > 0.0 ? (-s * dx + c * dy) / gap : 0.0;
  const double x_limit = ahead >= 0.0 ? limits.max_vel_x : limits.max_vel_x_backwards;
  if (std::fabs(ahead) > 0.0) {
    speed = std::min(speed, x_limit / std::fabs(ahead));
  }
  if (std::fabs(aside) > 0.0) {
    speed = std::min(speed, limits.max_vel_y / std::fabs(aside));
  }

  // The heading is the path's a full look-ahead on, so turns start before the bend; the rate
  // brakes so that the turn ends there.
  const double heading = pointAt(along + limits.lookahead_distance).yaw;
  const double turn = wrapAngle(heading - robot.yaw);
  const double rate = std::min(
    {kHeadingGain * std::fabs(turn), std::sqrt(2.0 * limits.acc_lim_theta * std::fabs(turn)),
      limits.max_vel_theta});
  speed *= driveShareWhileTurning(robot, along, turn, limits, sweep, footprint);
  return {gap > 0.0 ? speed * dx / gap : 0.0, gap > 0.0 ? speed * dy / gap : 0.0,
    std::copysign(rate, turn)};
}

double TebLocalPlannerROS::driveShareWhileTurning(
  const Collision::Pose2 & robot, double along, double turn, const Limits & limits,
  Collision::FootprintSweep & sweep, const std::vector<geometry_msgs::msg::Point> & footprint)
  const
{
  // The smaller of the errors against the path here and ahead: a robot part-way round a bend
  // is not held for the rest of its turn.
  const double here = std::fabs(wrapAngle(pointAt(along).yaw - robot.yaw));
  const double error = std::min(here, std::fabs(turn));
  const double full = std::cos(kDriveWhileTurning);
  const double none = std::cos(kTurnFirst);
  const double share = std::clamp((std::cos(error) - none) / (full - none), 0.0, 1.0);
  if (share >= 1.0 || limits.max_vel_theta <= 0.0) {
    return 1.0;
  }
  // Turning first only where the turn on the spot sweeps nothing; elsewhere it drives on and
  // turns as the window lets it.
  const bool can_turn_on_the_spot = sweep.isFree(
    robot, {0.0, 0.0, std::copysign(limits.max_vel_theta, turn)},
    std::fabs(turn) / limits.max_vel_theta, footprint);
  return can_turn_on_the_spot ? share : 1.0;
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

double TebLocalPlannerROS::directionAt(double along) const
{
  const PlanPoint from = pointAt(along);
  const PlanPoint to = pointAt(along + kDirectionBase);
  return std::atan2(to.y - from.y, to.x - from.x);
}

double TebLocalPlannerROS::distanceToBend(double along) const
{
  const double end = plan_.back().along - kDirectionBase;
  if (along >= end) {
    return std::numeric_limits<double>::infinity();
  }
  const double direction = directionAt(along);
  constexpr double kStep = kDirectionBase / 2.0;
  for (double s = along + kStep; s <= std::min(end, along + kBendLookahead); s += kStep) {
    if (std::fabs(wrapAngle(directionAt(s) - direction)) > kBendAngle) {
      return s - along;
    }
  }
  return std::numeric_limits<double>::infinity();
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
  // The robot drives the path facing the path's heading, or, before it has turned, its own: a
  // place is blocked only when the footprint fits there with neither.
  Collision::FootprintSweep sweep(costmap);
  const auto footprint = costmap_ros_->getRobotFootprint();
  std::size_t blocked = sweep.firstBlocked(robot, poses, footprint);
  for (; blocked < poses.size(); ++blocked) {
    const Collision::Pose2 & place = poses[blocked];
    const bool fits_as_facing =
      sweep.firstBlocked(robot, {{place.x, place.y, place.yaw}}, footprint) > 0 ||
      sweep.firstBlocked(robot, {{place.x, place.y, robot.yaw}}, footprint) > 0;
    if (!fits_as_facing) {
      break;
    }
  }
  if (blocked < ahead.size()) {
    const PlanPoint & point = ahead[blocked];
    throw nav2_core::PlannerException(
            "TebPlanning: the path is blocked by an obstacle " + metres(point.along - along) +
            " m ahead, at (" + metres(point.x) + ", " + metres(point.y) + ")");
  }
}

}  // namespace teb_local_planner
