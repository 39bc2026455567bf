#ifndef RCLCPP_ACTION__SERVER_HPP_
#define RCLCPP_ACTION__SERVER_HPP_

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "rcl_action/action_server.h"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/waitable.hpp"
#include "rclcpp_action/detail/action_registry.hpp"
#include "rclcpp_action/detail/callback_target.hpp"
#include "rclcpp_action/detail/server_core.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action
{

class ServerBase;

namespace detail
{
// Makes the server's callbacks run in `group` (create_server's group argument).
void bindCallbackGroup(ServerBase & server, const rclcpp::CallbackGroup::SharedPtr & group);
}  // namespace detail

// What every action server has regardless of its action type: its fully qualified name and the
// callback group its callbacks run in.
class ServerBase : public rclcpp::Waitable
{
public:
  ~ServerBase() override;

protected:
  ServerBase(
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_base,
    const std::string & name, const rcl_action_server_options_t & options);

  const std::string & action_name() const;
  const std::shared_ptr<detail::CallbackTarget> & callback_target() const;
  std::chrono::nanoseconds result_timeout() const;
  // Result requests that may wait for one goal; 0 means no limit.
  size_t max_waiting_result_requests() const;

private:
  friend void detail::bindCallbackGroup(ServerBase & server, const rclcpp::CallbackGroup::SharedPtr & group);

  const std::string action_name_;
  const std::shared_ptr<detail::CallbackTarget> callback_target_;
  const rcl_action_server_options_t options_;
};

// An action server. Goal, cancel and accepted callbacks run on the executor spinning the node
// (in the callback group the server was created in); goal handles may be finished from any
// thread. Destroying the server withdraws it: later requests are answered as by a missing
// server, and result requests still waiting are answered with STATUS_UNKNOWN.
template<typename ActionT>
class Server : public ServerBase, public std::enable_shared_from_this<Server<ActionT>>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Server)

  using GoalCallback = std::function<GoalResponse(
        const GoalUUID &, std::shared_ptr<const typename ActionT::Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<ServerGoalHandle<ActionT>>)>;
  using AcceptedCallback = std::function<void (std::shared_ptr<ServerGoalHandle<ActionT>>)>;

  Server(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
    rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
    const std::string & name, const rcl_action_server_options_t & options,
    GoalCallback handle_goal, CancelCallback handle_cancel, AcceptedCallback handle_accepted)
  : ServerBase(node_base, name, options),
    core_(std::make_shared<Core>(
        detail::ServerSettings{callback_target(), node_clock->get_clock(),
          node_logging->get_logger().get_child("rclcpp_action"),
          result_timeout(), max_waiting_result_requests()},
        std::move(handle_goal), std::move(handle_cancel), std::move(handle_accepted)))
  {
    detail::addServer<Endpoint>(action_name(), core_);
  }

  virtual ~Server()
  {
    detail::removeServer<Endpoint>(action_name(), core_.get());
  }

private:
  using Core = detail::ServerCore<ActionT>;
  using Endpoint = detail::ServerEndpoint<ActionT>;

  const std::shared_ptr<Core> core_;
};

}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__SERVER_HPP_
