#include "lifecycle_state_machine.hpp"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/logging.hpp"

namespace rclcpp_lifecycle
{

namespace
{

using StateMsg = lifecycle_msgs::msg::State;
using TransitionMsg = lifecycle_msgs::msg::Transition;

const char * const kSuccessLabel = "transition_success";
const char * const kFailureLabel = "transition_failure";
const char * const kErrorLabel = "transition_error";

}  // namespace

const std::vector<LifecycleStateMachine::TransitionEntry> & LifecycleStateMachine::transitions()
{
  static const std::vector<TransitionEntry> table = {
    {TransitionMsg::TRANSITION_CONFIGURE, "configure",
      StateMsg::PRIMARY_STATE_UNCONFIGURED, StateMsg::TRANSITION_STATE_CONFIGURING},
    {TransitionMsg::TRANSITION_ON_CONFIGURE_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_CONFIGURING, StateMsg::PRIMARY_STATE_INACTIVE},
    {TransitionMsg::TRANSITION_ON_CONFIGURE_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_CONFIGURING, StateMsg::PRIMARY_STATE_UNCONFIGURED},
    {TransitionMsg::TRANSITION_ON_CONFIGURE_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_CONFIGURING, StateMsg::TRANSITION_STATE_ERRORPROCESSING},
    {TransitionMsg::TRANSITION_CLEANUP, "cleanup",
      StateMsg::PRIMARY_STATE_INACTIVE, StateMsg::TRANSITION_STATE_CLEANINGUP},
    {TransitionMsg::TRANSITION_ON_CLEANUP_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_CLEANINGUP, StateMsg::PRIMARY_STATE_UNCONFIGURED},
    {TransitionMsg::TRANSITION_ON_CLEANUP_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_CLEANINGUP, StateMsg::PRIMARY_STATE_INACTIVE},
    {TransitionMsg::TRANSITION_ON_CLEANUP_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_CLEANINGUP, StateMsg::TRANSITION_STATE_ERRORPROCESSING},
    {TransitionMsg::TRANSITION_ACTIVATE, "activate",
      StateMsg::PRIMARY_STATE_INACTIVE, StateMsg::TRANSITION_STATE_ACTIVATING},
    {TransitionMsg::TRANSITION_ON_ACTIVATE_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_ACTIVATING, StateMsg::PRIMARY_STATE_ACTIVE},
    {TransitionMsg::TRANSITION_ON_ACTIVATE_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_ACTIVATING, StateMsg::PRIMARY_STATE_INACTIVE},
    {TransitionMsg::TRANSITION_ON_ACTIVATE_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_ACTIVATING, StateMsg::TRANSITION_STATE_ERRORPROCESSING},
    {TransitionMsg::TRANSITION_DEACTIVATE, "deactivate",
      StateMsg::PRIMARY_STATE_ACTIVE, StateMsg::TRANSITION_STATE_DEACTIVATING},
    {TransitionMsg::TRANSITION_ON_DEACTIVATE_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_DEACTIVATING, StateMsg::PRIMARY_STATE_INACTIVE},
    {TransitionMsg::TRANSITION_ON_DEACTIVATE_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_DEACTIVATING, StateMsg::PRIMARY_STATE_ACTIVE},
    {TransitionMsg::TRANSITION_ON_DEACTIVATE_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_DEACTIVATING, StateMsg::TRANSITION_STATE_ERRORPROCESSING},
    {TransitionMsg::TRANSITION_UNCONFIGURED_SHUTDOWN, "shutdown",
      StateMsg::PRIMARY_STATE_UNCONFIGURED, StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
    {TransitionMsg::TRANSITION_INACTIVE_SHUTDOWN, "shutdown",
      StateMsg::PRIMARY_STATE_INACTIVE, StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
    {TransitionMsg::TRANSITION_ACTIVE_SHUTDOWN, "shutdown",
      StateMsg::PRIMARY_STATE_ACTIVE, StateMsg::TRANSITION_STATE_SHUTTINGDOWN},
    {TransitionMsg::TRANSITION_ON_SHUTDOWN_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_SHUTTINGDOWN, StateMsg::PRIMARY_STATE_FINALIZED},
    {TransitionMsg::TRANSITION_ON_SHUTDOWN_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_SHUTTINGDOWN, StateMsg::PRIMARY_STATE_FINALIZED},
    {TransitionMsg::TRANSITION_ON_SHUTDOWN_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_SHUTTINGDOWN, StateMsg::TRANSITION_STATE_ERRORPROCESSING},
    {TransitionMsg::TRANSITION_ON_ERROR_SUCCESS, kSuccessLabel,
      StateMsg::TRANSITION_STATE_ERRORPROCESSING, StateMsg::PRIMARY_STATE_UNCONFIGURED},
    {TransitionMsg::TRANSITION_ON_ERROR_FAILURE, kFailureLabel,
      StateMsg::TRANSITION_STATE_ERRORPROCESSING, StateMsg::PRIMARY_STATE_FINALIZED},
    {TransitionMsg::TRANSITION_ON_ERROR_ERROR, kErrorLabel,
      StateMsg::TRANSITION_STATE_ERRORPROCESSING, StateMsg::PRIMARY_STATE_FINALIZED},
  };
  return table;
}

State LifecycleStateMachine::state_of(uint8_t id)
{
  switch (id) {
    case StateMsg::PRIMARY_STATE_UNCONFIGURED: return State(id, "unconfigured");
    case StateMsg::PRIMARY_STATE_INACTIVE: return State(id, "inactive");
    case StateMsg::PRIMARY_STATE_ACTIVE: return State(id, "active");
    case StateMsg::PRIMARY_STATE_FINALIZED: return State(id, "finalized");
    case StateMsg::TRANSITION_STATE_CONFIGURING: return State(id, "configuring");
    case StateMsg::TRANSITION_STATE_CLEANINGUP: return State(id, "cleaningup");
    case StateMsg::TRANSITION_STATE_SHUTTINGDOWN: return State(id, "shuttingdown");
    case StateMsg::TRANSITION_STATE_ACTIVATING: return State(id, "activating");
    case StateMsg::TRANSITION_STATE_DEACTIVATING: return State(id, "deactivating");
    case StateMsg::TRANSITION_STATE_ERRORPROCESSING: return State(id, "errorprocessing");
    default: return State(StateMsg::PRIMARY_STATE_UNKNOWN, "unknown");
  }
}

LifecycleStateMachine::LifecycleStateMachine(rclcpp::Logger logger)
: logger_(std::move(logger)),
  current_state_(state_of(StateMsg::PRIMARY_STATE_UNCONFIGURED))
{}

void LifecycleStateMachine::register_callback(
  uint8_t transition_state_id, TransitionCallback callback)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  callbacks_[transition_state_id] = std::move(callback);
}

const State & LifecycleStateMachine::get_current_state() const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return current_state_;
}

std::vector<State> LifecycleStateMachine::get_available_states() const
{
  std::vector<State> states;
  for (const uint8_t id : {
      StateMsg::PRIMARY_STATE_UNCONFIGURED, StateMsg::PRIMARY_STATE_INACTIVE,
      StateMsg::PRIMARY_STATE_ACTIVE, StateMsg::PRIMARY_STATE_FINALIZED,
      StateMsg::TRANSITION_STATE_CONFIGURING, StateMsg::TRANSITION_STATE_CLEANINGUP,
      StateMsg::TRANSITION_STATE_SHUTTINGDOWN, StateMsg::TRANSITION_STATE_ACTIVATING,
      StateMsg::TRANSITION_STATE_DEACTIVATING, StateMsg::TRANSITION_STATE_ERRORPROCESSING})
  {
    states.push_back(state_of(id));
  }
  return states;
}

std::vector<Transition> LifecycleStateMachine::get_available_transitions() const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<Transition> available;
  for (const auto & entry : transitions()) {
    if (entry.start == current_state_.id()) {
      available.emplace_back(entry.id, entry.label, state_of(entry.start), state_of(entry.goal));
    }
  }
  return available;
}

