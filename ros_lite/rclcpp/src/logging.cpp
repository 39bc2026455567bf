#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/logger.hpp"
#include "rcutils/logging.h"

namespace
{

// Logger thresholds. A logger without its own threshold inherits its nearest ancestor's
// ("a.b" from "a"), and the default when none has one.
class LoggingState
{
public:
  static LoggingState & instance()
  {
    static LoggingState state;
    return state;
  }

  int effective_level(const std::string & name)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string current = name;
    while (!current.empty()) {
      const auto it = levels_.find(current);
      if (it != levels_.end() && it->second != RCUTILS_LOG_SEVERITY_UNSET) {
        return it->second;
      }
      const auto dot = current.rfind('.');
      if (dot == std::string::npos) {
        break;
      }
      current.resize(dot);
    }
    return default_level_;
  }

  int level(const std::string & name)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = levels_.find(name);
    return it == levels_.end() ? RCUTILS_LOG_SEVERITY_UNSET : it->second;
  }

  void set_level(const std::string & name, int level)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (name.empty()) {
      default_level_ = level;
    } else {
      levels_[name] = level;
    }
  }

  int default_level()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return default_level_;
  }

  void set_default_level(int level)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    default_level_ = level == RCUTILS_LOG_SEVERITY_UNSET ? RCUTILS_DEFAULT_LOGGER_DEFAULT_LEVEL :
      level;
  }

  // One line per call; lines of concurrent threads never interleave.
  void write(int severity, const char * name, const std::string & message)
  {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    const char * color_start = "";
    const char * color_end = "";
    if (colorized_) {
      color_end = "\033[0m";
      switch (severity) {
        case RCUTILS_LOG_SEVERITY_DEBUG: color_start = "\033[32m"; break;
        case RCUTILS_LOG_SEVERITY_WARN: color_start = "\033[33m"; break;
        case RCUTILS_LOG_SEVERITY_ERROR:
        case RCUTILS_LOG_SEVERITY_FATAL: color_start = "\033[31m"; break;
        default: color_end = ""; break;
      }
    }
    std::lock_guard<std::mutex> lock(output_mutex_);
    std::fprintf(
      stream_, "%s[%s] [%lld.%09lld] [%s]: %s%s\n", color_start, severity_name(severity),
      static_cast<long long>(ns / 1000000000LL), static_cast<long long>(ns % 1000000000LL),
      name, message.c_str(), color_end);
    std::fflush(stream_);
  }

  static const char * severity_name(int severity)
  {
    switch (severity) {
      case RCUTILS_LOG_SEVERITY_DEBUG: return "DEBUG";
      case RCUTILS_LOG_SEVERITY_INFO: return "INFO";
      case RCUTILS_LOG_SEVERITY_WARN: return "WARN";
      case RCUTILS_LOG_SEVERITY_ERROR: return "ERROR";
      case RCUTILS_LOG_SEVERITY_FATAL: return "FATAL";
      default: return "UNSET";
    }
  }

private:
  LoggingState()
  {
    const char * use_stdout = std::getenv("RCUTILS_LOGGING_USE_STDOUT");
    stream_ = (use_stdout != nullptr && std::strcmp(use_stdout, "1") == 0) ? stdout : stderr;
    const char * colorized = std::getenv("RCUTILS_COLORIZED_OUTPUT");
    if (colorized != nullptr && std::strcmp(colorized, "0") == 0) {
      colorized_ = false;
    } else if (colorized != nullptr && std::strcmp(colorized, "1") == 0) {
      colorized_ = true;
    } else {
      colorized_ = isatty(fileno(stream_)) != 0;
    }
  }

  std::mutex mutex_;
  int default_level_ = RCUTILS_DEFAULT_LOGGER_DEFAULT_LEVEL;
  std::map<std::string, int> levels_;
  std::mutex output_mutex_;
  FILE * stream_;
  bool colorized_ = false;
};

}  // namespace

void rcutils_log(
  const rcutils_log_location_t * location, int severity, const char * name,
  const char * format, ...)
{
  (void)location;
  if (name == nullptr || !rcutils_logging_logger_is_enabled_for(name, severity)) {
    return;
  }
  va_list args;
  va_start(args, format);
  va_list args_copy;
  va_copy(args_copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, args_copy);
  va_end(args_copy);
  std::string message;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    message.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  LoggingState::instance().write(severity, name, message);
}

bool rcutils_logging_logger_is_enabled_for(const char * name, int severity)
{
  if (name == nullptr) {
    return false;
  }
  return severity >= LoggingState::instance().effective_level(name);
}

int rcutils_logging_get_logger_effective_level(const char * name)
{
  return LoggingState::instance().effective_level(name == nullptr ? "" : name);
}

int rcutils_logging_get_logger_level(const char * name)
{
  return LoggingState::instance().level(name == nullptr ? "" : name);
}

rcutils_ret_t rcutils_logging_set_logger_level(const char * name, int level)
{
  if (name == nullptr) {
    return RCUTILS_RET_INVALID_ARGUMENT;
  }
  LoggingState::instance().set_level(name, level);
  return RCUTILS_RET_OK;
}

int rcutils_logging_get_default_logger_level()
{
  return LoggingState::instance().default_level();
}

void rcutils_logging_set_default_logger_level(int level)
{
  LoggingState::instance().set_default_level(level);
}

rcutils_ret_t rcutils_logging_severity_level_from_string(
  const char * severity_string, void * allocator, int * severity)
{
  (void)allocator;
  if (severity_string == nullptr || severity == nullptr) {
    return RCUTILS_RET_INVALID_ARGUMENT;
  }
  std::string upper(severity_string);
  std::transform(
    upper.begin(), upper.end(), upper.begin(),
    [](unsigned char c) {return static_cast<char>(std::toupper(c));});
  static const std::map<std::string, int> severities = {
    {"UNSET", RCUTILS_LOG_SEVERITY_UNSET}, {"DEBUG", RCUTILS_LOG_SEVERITY_DEBUG},
    {"INFO", RCUTILS_LOG_SEVERITY_INFO}, {"WARN", RCUTILS_LOG_SEVERITY_WARN},
    {"ERROR", RCUTILS_LOG_SEVERITY_ERROR}, {"FATAL", RCUTILS_LOG_SEVERITY_FATAL}};
  const auto it = severities.find(upper);
  if (it == severities.end()) {
    return RCUTILS_RET_INVALID_ARGUMENT;
  }
  *severity = it->second;
  return RCUTILS_RET_OK;
}

namespace rclcpp
{

Logger get_logger(const std::string & name)
{
  return rclcpp::Logger(name);
}

Logger get_node_logger(const rcl_node_t * node)
{
  if (node == nullptr || node->logger_name == nullptr) {
    return rclcpp::get_logger("rclcpp");
  }
  return rclcpp::get_logger(node->logger_name);
}

Logger Logger::get_child(const std::string & suffix)
{
  if (!name_) {
    return Logger();
  }
  return Logger(*name_ + "." + suffix);
}

void Logger::set_level(Level level)
{
  if (!name_) {
    return;
  }
  rcutils_logging_set_logger_level(name_->c_str(), static_cast<int>(level));
}

}  // namespace rclcpp
