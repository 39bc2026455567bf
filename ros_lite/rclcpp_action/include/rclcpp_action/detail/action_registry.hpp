#ifndef RCLCPP_ACTION__DETAIL__ACTION_REGISTRY_HPP_
#define RCLCPP_ACTION__DETAIL__ACTION_REGISTRY_HPP_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace rclcpp_action::detail
{

// The process-wide directory of action servers, by fully qualified action name. It stands in
// for graph discovery: a client finds its server here, and only a server of the client's own
// action type counts. A name served twice is answered by the server registered first.
class ActionRegistry
{
public:
  static ActionRegistry & instance();

  // `server` is held weakly; remove() it before it dies so waiting clients see the change.
  void add(const std::string & name, std::type_index type, std::weak_ptr<void> server);
  void remove(const std::string & name, const void * server);

  std::shared_ptr<void> find(const std::string & name, std::type_index type) const;

  // Blocks until a server of `type` is registered under `name` (true), `timeout` passes or
  // `give_up()` turns true (false). A negative timeout waits without limit. give_up is
  // re-checked whenever wakeWaiters() is called.
  bool waitFor(
    const std::string & name, std::type_index type, std::chrono::nanoseconds timeout,
    const std::function<bool()> & give_up);

  void wakeWaiters();

private:
  struct Entry
  {
    std::type_index type;
    std::weak_ptr<void> server;
    const void * address;
  };

  std::shared_ptr<void> findLocked(const std::string & name, std::type_index type) const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::vector<Entry>> servers_;
};

// Typed access: a server registered as an EndpointT is found only as an EndpointT.
template<typename EndpointT>
void addServer(const std::string & name, const std::shared_ptr<EndpointT> & server)
{
  ActionRegistry::instance().add(name, std::type_index(typeid(EndpointT)), std::static_pointer_cast<void>(server));
}

template<typename EndpointT>
void removeServer(const std::string & name, const EndpointT * server)
{
  ActionRegistry::instance().remove(name, static_cast<const void *>(server));
}

template<typename EndpointT>
std::shared_ptr<EndpointT> findServer(const std::string & name)
{
  return std::static_pointer_cast<EndpointT>(
    ActionRegistry::instance().find(name, std::type_index(typeid(EndpointT))));
}

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__ACTION_REGISTRY_HPP_