std::vector<Transition> LifecycleStateMachine::get_transition_graph() const
{
  std::vector<Transition> graph;
  for (const auto & entry : transitions()) {
    graph.emplace_back(entry.id, entry.label, state_of(entry.start), state_of(entry.goal));
  }
  return graph;
}

const LifecycleStateMachine::TransitionEntry *
LifecycleStateMachine::find_transition(uint8_t start, uint8_t id) const
{
  const auto & table = transitions();
  const auto it = std::find_if(
    table.begin(), table.end(),
    [start, id](const TransitionEntry & entry) {return entry.start == start && entry.id == id;});
  return it == table.end() ? nullptr : &*it;
}

const LifecycleStateMachine::TransitionEntry *
LifecycleStateMachine::find_transition(uint8_t start, const std::string & label) const
{
  const auto & table = transitions();
  const auto it = std::find_if(
    table.begin(), table.end(),
    [start, &label](const TransitionEntry & entry) {
      return entry.start == start && label == entry.label;
    });
  return it == table.end() ? nullptr : &*it;
}

bool LifecycleStateMachine::find_transition_by_label(
  const std::string & label, uint8_t & transition_id) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const auto * entry = find_transition(current_state_.id(), label);
  if (entry == nullptr) {
    return false;
  }
  transition_id = entry->id;
  return true;
}

