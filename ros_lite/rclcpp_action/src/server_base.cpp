#include "rclcpp_action/server.hpp"

#include "rclcpp_action/detail/action_name.hpp"

namespace rclcpp_action
{

namespace detail
{

void bindCallbackGroup(ServerBase & server, const rclcpp::CallbackGroup::SharedPtr & group)
{
  server.callback_target_->setGroup(group);
}

}  // namespace detail

ServerBase::ServerBase(
  const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_base,
  const std::string & name, const rcl_action_server_options_t & options)
: action_name_(detail::resolveActionName(name, node_base->get_namespace(), node_base->get_name())),
  callback_target_(std::make_shared<detail::CallbackTarget>(node_base)),
  options_(options)
{}

ServerBase::~ServerBase() = default;

const std::string & ServerBase::action_name() const
{
  return action_name_;
}

const std::shared_ptr<detail::CallbackTarget> & ServerBase::callback_target() const
{
  return callback_target_;
}

std::chrono::nanoseconds ServerBase::result_timeout() const
{
  return std::chrono::nanoseconds(options_.result_timeout.nanoseconds);
}

size_t ServerBase::max_waiting_result_requests() const
{
  const rmw_qos_profile_t & qos = options_.result_service_qos;
  return qos.history == RMW_QOS_POLICY_HISTORY_KEEP_ALL ? 0 : qos.depth;
}

}  // namespace rclcpp_action
