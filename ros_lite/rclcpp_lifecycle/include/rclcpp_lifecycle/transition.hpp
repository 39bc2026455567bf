#ifndef RCLCPP_LIFECYCLE__TRANSITION_HPP_
#define RCLCPP_LIFECYCLE__TRANSITION_HPP_

#include <cstdint>
#include <optional>
#include <string>

#include "rclcpp_lifecycle/state.hpp"
#include "rcutils/allocator.h"

namespace rclcpp_lifecycle
{

class Transition
{
public:
  Transition() = delete;
  explicit Transition(
    uint8_t id, const std::string & label = "",
    rcutils_allocator_t allocator = rcutils_get_default_allocator());
  Transition(
    uint8_t id, const std::string & label, State && start, State && goal,
    rcutils_allocator_t allocator = rcutils_get_default_allocator());
  Transition(const Transition & rhs);
  virtual ~Transition();
  Transition & operator=(const Transition & rhs);

  uint8_t id() const;
  std::string label() const;
  // Throw std::runtime_error for a transition made from an id and label only.
  State start_state() const;
  State goal_state() const;

private:
  uint8_t id_;
  std::string label_;
  std::optional<State> start_;
  std::optional<State> goal_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__TRANSITION_HPP_
