#ifndef TF2_ROS__ASYNC_BUFFER_INTERFACE_H_
#define TF2_ROS__ASYNC_BUFFER_INTERFACE_H_

#include <functional>
#include <future>
#include <string>
#include <utility>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"

namespace tf2_ros
{

// The eventual result of a waitForTransform, remembering the request so it can be cancelled.
class TransformStampedFuture : public std::shared_future<geometry_msgs::msg::TransformStamped>
{
  using BaseType = std::shared_future<geometry_msgs::msg::TransformStamped>;

public:
  TransformStampedFuture() noexcept
  : BaseType() {}
  TransformStampedFuture(BaseType && future) noexcept  // NOLINT: implicit like the base
  : BaseType(std::move(future)) {}
  TransformStampedFuture(const BaseType & future)  // NOLINT
  : BaseType(future) {}
  TransformStampedFuture(std::future<geometry_msgs::msg::TransformStamped> && future) noexcept  // NOLINT
  : BaseType(std::move(future)) {}

  void setHandle(const tf2::TransformableRequestHandle handle) {handle_ = handle;}
  tf2::TransformableRequestHandle getHandle() const noexcept {return handle_;}

private:
  tf2::TransformableRequestHandle handle_{};
};

using TransformReadyCallback = std::function<void (const TransformStampedFuture &)>;

class AsyncBufferInterface
{
public:
  virtual ~AsyncBufferInterface() = default;

  virtual TransformStampedFuture waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    TransformReadyCallback callback) = 0;

  virtual void cancel(const TransformStampedFuture & ts_future) = 0;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__ASYNC_BUFFER_INTERFACE_H_
