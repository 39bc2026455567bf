#include "rclcpp_action/detail/action_registry.hpp"

#include <algorithm>

namespace rclcpp_action::detail
{

ActionRegistry & ActionRegistry::instance()
{
  static ActionRegistry registry;
  return registry;
}

void ActionRegistry::add(const std::string & name, std::type_index type, std::weak_ptr<void> server)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const void * address = server.lock().get();
    servers_[name].push_back(Entry{type, std::move(server), address});
  }
  changed_.notify_all();
}

void ActionRegistry::remove(const std::string & name, const void * server)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = servers_.find(name);
  if (found == servers_.end()) {
    return;
  }
  auto & entries = found->second;
  entries.erase(
    std::remove_if(
      entries.begin(), entries.end(),
      [server](const Entry & entry) {return entry.address == server || entry.server.expired();}),
    entries.end());
  if (entries.empty()) {
    servers_.erase(found);
  }
}

std::shared_ptr<void> ActionRegistry::find(const std::string & name, std::type_index type) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return findLocked(name, type);
}

std::shared_ptr<void> ActionRegistry::findLocked(const std::string & name, std::type_index type) const
{
  const auto found = servers_.find(name);
  if (found == servers_.end()) {
    return nullptr;
  }
  for (const auto & entry : found->second) {
    if (entry.type != type) {
      continue;
    }
    if (auto server = entry.server.lock()) {
      return server;
    }
  }
  return nullptr;
}

bool ActionRegistry::waitFor(
  const std::string & name, std::type_index type, std::chrono::nanoseconds timeout,
  const std::function<bool()> & give_up)
{
  std::unique_lock<std::mutex> lock(mutex_);
  bool found = false;
  const auto ready = [&]() {
      found = findLocked(name, type) != nullptr;
      return found || give_up();
    };
  if (timeout < std::chrono::nanoseconds::zero()) {
    changed_.wait(lock, ready);
  } else {
    changed_.wait_for(lock, timeout, ready);
  }
  return found;
}

void ActionRegistry::wakeWaiters()
{
  {
    // Taking the lock orders this wake-up after a waiter's predicate check, so it is not lost.
    std::lock_guard<std::mutex> lock(mutex_);
  }
  changed_.notify_all();
}

}  // namespace rclcpp_action::detail
