#include "velmora_sim_robot/sim_robot.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "velmora/logger.hpp"

namespace velmora_sim_robot
{

namespace
{

// Beyond this the update period shrinks towards the resolution of a thread wake-up and the
// thread would only burn the processor.
constexpr double kMaxUpdateRate = 1000.0;

SimRobotOptions validated(SimRobotOptions options)
{
  if (!(options.update_rate > 0.0 && options.update_rate <= kMaxUpdateRate)) {
    throw std::invalid_argument("sim robot update rate must be in (0, 1000] Hz");
  }
  const PlanarPose & start = options.start_pose;
  if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(start.yaw)) {
    throw std::invalid_argument("sim robot start pose must be finite");
  }
  options.start_pose.yaw = wrapAngle(start.yaw);
  return options;
}

}  // namespace

SimRobot::SimRobot(rclcpp::Node::SharedPtr node, SimRobotOptions options)
: options_(validated(std::move(options))),
  node_(std::move(node)),
  broadcaster_(node_, options_.odom_topic, options_.frames),
  base_(options_.limits),
  stamp_(node_->now())
{
  broadcaster_.sendOdomInMap(options_.start_pose, stamp_);
  broadcaster_.publish(sampleLocked());
  VLOG_INFO(
    "sim robot at x {:.3f} y {:.3f} yaw {:.3f} in {}, odometry on {}", options_.start_pose.x,
    options_.start_pose.y, options_.start_pose.yaw, options_.frames.map, options_.odom_topic);
}

SimRobot::~SimRobot()
{
  stop();
}

void SimRobot::start()
{
  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  if (worker_.joinable()) {
    throw std::logic_error("sim robot is already running");
  }
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    // Time spent stopped does not count as driving time.
    last_integration_ = SteadyClock::now();
    running_ = true;
  }
  {
    std::lock_guard<std::mutex> lock(worker_mutex_);
    stop_requested_ = false;
  }
  worker_ = std::thread([this] {run();});
  VLOG_INFO("sim robot running at {} Hz", options_.update_rate);
}

void SimRobot::stop()
{
  std::lock_guard<std::mutex> lifecycle(lifecycle_mutex_);
  if (!worker_.joinable()) {
    return;
  }
  {
    std::lock_guard<std::mutex> lock(worker_mutex_);
    stop_requested_ = true;
  }
  worker_wake_.notify_all();
  worker_.join();
  std::lock_guard<std::mutex> lock(state_mutex_);
  running_ = false;
}

bool SimRobot::running() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return running_;
}

void SimRobot::step(double seconds)
{
  update(
    [this, seconds] {
      if (running_) {
        throw std::logic_error("sim robot cannot be stepped while it runs in real time");
      }
      base_.step(seconds);
      stamp_ = node_->now();
    });
}

void SimRobot::publishVelocity(const geometry_msgs::msg::Twist & command)
{
  setCommand(command);
}

void SimRobot::publishZeroVelocity()
{
  setCommand(geometry_msgs::msg::Twist());
}

geometry_msgs::msg::TwistStamped SimRobot::getOdom()
{
  return toTwistStamped(odometry(), options_.frames);
}

geometry_msgs::msg::PoseStamped SimRobot::getOdomPose()
{
  return toPoseStamped(odometry(), options_.frames);
}

void SimRobot::publishExceptionHandle(int error_code)
{
  reports_.recordErrorCode(error_code);
}

void SimRobot::publishRobotEvent(const velmora_protocol::msg::RobotEvent & event)
{
  reports_.recordEvent(event);
}

OdometrySample SimRobot::odometry() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return sampleLocked();
}

PlanarPose SimRobot::mapPose() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return compose(options_.start_pose, base_.pose());
}

BodyTwist SimRobot::command() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return base_.command();
}

std::uint64_t SimRobot::refusedCommands() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return refused_commands_;
}

std::uint64_t SimRobot::updateCount() const
{
  std::lock_guard<std::mutex> lock(state_mutex_);
  return update_count_;
}

bool SimRobot::waitForUpdates(std::uint64_t count, std::chrono::milliseconds timeout) const
{
  std::unique_lock<std::mutex> lock(state_mutex_);
  return updated_.wait_for(lock, timeout, [this, count] {return update_count_ >= count;});
}

void SimRobot::catchUpLocked()
{
  const SteadyClock::time_point now = SteadyClock::now();
  base_.step(std::chrono::duration<double>(now - last_integration_).count());
  last_integration_ = now;
  stamp_ = node_->now();
}

OdometrySample SimRobot::sampleLocked() const
{
  return OdometrySample{base_.pose(), base_.velocity(), stamp_};
}

template<typename Advance>
void SimRobot::update(Advance && advance)
{
  std::lock_guard<std::mutex> updating(update_mutex_);
  OdometrySample sample;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    advance();
    sample = sampleLocked();
  }
  broadcaster_.publish(sample);
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    ++update_count_;
  }
  updated_.notify_all();
}

void SimRobot::setCommand(const geometry_msgs::msg::Twist & command)
{
  bool accepted = false;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (running_) {
      // The old command holds until this moment, not until the next update.
      catchUpLocked();
    }
    // The base sees only the planar components, but a non-finite one anywhere means the sender
    // is broken, so the whole command is refused.
    const bool finite = isFinite(command);
    accepted = base_.setCommand(finite ? toBodyTwist(command) : BodyTwist{}) && finite;
    if (!accepted) {
      ++refused_commands_;
    }
  }
  if (!accepted) {
    VLOG_ERROR(
      "sim robot refused velocity command linear ({}, {}, {}) angular ({}, {}, {}): not a "
      "finite number, stopping", command.linear.x, command.linear.y, command.linear.z,
      command.angular.x, command.angular.y, command.angular.z);
  }
}

void SimRobot::run()
{
  const auto period = std::chrono::duration_cast<SteadyClock::duration>(
    std::chrono::duration<double>(1.0 / options_.update_rate));
  SteadyClock::time_point next = SteadyClock::now();
  std::unique_lock<std::mutex> lock(worker_mutex_);
  while (true) {
    next += period;
    if (worker_wake_.wait_until(lock, next, [this] {return stop_requested_;})) {
      return;
    }
    lock.unlock();
    update([this] {catchUpLocked();});
    lock.lock();
    // After an overrun (a loaded machine, a debugger) keep the rate from now on rather than
    // firing a burst of updates to catch up; the integration covers the gap either way.
    const SteadyClock::time_point now = SteadyClock::now();
    if (now > next + period) {
      next = now;
    }
  }
}

}  // namespace velmora_sim_robot
