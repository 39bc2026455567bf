#include "velmora_communicator/recording_robot_link.hpp"

#include <algorithm>
#include <utility>

namespace velmora_communicator
{

void RecordingRobotLink::publishVelocity(const geometry_msgs::msg::Twist & command)
{
  RecordedCall call(CallKind::velocity);
  call.velocity = command;
  record(std::move(call));
}

void RecordingRobotLink::publishZeroVelocity()
{
  record(RecordedCall(CallKind::zero_velocity));
}

geometry_msgs::msg::TwistStamped RecordingRobotLink::getOdom()
{
  geometry_msgs::msg::TwistStamped odom;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    odom = odom_;
  }
  record(RecordedCall(CallKind::odometry));
  return odom;
}

geometry_msgs::msg::PoseStamped RecordingRobotLink::getOdomPose()
{
  geometry_msgs::msg::PoseStamped pose;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pose = odom_pose_;
  }
  record(RecordedCall(CallKind::odometry_pose));
  return pose;
}

void RecordingRobotLink::publishExceptionHandle(int error_code)
{
  RecordedCall call(CallKind::error_code);
  call.error_code = error_code;
  record(std::move(call));
}

void RecordingRobotLink::publishRobotEvent(const velmora_protocol::msg::RobotEvent & event)
{
  RecordedCall call(CallKind::robot_event);
  call.event = event;
  record(std::move(call));
}

void RecordingRobotLink::setOdom(const geometry_msgs::msg::TwistStamped & odom)
{
  std::lock_guard<std::mutex> lock(mutex_);
  odom_ = odom;
}

void RecordingRobotLink::setOdomPose(const geometry_msgs::msg::PoseStamped & pose)
{
  std::lock_guard<std::mutex> lock(mutex_);
  odom_pose_ = pose;
}

std::vector<RecordedCall> RecordingRobotLink::calls() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::size_t RecordingRobotLink::count(CallKind kind) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return countLocked(kind);
}

std::vector<geometry_msgs::msg::Twist> RecordingRobotLink::velocities() const
{
  return collect(CallKind::velocity, &RecordedCall::velocity);
}

std::vector<int> RecordingRobotLink::errorCodes() const
{
  return collect(CallKind::error_code, &RecordedCall::error_code);
}

std::vector<velmora_protocol::msg::RobotEvent> RecordingRobotLink::robotEvents() const
{
  return collect(CallKind::robot_event, &RecordedCall::event);
}

bool RecordingRobotLink::waitForCount(
  CallKind kind, std::size_t minimum, std::chrono::milliseconds timeout) const
{
  std::unique_lock<std::mutex> lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] {return countLocked(kind) >= minimum;});
}

void RecordingRobotLink::clear()
{
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void RecordingRobotLink::record(RecordedCall call)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  recorded_.notify_all();
}

std::size_t RecordingRobotLink::countLocked(CallKind kind) const
{
  return static_cast<std::size_t>(std::count_if(
           calls_.begin(), calls_.end(),
           [kind](const RecordedCall & call) {return call.kind == kind;}));
}

}  // namespace velmora_communicator
