#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/init_options.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

namespace detail
{
struct RosArguments;
}  // namespace detail

class ContextAlreadyInitialized : public std::runtime_error
{
public:
  ContextAlreadyInitialized()
  : std::runtime_error("context is already initialized") {}
};

class Context;

class OnShutdownCallbackHandle
{
  friend class Context;

public:
  using OnShutdownCallbackType = std::function<void ()>;

private:
  std::weak_ptr<OnShutdownCallbackType> callback;
};

// The init/shutdown cycle of the process's communication. In this in-process implementation a
// context also holds the ROS arguments it was initialised with (the global arguments).
class Context : public std::enable_shared_from_this<Context>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  Context();
  Context(const Context &) = delete;
  Context & operator=(const Context &) = delete;
  virtual ~Context();

  // Parses the ROS arguments (`--ros-args ... [--]`); throws ContextAlreadyInitialized when
  // already valid, UnknownROSArgsError / RCLInvalidROSArgsError for bad arguments.
  virtual void init(
    int argc, char const * const * argv,
    const rclcpp::InitOptions & init_options = rclcpp::InitOptions());

  bool is_valid() const;
  const rclcpp::InitOptions & get_init_options() const;
  rclcpp::InitOptions get_init_options();
  size_t get_domain_id() const;
  std::string shutdown_reason() const;

  // Returns false when not valid; otherwise invalidates, runs the on-shutdown callbacks and
  // interrupts every sleep_for.
  virtual bool shutdown(const std::string & reason);

  using OnShutdownCallback = OnShutdownCallbackHandle::OnShutdownCallbackType;
  virtual OnShutdownCallback on_shutdown(OnShutdownCallback callback);
  virtual OnShutdownCallbackHandle add_on_shutdown_callback(OnShutdownCallback callback);
  virtual bool remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle);
  std::vector<OnShutdownCallback> get_on_shutdown_callbacks() const;

  // Sleeps for the given time unless interrupted; returns false if the context is (or becomes)
  // invalid.
  virtual bool sleep_for(const std::chrono::nanoseconds & nanoseconds);
  virtual void interrupt_all_sleep_for();

  // ROS arguments given to init() (empty before the first init).
  const detail::RosArguments & get_global_arguments() const;

private:
  mutable std::recursive_mutex init_mutex_;
  // Written under both init_mutex_ and interrupt_mutex_, so sleepers cannot miss a shutdown.
  std::atomic_bool valid_{false};
  std::string shutdown_reason_;
  rclcpp::InitOptions init_options_;
  std::shared_ptr<const detail::RosArguments> global_arguments_;

  mutable std::mutex on_shutdown_callbacks_mutex_;
  std::vector<std::shared_ptr<OnShutdownCallback>> on_shutdown_callbacks_;

  std::mutex interrupt_mutex_;
  std::condition_variable interrupt_condition_variable_;
};

std::vector<Context::SharedPtr> get_contexts();

namespace contexts
{
// The context used whenever none is given.
Context::SharedPtr get_global_default_context();
}  // namespace contexts

}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
