#ifndef TF2_ROS__BUFFER_H_
#define TF2_ROS__BUFFER_H_

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2_ros/async_buffer_interface.h"
#include "tf2_ros/buffer_interface.h"
#include "tf2_ros/create_timer_interface.h"

namespace tf2_ros
{

// A BufferCore whose lookups can wait (polling every 10 ms on the buffer's clock) for data
// that another thread - usually a TransformListener - is still delivering.
//
// Waiting only makes sense with such a thread: every timeout-taking canTransform returns false
// and logs an error while isUsingDedicatedThread() is false; timeout-taking lookupTransform
// then still answers from the data at hand (and logs the same error).
class Buffer : public BufferInterface, public AsyncBufferInterface, public tf2::BufferCore
{
public:
  using tf2::BufferCore::lookupTransform;
  using tf2::BufferCore::canTransform;
  using SharedPtr = std::shared_ptr<tf2_ros::Buffer>;

  Buffer(
    rclcpp::Clock::SharedPtr clock,
    tf2::Duration cache_time = tf2::Duration(tf2::BUFFER_CORE_DEFAULT_CACHE_TIME),
    rclcpp::Node::SharedPtr node = rclcpp::Node::SharedPtr());

  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration timeout) const override;

  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const
  {
    return lookupTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout));
  }

  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout) const override;

  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const rclcpp::Time & target_time,
    const std::string & source_frame, const rclcpp::Time & source_time,
    const std::string & fixed_frame,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const
  {
    return lookupTransform(
      target_frame, fromRclcpp(target_time), source_frame, fromRclcpp(source_time), fixed_frame,
      fromRclcpp(timeout));
  }

  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & target_time, const tf2::Duration timeout,
    std::string * errstr = NULL) const override;

  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
    std::string * errstr = NULL) const
  {
    return canTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), errstr);
  }

  bool canTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout,
    std::string * errstr = NULL) const override;

  bool canTransform(
    const std::string & target_frame, const rclcpp::Time & target_time,
    const std::string & source_frame, const rclcpp::Time & source_time,
    const std::string & fixed_frame,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
    std::string * errstr = NULL) const
  {
    return canTransform(
      target_frame, fromRclcpp(target_time), source_frame, fromRclcpp(source_time), fixed_frame,
      fromRclcpp(timeout), errstr);
  }

  // Resolves once target <- source is available at `time`, or fails with
  // tf2::TimeoutException after `timeout`; `callback` runs with the future either way.
  // Needs a timer interface (setCreateTimerInterface), else CreateTimerInterfaceException.
  TransformStampedFuture waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    TransformReadyCallback callback) override;

  TransformStampedFuture waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time, const rclcpp::Duration & timeout,
    TransformReadyCallback callback)
  {
    return waitForTransform(
      target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), callback);
  }

  void cancel(const TransformStampedFuture & ts_future) override;

  inline void setCreateTimerInterface(CreateTimerInterface::SharedPtr create_timer_interface)
  {
    timer_interface_ = create_timer_interface;
  }

private:
  using TransformPromise = std::promise<geometry_msgs::msg::TransformStamped>;

  void timerCallback(
    const TimerHandle & timer_handle, std::shared_ptr<TransformPromise> promise,
    TransformStampedFuture future, TransformReadyCallback callback);
  // Resolves `promise` with the lookup, or with the lookup's error.
  void fulfil(
    TransformPromise & promise, const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time) const;
  // Removes and returns true for the timer guarding `request`; false if it already fired.
  bool claimRequest(tf2::TransformableRequestHandle request);
  bool checkAndErrorDedicatedThreadPresent(std::string * errstr) const;
  rclcpp::Logger getLogger() const;

  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Node::SharedPtr node_;
  CreateTimerInterface::SharedPtr timer_interface_;
  std::unordered_map<TimerHandle, tf2::TransformableRequestHandle> timer_to_request_map_;
  std::mutex timer_to_request_map_mutex_;
};

static const char threading_error[] = "Do not call canTransform or lookupTransform with a timeout "
  "unless you are using another thread for populating data. Without a dedicated thread it will "
  "always timeout.  If you have a seperate thread servicing tf messages, call "
  "setUsingDedicatedThread(true) on your Buffer instance.";

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_H_
