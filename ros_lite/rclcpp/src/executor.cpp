#include "rclcpp/executor.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/node.hpp"

namespace rclcpp
{

Executor::SpinningGuard::SpinningGuard(std::atomic_bool & spinning, const char * message)
: spinning_(spinning)
{
  if (spinning_.exchange(true)) {
    throw std::runtime_error(message);
  }
}

Executor::SpinningGuard::~SpinningGuard()
{
  spinning_.store(false);
}

Executor::Executor(const rclcpp::ExecutorOptions & options)
: spinning(false),
  context_(options.context),
  notifier_(std::make_shared<detail::ExecutorNotifier>())
{
  std::weak_ptr<detail::ExecutorNotifier> weak_notifier = notifier_;
  shutdown_callback_handle_ = context_->add_on_shutdown_callback(
    [weak_notifier]() {
      if (auto notifier = weak_notifier.lock()) {
        notifier->notify();
      }
    });
}

Executor::~Executor()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto * entries : {&node_groups_, &manual_groups_}) {
      for (const auto & entry : *entries) {
        if (auto group = entry.group.lock()) {
          disassociate_group(group);
        }
      }
    }
    for (const auto & weak_node : weak_nodes_) {
      if (auto node = weak_node.lock()) {
        node->get_notify_guard_condition().set_on_trigger_callback(nullptr);
        node->get_associated_with_executor_atomic().store(false);
      }
    }
  }
  context_->remove_on_shutdown_callback(shutdown_callback_handle_);
}

void Executor::associate_group(const rclcpp::CallbackGroup::SharedPtr & group)
{
  group->work_queue().set_notifier(notifier_);
}

void Executor::disassociate_group(const rclcpp::CallbackGroup::SharedPtr & group)
{
  group->work_queue().set_notifier(nullptr);
  group->get_associated_with_executor_atomic().store(false);
}

void Executor::add_callback_group(
  rclcpp::CallbackGroup::SharedPtr group_ptr,
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr,
  bool notify)
{
  if (node_ptr && !node_ptr->callback_group_in_node(group_ptr)) {
    throw std::runtime_error("Callback group does not belong to the given node.");
  }
  if (group_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error("Callback group has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    manual_groups_.push_back(GroupEntry{group_ptr, node_ptr});
    associate_group(group_ptr);
  }
  if (notify) {
    notifier_->notify();
  }
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_all_callback_groups()
{
  auto groups = get_manually_added_callback_groups();
  auto from_nodes = get_automatically_added_callback_groups_from_nodes();
  groups.insert(groups.end(), from_nodes.begin(), from_nodes.end());
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr> Executor::get_manually_added_callback_groups()
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : manual_groups_) {
    groups.push_back(entry.group);
  }
  return groups;
}

std::vector<rclcpp::CallbackGroup::WeakPtr>
Executor::get_automatically_added_callback_groups_from_nodes()
{
  std::lock_guard<std::mutex> lock(mutex_);
  refresh_groups_from_nodes();
  std::vector<rclcpp::CallbackGroup::WeakPtr> groups;
  for (const auto & entry : node_groups_) {
    groups.push_back(entry.group);
  }
  return groups;
}

void Executor::remove_callback_group(rclcpp::CallbackGroup::SharedPtr group_ptr, bool notify)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(
      manual_groups_.begin(), manual_groups_.end(),
      [&group_ptr](const GroupEntry & entry) {return entry.group.lock() == group_ptr;});
    if (it == manual_groups_.end()) {
      throw std::runtime_error("Callback group needs to be associated with executor.");
    }
    manual_groups_.erase(it);
    disassociate_group(group_ptr);
  }
  if (notify) {
    notifier_->notify();
  }
}

