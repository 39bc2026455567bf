#include "tf2_ros/buffer.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tf2_ros
{

namespace
{

// A wait that ran out says how long it took against how long it was allowed.
void appendTimeoutInfo(
  std::string * errstr, const rclcpp::Time & start_time, const rclcpp::Time & current_time,
  const rclcpp::Duration & timeout)
{
  if (errstr == nullptr || timeout.nanoseconds() == 0) {
    return;
  }
  std::stringstream ss;
  ss << ". canTransform returned after " << (current_time - start_time).seconds() <<
    " timeout was " << timeout.seconds() << ".";
  *errstr += ss.str();
}

}  // namespace

Buffer::Buffer(rclcpp::Clock::SharedPtr clock, tf2::Duration cache_time, rclcpp::Node::SharedPtr node)
: BufferCore(cache_time), clock_(clock), node_(node), timer_interface_(nullptr)
{
  if (nullptr == clock_) {
    throw std::invalid_argument("clock must be a valid instance");
  }
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & lookup_time, const tf2::Duration timeout) const
{
  // The wait's error text is dropped: the lookup below throws with the precise reason.
  std::string error;
  canTransform(target_frame, source_frame, lookup_time, timeout, &error);
  return lookupTransform(target_frame, source_frame, lookup_time);
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame, const tf2::Duration timeout) const
{
  std::string error;
  canTransform(target_frame, target_time, source_frame, source_time, fixed_frame, timeout, &error);
  return lookupTransform(target_frame, target_time, source_frame, source_time, fixed_frame);
}

bool Buffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout, std::string * errstr) const
{
  if (!checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }
  const rclcpp::Duration rclcpp_timeout(timeout);
  const rclcpp::Time start_time = clock_->now();
  while (clock_->now() < start_time + rclcpp_timeout &&
    !canTransform(target_frame, source_frame, time) &&
    rclcpp::ok())
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const bool retval = canTransform(target_frame, source_frame, time, errstr);
  appendTimeoutInfo(errstr, start_time, clock_->now(), rclcpp_timeout);
  return retval;
}

bool Buffer::canTransform(
  const std::string & target_frame, const tf2::TimePoint & target_time,
  const std::string & source_frame, const tf2::TimePoint & source_time,
  const std::string & fixed_frame, const tf2::Duration timeout, std::string * errstr) const
{
  if (!checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }
  const rclcpp::Duration rclcpp_timeout(timeout);
  const rclcpp::Time start_time = clock_->now();
  while (clock_->now() < start_time + rclcpp_timeout &&
    !canTransform(target_frame, target_time, source_frame, source_time, fixed_frame) &&
    rclcpp::ok())
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const bool retval =
    canTransform(target_frame, target_time, source_frame, source_time, fixed_frame, errstr);
  appendTimeoutInfo(errstr, start_time, clock_->now(), rclcpp_timeout);
  return retval;
}

TransformStampedFuture Buffer::waitForTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration & timeout, TransformReadyCallback callback)
{
  if (nullptr == timer_interface_) {
    throw CreateTimerInterfaceException("timer_interface_ is invalid. Can't call waitForTransform");
  }

  auto promise = std::make_shared<TransformPromise>();
  TransformStampedFuture future(promise->get_future());

  auto on_transformable = [this, promise, callback, future](
    tf2::TransformableRequestHandle request_handle, const std::string & target,
    const std::string & source, tf2::TimePoint when, tf2::TransformableResult result) {
      // The timeout timer may have answered first.
      if (!claimRequest(request_handle)) {
        return;
      }
      if (result == tf2::TransformAvailable) {
        fulfil(*promise, target, source, when);
      } else {
        promise->set_exception(
          std::make_exception_ptr(
            tf2::LookupException("Failed to transform from " + source + " to " + target)));
      }
      callback(future);
    };

  // Held while registering so an answer arriving at once finds its timer.
  std::unique_lock<std::mutex> lock(timer_to_request_map_mutex_);
  const tf2::TransformableRequestHandle handle =
    addTransformableRequest(on_transformable, target_frame, source_frame, time);
  future.setHandle(handle);

  if (handle == 0) {
    lock.unlock();
    fulfil(*promise, target_frame, source_frame, time);
    callback(future);
  } else if (handle == 0xffffffffffffffffULL) {
    lock.unlock();
    promise->set_exception(
      std::make_exception_ptr(
        tf2::LookupException(
          "Failed to transform from " + source_frame + " to " + target_frame)));
    callback(future);
  } else {
    const TimerHandle timer_handle = timer_interface_->createTimer(
      clock_, timeout,
      [this, promise, future, callback](const TimerHandle & fired) {
        timerCallback(fired, promise, future, callback);
      });
    timer_to_request_map_[timer_handle] = handle;
  }
  return future;
}

void Buffer::fulfil(
  TransformPromise & promise, const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time) const
{
  try {
    promise.set_value(lookupTransform(target_frame, source_frame, time));
  } catch (const tf2::TransformException &) {
    promise.set_exception(std::current_exception());
  }
}

bool Buffer::claimRequest(tf2::TransformableRequestHandle request)
{
  std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
  const auto it = std::find_if(
    timer_to_request_map_.begin(), timer_to_request_map_.end(),
    [request](const auto & entry) {return entry.second == request;});
  if (it == timer_to_request_map_.end()) {
    return false;
  }
  timer_interface_->remove(it->first);
  timer_to_request_map_.erase(it);
  return true;
}

void Buffer::timerCallback(
  const TimerHandle & timer_handle, std::shared_ptr<TransformPromise> promise,
  TransformStampedFuture future, TransformReadyCallback callback)
{
  tf2::TransformableRequestHandle request_handle = 0;
  {
    std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
    const auto it = timer_to_request_map_.find(timer_handle);
    if (it == timer_to_request_map_.end()) {
      return;  // answered or cancelled meanwhile
    }
    request_handle = it->second;
    timer_to_request_map_.erase(it);
    timer_interface_->remove(timer_handle);
  }
  cancelTransformableRequest(request_handle);
  promise->set_exception(
    std::make_exception_ptr(tf2::TimeoutException("Timed out waiting for transform")));
  callback(future);
}

void Buffer::cancel(const TransformStampedFuture & ts_future)
{
  cancelTransformableRequest(ts_future.getHandle());
  std::lock_guard<std::mutex> lock(timer_to_request_map_mutex_);
  const auto it = std::find_if(
    timer_to_request_map_.begin(), timer_to_request_map_.end(),
    [&ts_future](const auto & entry) {return entry.second == ts_future.getHandle();});
  if (it != timer_to_request_map_.end()) {
    timer_interface_->remove(it->first);
    timer_to_request_map_.erase(it);
  }
}

bool Buffer::checkAndErrorDedicatedThreadPresent(std::string * errstr) const
{
  if (isUsingDedicatedThread()) {
    return true;
  }
  if (errstr) {
    *errstr = threading_error;
  }
  RCLCPP_ERROR(getLogger(), "%s", threading_error);
  return false;
}

rclcpp::Logger Buffer::getLogger() const
{
  return node_ ? node_->get_logger() : rclcpp::get_logger("tf2_buffer");
}

}  // namespace tf2_ros
