#include "rclcpp/waitable.hpp"

namespace rclcpp
{

bool Waitable::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

}  // namespace rclcpp
