#ifndef RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_
#define RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_

#include <cstdint>

#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp_lifecycle/state.hpp"

namespace rclcpp_lifecycle
{
namespace node_interfaces
{

// The transition callbacks of a managed node. Every default returns SUCCESS, on_error included
// (so an error that is not handled brings the node back to unconfigured).
class LifecycleNodeInterface
{
protected:
  LifecycleNodeInterface() {}

public:
  enum class CallbackReturn : uint8_t
  {
    SUCCESS = lifecycle_msgs::msg::Transition::TRANSITION_CALLBACK_SUCCESS,
    FAILURE = lifecycle_msgs::msg::Transition::TRANSITION_CALLBACK_FAILURE,
    ERROR = lifecycle_msgs::msg::Transition::TRANSITION_CALLBACK_ERROR
  };

  virtual CallbackReturn on_configure(const State & previous_state);
  virtual CallbackReturn on_cleanup(const State & previous_state);
  virtual CallbackReturn on_shutdown(const State & previous_state);
  virtual CallbackReturn on_activate(const State & previous_state);
  virtual CallbackReturn on_deactivate(const State & previous_state);
  virtual CallbackReturn on_error(const State & previous_state);

  virtual ~LifecycleNodeInterface() {}
};

}  // namespace node_interfaces
}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__NODE_INTERFACES__LIFECYCLE_NODE_INTERFACE_HPP_
