#ifndef RCLCPP_LIFECYCLE__STATE_HPP_
#define RCLCPP_LIFECYCLE__STATE_HPP_

#include <cstdint>
#include <string>

#include "rcutils/allocator.h"

namespace rclcpp_lifecycle
{

// A state of the lifecycle state machine: id (lifecycle_msgs::msg::State::PRIMARY_STATE_* or
// TRANSITION_STATE_*) and label ("unconfigured", "configuring", ...).
class State
{
public:
  explicit State(rcutils_allocator_t allocator = rcutils_get_default_allocator());
  State(
    uint8_t id, const std::string & label,
    rcutils_allocator_t allocator = rcutils_get_default_allocator());
  State(const State & rhs);
  virtual ~State();
  State & operator=(const State & rhs);

  uint8_t id() const;
  std::string label() const;

private:
  uint8_t id_;
  std::string label_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__STATE_HPP_
