#ifndef RCLCPP__CALLBACK_GROUP_HPP_
#define RCLCPP__CALLBACK_GROUP_HPP_

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/detail/work_queue.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

class SubscriptionBase;
class TimerBase;
class Waitable;

enum class CallbackGroupType
{
  MutuallyExclusive,
  Reentrant
};

// A set of callbacks an executor serves together. Callbacks of a MutuallyExclusive group never
// run concurrently; a Reentrant group's may (with a multi-threaded executor). The group owns the
// queue of work its entities posted.
class CallbackGroup
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(CallbackGroup)

  explicit CallbackGroup(
    CallbackGroupType group_type,
    bool automatically_add_to_executor_with_node = true);
  CallbackGroup(const CallbackGroup &) = delete;
  CallbackGroup & operator=(const CallbackGroup &) = delete;

  const CallbackGroupType & type() const;
  // False while a callback of a MutuallyExclusive group runs.
  std::atomic_bool & can_be_taken_from();
  std::atomic_bool & get_associated_with_executor_atomic();
  bool automatically_add_to_executor_with_node() const;
  // Number of live entities (subscriptions, timers, waitables) in the group.
  size_t size() const;

  // Entity bookkeeping used by the node interfaces; the group keeps weak references only, so an
  // entity lives as long as its owner keeps the shared pointer.
  void add_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> & subscription);
  void add_timer(const std::shared_ptr<rclcpp::TimerBase> & timer);
  void add_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable);
  void remove_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable) noexcept;
  std::vector<std::shared_ptr<rclcpp::TimerBase>> get_timers() const;
  bool has_waitable(const std::shared_ptr<rclcpp::Waitable> & waitable) const;

  // Work posted to this group runs on the executor serving it.
  detail::WorkQueue & work_queue();

private:
  CallbackGroupType type_;
  bool automatically_add_to_executor_with_node_;
  std::atomic_bool can_be_taken_from_{true};
  std::atomic_bool associated_with_executor_{false};

  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<rclcpp::SubscriptionBase>> subscriptions_;
  std::vector<std::weak_ptr<rclcpp::TimerBase>> timers_;
  std::vector<std::weak_ptr<rclcpp::Waitable>> waitables_;

  detail::WorkQueue work_queue_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_HPP_
