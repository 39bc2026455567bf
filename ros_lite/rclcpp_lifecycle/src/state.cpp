#include "rclcpp_lifecycle/state.hpp"

#include <string>

#include "lifecycle_msgs/msg/state.hpp"

namespace rclcpp_lifecycle
{

State::State(rcutils_allocator_t allocator)
: State(lifecycle_msgs::msg::State::PRIMARY_STATE_UNKNOWN, "unknown", allocator)
{}

State::State(uint8_t id, const std::string & label, rcutils_allocator_t allocator)
: id_(id), label_(label)
{
  (void)allocator;
  if (label.empty()) {
    throw std::runtime_error("Lifecycle State cannot have an empty label.");
  }
}

State::State(const State & rhs) = default;

State::~State() = default;

State & State::operator=(const State & rhs) = default;

uint8_t State::id() const
{
  return id_;
}

std::string State::label() const
{
  return label_;
}

}  // namespace rclcpp_lifecycle
