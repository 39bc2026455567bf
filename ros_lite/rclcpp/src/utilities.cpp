#include "rclcpp/utilities.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/detail/ros_arguments.hpp"

namespace rclcpp
{

namespace
{

// Turns SIGINT/SIGTERM into a shutdown of every context. The handler itself only writes a byte
// to a pipe (async-signal-safe); a thread reading the pipe does the shutdown.
class SignalHandler
{
public:
  static SignalHandler & instance()
  {
    static SignalHandler handler;
    return handler;
  }

  ~SignalHandler()
  {
    uninstall();
  }

  bool install(SignalHandlerOptions options)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (installed_ || options == SignalHandlerOptions::None) {
      return false;
    }
    if (pipe(pipe_fds_) != 0) {
      return false;
    }
    fcntl(pipe_fds_[1], F_SETFL, O_NONBLOCK);
    write_fd_ = pipe_fds_[1];
    struct sigaction action {};
    action.sa_handler = &SignalHandler::on_signal;
    sigemptyset(&action.sa_mask);
    if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt) {
      sigaction(SIGINT, &action, &old_sigint_);
    }
    if (options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigTerm) {
      sigaction(SIGTERM, &action, &old_sigterm_);
    }
    options_ = options;
    installed_ = true;
    thread_ = std::thread([this] {run();});
    return true;
  }

  bool uninstall()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!installed_) {
      return false;
    }
    if (options_ == SignalHandlerOptions::All || options_ == SignalHandlerOptions::SigInt) {
      sigaction(SIGINT, &old_sigint_, nullptr);
    }
    if (options_ == SignalHandlerOptions::All || options_ == SignalHandlerOptions::SigTerm) {
      sigaction(SIGTERM, &old_sigterm_, nullptr);
    }
    const char quit = kQuit;
    while (write(pipe_fds_[1], &quit, 1) < 0 && errno == EINTR) {
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
      // Uninstalled from a shutdown callback run by the handler thread itself.
      thread_.detach();
    } else {
      thread_.join();
    }
    write_fd_ = -1;
    close(pipe_fds_[0]);
    close(pipe_fds_[1]);
    installed_ = false;
    options_ = SignalHandlerOptions::None;
    return true;
  }

  bool installed()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return installed_;
  }

  SignalHandlerOptions options()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return options_;
  }

private:
  static constexpr char kSignal = 's';
  static constexpr char kQuit = 'q';

  static void on_signal(int)
  {
    const int fd = write_fd_.load();
    if (fd >= 0) {
      const char signal_byte = kSignal;
      const ssize_t written = write(fd, &signal_byte, 1);
      (void)written;
    }
  }

  void run()
  {
    const int read_fd = pipe_fds_[0];
    while (true) {
      char byte = 0;
      const ssize_t count = read(read_fd, &byte, 1);
      if (count < 0 && errno == EINTR) {
        continue;
      }
      if (count <= 0 || byte == kQuit) {
        return;
      }
      for (const auto & context : rclcpp::get_contexts()) {
        context->shutdown("signal handler");
      }
    }
  }

  static std::atomic<int> write_fd_;
  std::mutex mutex_;
  bool installed_ = false;
  SignalHandlerOptions options_ = SignalHandlerOptions::None;
  int pipe_fds_[2] = {-1, -1};
  struct sigaction old_sigint_ {};
  struct sigaction old_sigterm_ {};
  std::thread thread_;
};

std::atomic<int> SignalHandler::write_fd_{-1};

rclcpp::Context::SharedPtr or_default(rclcpp::Context::SharedPtr context)
{
  return context ? context : rclcpp::contexts::get_global_default_context();
}

std::vector<std::string> to_vector(int argc, char const * const * argv)
{
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv != nullptr; ++i) {
    arguments.emplace_back(argv[i]);
  }
  return arguments;
}

}  // namespace

void init(
  int argc, char const * const * argv, const InitOptions & init_options,
  SignalHandlerOptions signal_handler_options)
{
  rclcpp::contexts::get_global_default_context()->init(argc, argv, init_options);
  install_signal_handlers(signal_handler_options);
}

bool install_signal_handlers(SignalHandlerOptions signal_handler_options)
{
  return SignalHandler::instance().install(signal_handler_options);
}

bool signal_handlers_installed()
{
  return SignalHandler::instance().installed();
}

SignalHandlerOptions get_current_signal_handler_options()
{
  return SignalHandler::instance().options();
}

bool uninstall_signal_handlers()
{
  return SignalHandler::instance().uninstall();
}

std::vector<std::string> init_and_remove_ros_arguments(
  int argc, char const * const * argv, const InitOptions & init_options)
{
  init(argc, argv, init_options);
  return remove_ros_arguments(argc, argv);
}

std::vector<std::string> remove_ros_arguments(int argc, char const * const * argv)
{
  return detail::remove_ros_arguments(to_vector(argc, argv));
}

bool ok(rclcpp::Context::SharedPtr context)
{
  return or_default(context)->is_valid();
}

bool is_initialized(rclcpp::Context::SharedPtr context)
{
  return ok(context);
}

bool shutdown(rclcpp::Context::SharedPtr context, const std::string & reason)
{
  const auto default_context = rclcpp::contexts::get_global_default_context();
  context = or_default(context);
  const bool result = context->shutdown(reason);
  if (context == default_context) {
    uninstall_signal_handlers();
  }
  return result;
}

void on_shutdown(std::function<void()> callback, rclcpp::Context::SharedPtr context)
{
  or_default(context)->on_shutdown(std::move(callback));
}

bool sleep_for(const std::chrono::nanoseconds & nanoseconds, rclcpp::Context::SharedPtr context)
{
  return or_default(context)->sleep_for(nanoseconds);
}

const char * get_c_string(const char * string_in)
{
  return string_in;
}

const char * get_c_string(const std::string & string_in)
{
  return string_in.c_str();
}

}  // namespace rclcpp
