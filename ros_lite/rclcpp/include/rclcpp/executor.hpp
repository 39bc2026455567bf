#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executor_notifier.hpp"
#include "rclcpp/executor_options.hpp"
#include "rclcpp/future_return_code.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/timer.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

class Node;

// Runs the callbacks of the callback groups it serves (all auto-added groups of its nodes plus
// groups added one by one) on the threads that call its spin functions. It sleeps on a condition
// variable that the groups' work queues, timer changes, cancel() and shutdown notify.
class Executor
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Executor)

  explicit Executor(const rclcpp::ExecutorOptions & options = rclcpp::ExecutorOptions());
  Executor(const Executor &) = delete;
  Executor & operator=(const Executor &) = delete;
  virtual ~Executor();

  virtual void spin() = 0;

  // Throws std::runtime_error if the group is already served by an executor or does not belong
  // to the node.
  virtual void add_callback_group(
    rclcpp::CallbackGroup::SharedPtr group_ptr,
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
    bool notify = true);
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_all_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr> get_manually_added_callback_groups();
  virtual std::vector<rclcpp::CallbackGroup::WeakPtr>
  get_automatically_added_callback_groups_from_nodes();
  // Throws std::runtime_error if the group was not added with add_callback_group.
  virtual void remove_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify = true);

  // Throws std::runtime_error "Node '<fqn>' has already been added to an executor." when the
  // node is served by an executor already.
  virtual void add_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);
  // Throws std::runtime_error if the node was not added to this executor.
  virtual void remove_node(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify = true);
  virtual void remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify = true);

  template<typename RepT = int64_t, typename T = std::milli>
  void spin_node_once(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
    std::chrono::duration<RepT, T> timeout = std::chrono::duration<RepT, T>(-1))
  {
    return spin_node_once_nanoseconds(
      node, std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  template<typename NodeT = rclcpp::Node, typename RepT = int64_t, typename T = std::milli>
  void spin_node_once(
    std::shared_ptr<NodeT> node,
    std::chrono::duration<RepT, T> timeout = std::chrono::duration<RepT, T>(-1))
  {
    return spin_node_once_nanoseconds(
      node->get_node_base_interface(),
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  void spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node);
  void spin_node_some(std::shared_ptr<rclcpp::Node> node);

  // Runs what is ready now (each ready timer once, each queued item once, nothing posted
  // meanwhile), without waiting. A positive max_duration bounds the time spent.
  virtual void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));
  // Runs until nothing is ready or max_duration (> 0) elapsed.
  virtual void spin_all(std::chrono::nanoseconds max_duration);
  // Waits up to `timeout` (negative: forever) for one callback and runs it.
  virtual void spin_once(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  template<typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
  FutureReturnCode spin_until_future_complete(
    const FutureT & future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1))
  {
    if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      return FutureReturnCode::SUCCESS;
    }
    const auto timeout_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    auto end_time = std::chrono::steady_clock::now();
    if (timeout_ns > std::chrono::nanoseconds::zero()) {
      end_time += timeout_ns;
    }
    std::chrono::nanoseconds timeout_left = timeout_ns;
    SpinningGuard guard(spinning, "spin_until_future_complete() called while already spinning");
    while (rclcpp::ok(context_) && spinning.load()) {
      // A future completed by another thread does not wake the executor, so waits are sliced.
      auto slice = future_poll_slice_;
      if (timeout_left >= std::chrono::nanoseconds::zero() && timeout_left < slice) {
        slice = timeout_left;
      }
      spin_once_impl(slice);
      if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        return FutureReturnCode::SUCCESS;
      }
      if (timeout_ns < std::chrono::nanoseconds::zero()) {
        continue;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= end_time) {
        return FutureReturnCode::TIMEOUT;
      }
      timeout_left = std::chrono::duration_cast<std::chrono::nanoseconds>(end_time - now);
    }
    return FutureReturnCode::INTERRUPTED;
  }

  // Makes spin() (and the other spin functions) return soon.
  void cancel();
  bool is_spinning();

protected:
  // Sets the flag for the lifetime of a spin call; throws std::runtime_error(message) if it was
  // already set.
  class SpinningGuard
  {
public:
    SpinningGuard(std::atomic_bool & spinning, const char * message);
    ~SpinningGuard();
    SpinningGuard(const SpinningGuard &) = delete;
    SpinningGuard & operator=(const SpinningGuard &) = delete;

private:
    std::atomic_bool & spinning_;
  };

  // One callback ready to run: a due timer or a queued work item of `group`.
  struct AnyExecutable
  {
    rclcpp::CallbackGroup::SharedPtr group;
    rclcpp::TimerBase::SharedPtr timer;
    std::function<void()> work;
  };

  void spin_node_once_nanoseconds(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
    std::chrono::nanoseconds timeout);
  void spin_once_impl(std::chrono::nanoseconds timeout);
  // Picks the next callback: due timers first, then the oldest queued item whose sequence is
  // below `sequence_limit`. Timers in `skip_timers` are not considered.
  bool get_next_executable(
    AnyExecutable & any_executable, uint64_t sequence_limit = UINT64_MAX,
    const std::set<const rclcpp::TimerBase *> * skip_timers = nullptr);
  // Waits up to `timeout` (negative: forever) for a callback; false on timeout, cancel or
  // shutdown.
  bool wait_for_executable(AnyExecutable & any_executable, std::chrono::nanoseconds timeout);
  void execute_any_executable(AnyExecutable & any_executable);

  std::atomic_bool spinning;
  rclcpp::Context::SharedPtr context_;
  std::shared_ptr<detail::ExecutorNotifier> notifier_;

private:
  struct GroupEntry
  {
    rclcpp::CallbackGroup::WeakPtr group;
    rclcpp::node_interfaces::NodeBaseInterface::WeakPtr node;
  };

  void refresh_groups_from_nodes();
  void associate_group(const rclcpp::CallbackGroup::SharedPtr & group);
  void disassociate_group(const rclcpp::CallbackGroup::SharedPtr & group);
  std::vector<rclcpp::CallbackGroup::SharedPtr> live_groups();
  std::chrono::nanoseconds time_until_next_timer();

  std::chrono::nanoseconds future_poll_slice_{std::chrono::milliseconds(10)};
  std::mutex mutex_;
  std::vector<rclcpp::node_interfaces::NodeBaseInterface::WeakPtr> weak_nodes_;
  std::vector<GroupEntry> node_groups_;
  std::vector<GroupEntry> manual_groups_;
  OnShutdownCallbackHandle shutdown_callback_handle_;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
