#include "tf2_ros/transform_listener.h"

#include <chrono>
#include <sstream>

namespace tf2_ros
{

namespace
{

rclcpp::NodeOptions listenerNodeOptions()
{
  rclcpp::NodeOptions options;
  // A private helper node: no parameter services, and untouched by global remaps and overrides.
  options.use_global_arguments(false);
  options.start_parameter_services(false);
  options.start_parameter_event_publisher(false);
  return options;
}

std::string listenerNodeName(const void * listener)
{
  std::stringstream name;
  name << "transform_listener_impl_" << std::hex << reinterpret_cast<size_t>(listener);
  return name.str();
}

}  // namespace

TransformListener::TransformListener(tf2::BufferCore & buffer, bool spin_thread)
: buffer_(buffer)
{
  optional_default_node_ =
    rclcpp::Node::make_shared(listenerNodeName(this), listenerNodeOptions());
  init(
    optional_default_node_, spin_thread, DynamicListenerQoS(), StaticListenerQoS(),
    rclcpp::SubscriptionOptionsWithAllocator<std::allocator<void>>(),
    rclcpp::SubscriptionOptionsWithAllocator<std::allocator<void>>());
}

TransformListener::~TransformListener()
{
  if (dedicated_listener_thread_.joinable()) {
    // cancel() only stops a spin already running; repeat until the thread has been through it.
    while (!listener_thread_done_) {
      executor_->cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    dedicated_listener_thread_.join();
    executor_->remove_callback_group(callback_group_);
  }
}

void TransformListener::startSpinning()
{
  dedicated_listener_thread_ = std::thread(
    [this]() {
      executor_->spin();
      listener_thread_done_ = true;
    });
}

void TransformListener::subscription_callback(
  tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static)
{
  // The publisher of a message is not known here.
  const std::string authority = "Authority undetectable";
  for (const auto & transform : msg->transforms) {
    try {
      buffer_.setTransform(transform, authority, is_static);
    } catch (const tf2::TransformException & ex) {
      RCLCPP_ERROR(
        *logger_, "Failure to set received transform from %s to %s with error: %s\n",
        transform.child_frame_id.c_str(), transform.header.frame_id.c_str(), ex.what());
    }
  }
}

}  // namespace tf2_ros
