#ifndef RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_

#include "rclcpp/clock.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeClockInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeClockInterface)

  virtual ~NodeClockInterface() = default;

  virtual rclcpp::Clock::SharedPtr get_clock() = 0;
  virtual rclcpp::Clock::ConstSharedPtr get_clock() const = 0;
};

// The node's ROS-time clock.
class NodeClock : public NodeClockInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeClock)

  NodeClock();

  rclcpp::Clock::SharedPtr get_clock() override;
  rclcpp::Clock::ConstSharedPtr get_clock() const override;

private:
  rclcpp::Clock::SharedPtr clock_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_CLOCK_INTERFACE_HPP_