void Executor::add_node(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  if (node_ptr->get_associated_with_executor_atomic().exchange(true)) {
    throw std::runtime_error(
            std::string("Node '") + node_ptr->get_fully_qualified_name() +
            "' has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    weak_nodes_.push_back(node_ptr);
    refresh_groups_from_nodes();
  }
  // Groups the node creates later are picked up when it triggers this.
  std::weak_ptr<detail::ExecutorNotifier> weak_notifier = notifier_;
  node_ptr->get_notify_guard_condition().set_on_trigger_callback(
    [weak_notifier](size_t) {
      if (auto notifier = weak_notifier.lock()) {
        notifier->notify();
      }
    });
  if (notify) {
    notifier_->notify();
  }
}

void Executor::add_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  add_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::remove_node(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_ptr, bool notify)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(
      weak_nodes_.begin(), weak_nodes_.end(),
      [&node_ptr](const auto & weak_node) {return weak_node.lock() == node_ptr;});
    if (it == weak_nodes_.end()) {
      throw std::runtime_error("Node needs to be associated with this executor.");
    }
    weak_nodes_.erase(it);
    for (auto entry = node_groups_.begin(); entry != node_groups_.end(); ) {
      const auto node = entry->node.lock();
      if (node && node != node_ptr) {
        ++entry;
        continue;
      }
      if (auto group = entry->group.lock()) {
        disassociate_group(group);
      }
      entry = node_groups_.erase(entry);
    }
  }
  node_ptr->get_notify_guard_condition().set_on_trigger_callback(nullptr);
  node_ptr->get_associated_with_executor_atomic().store(false);
  if (notify) {
    notifier_->notify();
  }
}

void Executor::remove_node(std::shared_ptr<rclcpp::Node> node_ptr, bool notify)
{
  remove_node(node_ptr->get_node_base_interface(), notify);
}

