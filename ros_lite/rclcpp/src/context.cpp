#include "rclcpp/context.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/detail/ros_arguments.hpp"
#include "rcutils/logging.h"

namespace rclcpp
{

namespace
{

// Every live context, for the signal handler (which shuts them all down).
class ContextRegistry
{
public:
  static ContextRegistry & instance()
  {
    static ContextRegistry registry;
    return registry;
  }

  void add(Context * context)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    contexts_.push_back(context);
  }

  void remove(Context * context)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    contexts_.erase(std::remove(contexts_.begin(), contexts_.end(), context), contexts_.end());
  }

  std::vector<Context::SharedPtr> all()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Context::SharedPtr> result;
    for (Context * context : contexts_) {
      if (auto shared = context->weak_from_this().lock()) {
        result.push_back(shared);
      }
    }
    return result;
  }

private:
  std::mutex mutex_;
  std::vector<Context *> contexts_;
};

void apply_log_levels(const detail::RosArguments & arguments)
{
  for (const auto & [name, level] : arguments.log_levels) {
    if (name.empty()) {
      rcutils_logging_set_default_logger_level(static_cast<int>(level));
    } else {
      rcutils_logging_set_logger_level(name.c_str(), static_cast<int>(level));
    }
  }
}

}  // namespace

Context::Context()
: global_arguments_(std::make_shared<detail::RosArguments>())
{
  ContextRegistry::instance().add(this);
}

Context::~Context()
{
  ContextRegistry::instance().remove(this);
  shutdown("context destructor was called while still not shutdown");
}

void Context::init(
  int argc, char const * const * argv, const rclcpp::InitOptions & init_options)
{
  std::lock_guard<std::recursive_mutex> lock(init_mutex_);
  if (valid_) {
    throw rclcpp::ContextAlreadyInitialized();
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv != nullptr; ++i) {
    arguments.emplace_back(argv[i]);
  }
  auto parsed = std::make_shared<detail::RosArguments>(
    detail::parse_ros_arguments(arguments, "failed to initialize rcl"));
  if (init_options.auto_initialize_logging()) {
    apply_log_levels(*parsed);
  }
  global_arguments_ = parsed;
  init_options_ = init_options;
  shutdown_reason_.clear();
  {
    std::lock_guard<std::mutex> interrupt_lock(interrupt_mutex_);
    valid_ = true;
  }
}

bool Context::is_valid() const
{
  return valid_.load();
}

const rclcpp::InitOptions & Context::get_init_options() const
{
  return init_options_;
}

rclcpp::InitOptions Context::get_init_options()
{
  return init_options_;
}

size_t Context::get_domain_id() const
{
  return init_options_.get_domain_id();
}

std::string Context::shutdown_reason() const
{
  std::lock_guard<std::recursive_mutex> lock(init_mutex_);
  return shutdown_reason_;
}

bool Context::shutdown(const std::string & reason)
{
  {
    std::lock_guard<std::recursive_mutex> lock(init_mutex_);
    if (!valid_) {
      return false;
    }
    shutdown_reason_ = reason;
    std::lock_guard<std::mutex> interrupt_lock(interrupt_mutex_);
    valid_ = false;
  }
  for (const auto & callback : get_on_shutdown_callbacks()) {
    callback();
  }
  interrupt_all_sleep_for();
  return true;
}

Context::OnShutdownCallback Context::on_shutdown(OnShutdownCallback callback)
{
  add_on_shutdown_callback(callback);
  return callback;
}

OnShutdownCallbackHandle Context::add_on_shutdown_callback(OnShutdownCallback callback)
{
  auto callback_shared_ptr = std::make_shared<OnShutdownCallback>(std::move(callback));
  {
    std::lock_guard<std::mutex> lock(on_shutdown_callbacks_mutex_);
    on_shutdown_callbacks_.push_back(callback_shared_ptr);
  }
  OnShutdownCallbackHandle callback_handle;
  callback_handle.callback = callback_shared_ptr;
  return callback_handle;
}

bool Context::remove_on_shutdown_callback(const OnShutdownCallbackHandle & callback_handle)
{
  const auto callback_shared_ptr = callback_handle.callback.lock();
  if (callback_shared_ptr == nullptr) {
    return false;
  }
  std::lock_guard<std::mutex> lock(on_shutdown_callbacks_mutex_);
  const auto it =
    std::find(on_shutdown_callbacks_.begin(), on_shutdown_callbacks_.end(), callback_shared_ptr);
  if (it == on_shutdown_callbacks_.end()) {
    return false;
  }
  on_shutdown_callbacks_.erase(it);
  return true;
}

std::vector<Context::OnShutdownCallback> Context::get_on_shutdown_callbacks() const
{
  std::vector<OnShutdownCallback> callbacks;
  std::lock_guard<std::mutex> lock(on_shutdown_callbacks_mutex_);
  for (const auto & callback : on_shutdown_callbacks_) {
    callbacks.push_back(*callback);
  }
  return callbacks;
}

bool Context::sleep_for(const std::chrono::nanoseconds & nanoseconds)
{
  const auto deadline = std::chrono::steady_clock::now() + nanoseconds;
  std::unique_lock<std::mutex> lock(interrupt_mutex_);
  if (!valid_) {
    // Not initialised (or already shut down): nothing can interrupt the sleep.
    lock.unlock();
    std::this_thread::sleep_until(deadline);
    return false;
  }
  interrupt_condition_variable_.wait_until(lock, deadline, [this] {return !valid_.load();});
  return valid_.load();
}

void Context::interrupt_all_sleep_for()
{
  std::lock_guard<std::mutex> lock(interrupt_mutex_);
  interrupt_condition_variable_.notify_all();
}

const detail::RosArguments & Context::get_global_arguments() const
{
  std::lock_guard<std::recursive_mutex> lock(init_mutex_);
  return *global_arguments_;
}

std::vector<Context::SharedPtr> get_contexts()
{
  return ContextRegistry::instance().all();
}

namespace contexts
{

Context::SharedPtr get_global_default_context()
{
  static Context::SharedPtr default_context = std::make_shared<Context>();
  return default_context;
}

}  // namespace contexts

}  // namespace rclcpp
