#include "rclcpp_lifecycle/transition.hpp"

#include <stdexcept>
#include <string>
#include <utility>

namespace rclcpp_lifecycle
{

Transition::Transition(uint8_t id, const std::string & label, rcutils_allocator_t allocator)
: id_(id), label_(label)
{
  (void)allocator;
}

Transition::Transition(
  uint8_t id, const std::string & label, State && start, State && goal,
  rcutils_allocator_t allocator)
: id_(id), label_(label), start_(std::move(start)), goal_(std::move(goal))
{
  (void)allocator;
}

Transition::Transition(const Transition & rhs) = default;

Transition::~Transition() = default;

Transition & Transition::operator=(const Transition & rhs) = default;

uint8_t Transition::id() const
{
  return id_;
}

std::string Transition::label() const
{
  return label_;
}

State Transition::start_state() const
{
  if (!start_) {
    throw std::runtime_error("transition has no start state");
  }
  return *start_;
}

State Transition::goal_state() const
{
  if (!goal_) {
    throw std::runtime_error("transition has no goal state");
  }
  return *goal_;
}

}  // namespace rclcpp_lifecycle
