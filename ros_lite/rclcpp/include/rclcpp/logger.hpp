#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

#include "rcl/node.h"
#include "rcutils/logging.h"

namespace rclcpp
{

namespace node_interfaces
{
class NodeLogging;
}

class Logger;

// Logger of the given name; an empty name is the root logger.
Logger get_logger(const std::string & name);

// Logger of the node behind the handle; a null handle gives the "rclcpp" logger.
Logger get_node_logger(const rcl_node_t * node);

class Logger
{
public:
  enum class Level
  {
    Unset = RCUTILS_LOG_SEVERITY_UNSET,
    Debug = RCUTILS_LOG_SEVERITY_DEBUG,
    Info = RCUTILS_LOG_SEVERITY_INFO,
    Warn = RCUTILS_LOG_SEVERITY_WARN,
    Error = RCUTILS_LOG_SEVERITY_ERROR,
    Fatal = RCUTILS_LOG_SEVERITY_FATAL,
  };

private:
  friend Logger rclcpp::get_logger(const std::string & name);
  friend ::rclcpp::node_interfaces::NodeLogging;

  // A default-constructed logger has no name and logs nothing.
  Logger()
  : name_(nullptr) {}

  explicit Logger(const std::string & name)
  : name_(new std::string(name)) {}

  std::shared_ptr<const std::string> name_;

public:
  Logger(const Logger &) = default;
  Logger & operator=(const Logger &) = default;

  const char * get_name() const
  {
    if (!name_) {
      return nullptr;
    }
    return name_->c_str();
  }

  // Logger named "<name>.<suffix>".
  Logger get_child(const std::string & suffix);

  // Threshold of this logger (and of descendants that have none of their own).
  void set_level(Level level);
};

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