void LifecycleStateMachine::move_to(uint8_t state_id)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  current_state_ = state_of(state_id);
}

namespace
{

const char * label_for(LifecycleStateMachine::CallbackReturn cb_return_code)
{
  switch (cb_return_code) {
    case LifecycleStateMachine::CallbackReturn::SUCCESS: return kSuccessLabel;
    case LifecycleStateMachine::CallbackReturn::FAILURE: return kFailureLabel;
    default: return kErrorLabel;
  }
}

}  // namespace

bool LifecycleStateMachine::change_state(uint8_t transition_id, CallbackReturn & cb_return_code)
{
  State initial_state = state_of(StateMsg::PRIMARY_STATE_UNKNOWN);
  uint8_t transition_state = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto * transition = find_transition(current_state_.id(), transition_id);
    if (transition == nullptr) {
      RCLCPP_ERROR(
        logger_, "Unable to start transition %u from current state %s: Transition is not "
        "registered.", static_cast<unsigned>(transition_id), current_state_.label().c_str());
      return false;
    }
    initial_state = current_state_;
    transition_state = transition->goal;
    current_state_ = state_of(transition_state);
  }

  cb_return_code = execute_callback(transition_state, initial_state);
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    move_to(find_transition(transition_state, label_for(cb_return_code))->goal);
  }

  if (cb_return_code == CallbackReturn::ERROR) {
    RCLCPP_WARN(logger_, "Error occurred while doing error handling.");
    const auto error_cb_code =
      execute_callback(StateMsg::TRANSITION_STATE_ERRORPROCESSING, initial_state);
    move_to(
      find_transition(StateMsg::TRANSITION_STATE_ERRORPROCESSING, label_for(error_cb_code))->goal);
  }
  return true;
}

LifecycleStateMachine::CallbackReturn LifecycleStateMachine::execute_callback(
  uint8_t transition_state_id, const State & previous_state)
{
  TransitionCallback callback;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = callbacks_.find(transition_state_id);
    if (it == callbacks_.end()) {
      return CallbackReturn::SUCCESS;
    }
    callback = it->second;
  }
  try {
    return callback(previous_state);
  } catch (const std::exception & e) {
    RCLCPP_ERROR(
      logger_, "Caught exception in callback for transition %d",
      static_cast<int>(transition_state_id));
    RCLCPP_ERROR(logger_, "Original error: %s", e.what());
    return CallbackReturn::ERROR;
  }
}

void LifecycleStateMachine::add_managed_entity(std::weak_ptr<ManagedEntityInterface> managed_entity)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  managed_entities_.erase(
    std::remove_if(
      managed_entities_.begin(), managed_entities_.end(),
      [](const std::weak_ptr<ManagedEntityInterface> & entity) {return entity.expired();}),
    managed_entities_.end());
  managed_entities_.push_back(std::move(managed_entity));
}

void LifecycleStateMachine::activate_managed_entities()
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (const auto & weak_entity : managed_entities_) {
    if (auto entity = weak_entity.lock()) {
      entity->on_activate();
    }
  }
}

void LifecycleStateMachine::deactivate_managed_entities()
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (const auto & weak_entity : managed_entities_) {
    if (auto entity = weak_entity.lock()) {
      entity->on_deactivate();
    }
  }
}

}  // namespace rclcpp_lifecycle
