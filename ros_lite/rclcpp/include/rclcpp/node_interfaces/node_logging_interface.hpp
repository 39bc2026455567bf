#ifndef RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_

#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeLoggingInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeLoggingInterface)

  virtual ~NodeLoggingInterface() = default;

  virtual rclcpp::Logger get_logger() const = 0;
  virtual const char * get_logger_name() const = 0;
};

class NodeLogging : public NodeLoggingInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeLogging)

  explicit NodeLogging(NodeBaseInterface * node_base);

  rclcpp::Logger get_logger() const override;
  const char * get_logger_name() const override;

private:
  rclcpp::Logger logger_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_LOGGING_INTERFACE_HPP_
