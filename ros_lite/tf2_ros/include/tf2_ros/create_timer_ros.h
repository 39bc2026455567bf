#ifndef TF2_ROS__CREATE_TIMER_ROS_H_
#define TF2_ROS__CREATE_TIMER_ROS_H_

#include <mutex>
#include <unordered_map>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_timers_interface.hpp"
#include "rclcpp/timer.hpp"
#include "tf2_ros/create_timer_interface.h"

namespace tf2_ros
{

// Timers on a node, run by whatever executor spins that node.
class CreateTimerROS : public CreateTimerInterface
{
public:
  CreateTimerROS(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
    rclcpp::CallbackGroup::SharedPtr callback_group = nullptr);

  virtual ~CreateTimerROS() = default;

  TimerHandle createTimer(
    rclcpp::Clock::SharedPtr clock, const tf2::Duration & period,
    TimerCallbackType callback) override;
  // Each throws InvalidTimerHandleException for an unknown handle.
  void cancel(const TimerHandle & timer_handle) override;
  void reset(const TimerHandle & timer_handle) override;
  void remove(const TimerHandle & timer_handle) override;

private:
  void cancelNoLock(const TimerHandle & timer_handle);
  void timerCallback(const TimerHandle & timer_handle, TimerCallbackType callback);

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers_;
  TimerHandle next_timer_handle_index_ = 0;
  std::unordered_map<TimerHandle, rclcpp::TimerBase::SharedPtr> timers_map_;
  std::mutex timers_map_mutex_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__CREATE_TIMER_ROS_H_
