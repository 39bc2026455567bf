#ifndef VELMORA_COMMUNICATOR__RECORDING_ROBOT_LINK_HPP_
#define VELMORA_COMMUNICATOR__RECORDING_ROBOT_LINK_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "velmora_communicator/robot_link.hpp"

namespace velmora_communicator
{

// One call that reached the link. Only the field belonging to `kind` is meaningful.
struct RecordedCall
{
  explicit RecordedCall(CallKind call_kind)
  : kind(call_kind) {}

  CallKind kind;
  geometry_msgs::msg::Twist velocity;       // CallKind::velocity
  int error_code{0};                        // CallKind::error_code
  velmora_protocol::msg::RobotEvent event;  // CallKind::robot_event
};

// A robot link for tests: keeps every call in arrival order and answers odometry reads with
// values the test sets. Safe to call and inspect from different threads.
class RecordingRobotLink : public RobotLink
{
public:
  void publishVelocity(const geometry_msgs::msg::Twist & command) override;
  void publishZeroVelocity() override;
  geometry_msgs::msg::TwistStamped getOdom() override;
  geometry_msgs::msg::PoseStamped getOdomPose() override;
  void publishExceptionHandle(int error_code) override;
  void publishRobotEvent(const velmora_protocol::msg::RobotEvent & event) override;

  // What the odometry reads answer from now on.
  void setOdom(const geometry_msgs::msg::TwistStamped & odom);
  void setOdomPose(const geometry_msgs::msg::PoseStamped & pose);

  std::vector<RecordedCall> calls() const;
  std::size_t count(CallKind kind) const;
  // The arguments of the calls of one kind, in order.
  std::vector<geometry_msgs::msg::Twist> velocities() const;
  std::vector<int> errorCodes() const;
  std::vector<velmora_protocol::msg::RobotEvent> robotEvents() const;

  // Waits until at least `minimum` calls of `kind` have arrived; false when the timeout passed.
  bool waitForCount(CallKind kind, std::size_t minimum, std::chrono::milliseconds timeout) const;

  void clear();

private:
  void record(RecordedCall call);
  std::size_t countLocked(CallKind kind) const;

  template<typename Field>
  std::vector<Field> collect(CallKind kind, Field RecordedCall::* field) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Field> values;
    for (const RecordedCall & call : calls_) {
      if (call.kind == kind) {
        values.push_back(call.*field);
      }
    }
    return values;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<RecordedCall> calls_;
  geometry_msgs::msg::TwistStamped odom_;
  geometry_msgs::msg::PoseStamped odom_pose_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__RECORDING_ROBOT_LINK_HPP_