void Executor::spin_node_once_nanoseconds(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node,
  std::chrono::nanoseconds timeout)
{
  add_node(node, false);
  try {
    spin_once(timeout);
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::spin_node_some(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node)
{
  add_node(node, false);
  try {
    spin_some();
  } catch (...) {
    remove_node(node, false);
    throw;
  }
  remove_node(node, false);
}

void Executor::spin_node_some(std::shared_ptr<rclcpp::Node> node)
{
  spin_node_some(node->get_node_base_interface());
}

void Executor::spin_some(std::chrono::nanoseconds max_duration)
{
  SpinningGuard guard(spinning, "spin_some() called while already spinning");
  const auto start = std::chrono::steady_clock::now();
  // Only what was queued before this call runs; work posted meanwhile waits for the next spin.
  const uint64_t sequence_limit = detail::WorkQueue::next_sequence();
  std::set<const rclcpp::TimerBase *> executed_timers;
  while (rclcpp::ok(context_) && spinning.load()) {
    if (max_duration > std::chrono::nanoseconds::zero() &&
      std::chrono::steady_clock::now() - start >= max_duration)
    {
      break;
    }
    AnyExecutable any_executable;
    if (!get_next_executable(any_executable, sequence_limit, &executed_timers)) {
      break;
    }
    if (any_executable.timer) {
      executed_timers.insert(any_executable.timer.get());
    }
    execute_any_executable(any_executable);
  }
}

void Executor::spin_all(std::chrono::nanoseconds max_duration)
{
  if (max_duration <= std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("max_duration must be positive");
  }
  SpinningGuard guard(spinning, "spin_all() called while already spinning");
  const auto start = std::chrono::steady_clock::now();
  while (rclcpp::ok(context_) && spinning.load() &&
    std::chrono::steady_clock::now() - start < max_duration)
  {
    AnyExecutable any_executable;
    if (!get_next_executable(any_executable)) {
      break;
    }
    execute_any_executable(any_executable);
  }
}

void Executor::spin_once(std::chrono::nanoseconds timeout)
{
  SpinningGuard guard(spinning, "spin_once() called while already spinning");
  spin_once_impl(timeout);
}

void Executor::spin_once_impl(std::chrono::nanoseconds timeout)
{
  AnyExecutable any_executable;
  if (wait_for_executable(any_executable, timeout)) {
    execute_any_executable(any_executable);
  }
}

void Executor::cancel()
{
  spinning.store(false);
  notifier_->notify();
}

bool Executor::is_spinning()
{
  return spinning.load();
}

void Executor::refresh_groups_from_nodes()
{
  weak_nodes_.erase(
    std::remove_if(
      weak_nodes_.begin(), weak_nodes_.end(),
      [](const auto & weak_node) {return weak_node.expired();}),
    weak_nodes_.end());
  for (auto * entries : {&node_groups_, &manual_groups_}) {
    entries->erase(
      std::remove_if(
        entries->begin(), entries->end(),
        [](const GroupEntry & entry) {return entry.group.expired();}),
      entries->end());
  }
  for (const auto & weak_node : weak_nodes_) {
    const auto node = weak_node.lock();
    if (!node) {
      continue;
    }
    node->for_each_callback_group(
      [this, &node](rclcpp::CallbackGroup::SharedPtr group) {
        if (group->automatically_add_to_executor_with_node() &&
        !group->get_associated_with_executor_atomic().exchange(true))
        {
          node_groups_.push_back(GroupEntry{group, node});
          associate_group(group);
        }
      });
  }
}

std::vector<rclcpp::CallbackGroup::SharedPtr> Executor::live_groups()
{
  refresh_groups_from_nodes();
  std::vector<rclcpp::CallbackGroup::SharedPtr> groups;
  for (const auto * entries : {&node_groups_, &manual_groups_}) {
    for (const auto & entry : *entries) {
      if (auto group = entry.group.lock()) {
        groups.push_back(group);
      }
    }
  }
  return groups;
}

namespace
{

bool can_take_from(const rclcpp::CallbackGroup::SharedPtr & group)
{
  return group->type() != rclcpp::CallbackGroupType::MutuallyExclusive ||
         group->can_be_taken_from().load();
}

}  // namespace

bool Executor::get_next_executable(
  AnyExecutable & any_executable, uint64_t sequence_limit,
  const std::set<const rclcpp::TimerBase *> * skip_timers)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto groups = live_groups();
  for (const auto & group : groups) {
    if (!can_take_from(group)) {
      continue;
    }
    for (const auto & timer : group->get_timers()) {
      if (skip_timers != nullptr && skip_timers->count(timer.get()) != 0) {
        continue;
      }
      if (timer->call()) {
        any_executable.group = group;
        any_executable.timer = timer;
        if (group->type() == rclcpp::CallbackGroupType::MutuallyExclusive) {
          group->can_be_taken_from().store(false);
        }
        return true;
      }
    }
  }
  rclcpp::CallbackGroup::SharedPtr oldest_group;
  uint64_t oldest_sequence = sequence_limit;
  for (const auto & group : groups) {
    if (!can_take_from(group)) {
      continue;
    }
    const auto sequence = group->work_queue().front_sequence();
    if (sequence && *sequence < oldest_sequence) {
      oldest_sequence = *sequence;
      oldest_group = group;
    }
  }
  if (!oldest_group) {
    return false;
  }
  auto item = oldest_group->work_queue().take_front(sequence_limit);
  if (!item) {
    return false;
  }
  any_executable.group = oldest_group;
  any_executable.work = std::move(item->work);
  if (oldest_group->type() == rclcpp::CallbackGroupType::MutuallyExclusive) {
    oldest_group->can_be_taken_from().store(false);
  }
  return true;
}

std::chrono::nanoseconds Executor::time_until_next_timer()
{
  std::lock_guard<std::mutex> lock(mutex_);
  auto earliest = std::chrono::nanoseconds::max();
  for (const auto & group : live_groups()) {
    if (!can_take_from(group)) {
      continue;
    }
    for (const auto & timer : group->get_timers()) {
      earliest = std::min(earliest, timer->time_until_trigger());
    }
  }
  return earliest;
}

bool Executor::wait_for_executable(
  AnyExecutable & any_executable, std::chrono::nanoseconds timeout)
{
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto deadline = timeout < std::chrono::nanoseconds::zero() ?
    Clock::time_point::max() : start + timeout;
  while (true) {
    const uint64_t seen = notifier_->generation();
    if (get_next_executable(any_executable)) {
      return true;
    }
    if (!spinning.load() || !rclcpp::ok(context_)) {
      return false;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      return false;
    }
    auto wake = deadline;
    const auto next_timer = time_until_next_timer();
    if (next_timer < std::chrono::nanoseconds::max() &&
      next_timer < std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now))
    {
      wake = now + std::max(next_timer, std::chrono::nanoseconds::zero());
    }
    notifier_->wait(seen, wake);
  }
}

void Executor::execute_any_executable(AnyExecutable & any_executable)
{
  // Frees a mutually exclusive group again (even when the callback throws) and lets other
  // threads waiting for it look again.
  struct GroupRelease
  {
    const rclcpp::CallbackGroup::SharedPtr & group;
    detail::ExecutorNotifier & notifier;
    ~GroupRelease()
    {
      if (group->type() == rclcpp::CallbackGroupType::MutuallyExclusive) {
        group->can_be_taken_from().store(true);
        notifier.notify();
      }
    }
  } release{any_executable.group, *notifier_};
  if (any_executable.timer) {
    any_executable.timer->execute_callback();
  } else {
    any_executable.work();
  }
}

}  // namespace rclcpp
