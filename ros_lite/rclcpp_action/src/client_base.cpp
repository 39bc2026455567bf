#include "rclcpp_action/client.hpp"

#include "rclcpp_action/detail/action_name.hpp"

namespace rclcpp_action
{

namespace detail
{

void bindCallbackGroup(ClientBase & client, const rclcpp::CallbackGroup::SharedPtr & group)
{
  client.callback_target_->setGroup(group);
}

}  // namespace detail

ClientBase::ClientBase(
  const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr & node_base,
  const std::string & action_name, std::type_index server_type)
: action_name_(detail::resolveActionName(action_name, node_base->get_namespace(), node_base->get_name())),
  server_type_(server_type),
  context_(node_base->get_context()),
  callback_target_(std::make_shared<detail::CallbackTarget>(node_base)),
  random_engine_(std::random_device{}())
{}

ClientBase::~ClientBase() = default;

bool ClientBase::action_server_is_ready() const
{
  return detail::ActionRegistry::instance().find(action_name_, server_type_) != nullptr;
}

bool ClientBase::wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout)
{
  auto & registry = detail::ActionRegistry::instance();
  // Shutting the context down ends the wait; the registry is woken so it notices at once.
  const auto wake_on_shutdown = context_->add_on_shutdown_callback([&registry]() {registry.wakeWaiters();});
  const bool found = registry.waitFor(
    action_name_, server_type_, timeout, [this]() {return !context_->is_valid();});
  context_->remove_on_shutdown_callback(wake_on_shutdown);
  return found;
}

GoalUUID ClientBase::generate_goal_id()
{
  std::uniform_int_distribution<int> byte(0, 255);
  GoalUUID goal_id;
  std::lock_guard<std::mutex> lock(random_mutex_);
  for (auto & element : goal_id) {
    element = static_cast<uint8_t>(byte(random_engine_));
  }
  return goal_id;
}

const std::string & ClientBase::action_name() const
{
  return action_name_;
}

const std::shared_ptr<detail::CallbackTarget> & ClientBase::callback_target() const
{
  return callback_target_;
}

}  // namespace rclcpp_action
