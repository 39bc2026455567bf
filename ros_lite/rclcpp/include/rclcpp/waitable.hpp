#ifndef RCLCPP__WAITABLE_HPP_
#define RCLCPP__WAITABLE_HPP_

#include <atomic>

#include "rclcpp/macros.hpp"

namespace rclcpp
{

// Base of entities other than subscriptions and timers that an executor serves (action servers
// and clients). In-process they hand their work to the node's work queue
// (rclcpp/detail/node_work_queue.hpp); the executor only needs to know they belong to a group.
class Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Waitable)

  Waitable() = default;
  Waitable(const Waitable &) = delete;
  Waitable & operator=(const Waitable &) = delete;
  virtual ~Waitable() = default;

  // Marks the waitable as owned by a wait set; returns the previous state.
  bool exchange_in_use_by_wait_set_state(bool in_use_state);

private:
  std::atomic<bool> in_use_by_wait_set_{false};
};

}  // namespace rclcpp

#endif  // RCLCPP__WAITABLE_HPP_
