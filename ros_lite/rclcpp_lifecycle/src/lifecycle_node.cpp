#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lifecycle_state_machine.hpp"

namespace rclcpp_lifecycle
{

namespace
{
using StateMsg = lifecycle_msgs::msg::State;
using TransitionMsg = lifecycle_msgs::msg::Transition;
}  // namespace

using CallbackReturn = node_interfaces::LifecycleNodeInterface::CallbackReturn;

LifecycleNode::LifecycleNode(
  const std::string & node_name,
  const rclcpp::NodeOptions & options,
  bool enable_communication_interface)
: LifecycleNode(node_name, "", options, enable_communication_interface)
{}

LifecycleNode::LifecycleNode(
  const std::string & node_name,
  const std::string & namespace_,
  const rclcpp::NodeOptions & options,
  bool enable_communication_interface)
: rclcpp::detail::NodeCommon(node_name, namespace_, options),
  impl_(std::make_unique<LifecycleStateMachine>(get_logger()))
{
  // No lifecycle services exist in process; the transitions are driven through this API only.
  (void)enable_communication_interface;
  using std::placeholders::_1;
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_CONFIGURING, std::bind(&LifecycleNode::on_configure, this, _1));
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_CLEANINGUP, std::bind(&LifecycleNode::on_cleanup, this, _1));
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_SHUTTINGDOWN, std::bind(&LifecycleNode::on_shutdown, this, _1));
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_ACTIVATING, std::bind(&LifecycleNode::on_activate, this, _1));
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_DEACTIVATING, std::bind(&LifecycleNode::on_deactivate, this, _1));
  impl_->register_callback(
    StateMsg::TRANSITION_STATE_ERRORPROCESSING, std::bind(&LifecycleNode::on_error, this, _1));
}

LifecycleNode::~LifecycleNode() = default;

const State & LifecycleNode::get_current_state()
{
  return impl_->get_current_state();
}

std::vector<State> LifecycleNode::get_available_states()
{
  return impl_->get_available_states();
}

std::vector<Transition> LifecycleNode::get_available_transitions()
{
  return impl_->get_available_transitions();
}

std::vector<Transition> LifecycleNode::get_transition_graph()
{
  return impl_->get_transition_graph();
}

const State &
LifecycleNode::trigger_transition(const Transition & transition)
{
  return trigger_transition(transition.id());
}

const State &
LifecycleNode::trigger_transition(
  const Transition & transition, CallbackReturn & cb_return_code)
{
  return trigger_transition(transition.id(), cb_return_code);
}

const State & LifecycleNode::trigger_transition(uint8_t transition_id)
{
  CallbackReturn cb_return_code = CallbackReturn::SUCCESS;
  return trigger_transition(transition_id, cb_return_code);
}

const State &
LifecycleNode::trigger_transition(uint8_t transition_id, CallbackReturn & cb_return_code)
{
  impl_->change_state(transition_id, cb_return_code);
  return impl_->get_current_state();
}

const State & LifecycleNode::configure()
{
  return trigger_transition(TransitionMsg::TRANSITION_CONFIGURE);
}

const State & LifecycleNode::configure(CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_CONFIGURE, cb_return_code);
}

const State & LifecycleNode::cleanup()
{
  return trigger_transition(TransitionMsg::TRANSITION_CLEANUP);
}

const State & LifecycleNode::cleanup(CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_CLEANUP, cb_return_code);
}

const State & LifecycleNode::activate()
{
  return trigger_transition(TransitionMsg::TRANSITION_ACTIVATE);
}

const State & LifecycleNode::activate(CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_ACTIVATE, cb_return_code);
}

const State & LifecycleNode::deactivate()
{
  return trigger_transition(TransitionMsg::TRANSITION_DEACTIVATE);
}

const State & LifecycleNode::deactivate(CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_DEACTIVATE, cb_return_code);
}

const State & LifecycleNode::shutdown()
{
  CallbackReturn cb_return_code = CallbackReturn::SUCCESS;
  return shutdown(cb_return_code);
}

const State & LifecycleNode::shutdown(CallbackReturn & cb_return_code)
{
  // Shutdown is found by label: each primary state has its own shutdown transition, and a
  // finalized node has none (then nothing happens).
  uint8_t transition_id = 0;
  if (impl_->find_transition_by_label("shutdown", transition_id)) {
    impl_->change_state(transition_id, cb_return_code);
  }
  return impl_->get_current_state();
}

bool LifecycleNode::register_on_configure(std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_CONFIGURING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_cleanup(std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_CLEANINGUP, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_shutdown(std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_SHUTTINGDOWN, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_activate(std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_ACTIVATING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_deactivate(
  std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_DEACTIVATING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_error(std::function<CallbackReturn(const State &)> fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_ERRORPROCESSING, std::move(fcn));
  return true;
}

CallbackReturn LifecycleNode::on_activate(const State &)
{
  impl_->activate_managed_entities();
  return CallbackReturn::SUCCESS;
}

CallbackReturn LifecycleNode::on_deactivate(const State &)
{
  impl_->deactivate_managed_entities();
  return CallbackReturn::SUCCESS;
}

void LifecycleNode::add_managed_entity(
  std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface> managed_entity)
{
  impl_->add_managed_entity(std::move(managed_entity));
}

void LifecycleNode::add_timer_handle(std::shared_ptr<rclcpp::TimerBase> timer)
{
  // Humble's lifecycle node records timer handles without ever acting on them, so timers keep
  // running across transitions; nothing needs to be kept here.
  (void)timer;
}

}  // namespace rclcpp_lifecycle
