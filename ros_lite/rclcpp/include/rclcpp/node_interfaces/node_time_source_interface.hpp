#ifndef RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeTimeSourceInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimeSourceInterface)

  virtual ~NodeTimeSourceInterface() = default;
};

// Declares the node's `use_sim_time` parameter (bool, default false). There is no /clock
// publisher in process, so ROS time keeps following the system clock; `use_sim_time: true` is
// reported with a warning.
class NodeTimeSource : public NodeTimeSourceInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeTimeSource)

  NodeTimeSource(NodeParametersInterface * node_parameters, NodeLoggingInterface * node_logging);
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_TIME_SOURCE_INTERFACE_HPP_
