#ifndef RCLCPP_LIFECYCLE__LIFECYCLE_STATE_MACHINE_HPP_
#define RCLCPP_LIFECYCLE__LIFECYCLE_STATE_MACHINE_HPP_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/logger.hpp"
#include "rclcpp_lifecycle/managed_entity.hpp"
#include "rclcpp_lifecycle/node_interfaces/lifecycle_node_interface.hpp"
#include "rclcpp_lifecycle/state.hpp"
#include "rclcpp_lifecycle/transition.hpp"

namespace rclcpp_lifecycle
{

// The default lifecycle state machine of a node, its transition callbacks and its managed
// entities.
class LifecycleStateMachine
{
public:
  using CallbackReturn = node_interfaces::LifecycleNodeInterface::CallbackReturn;
  using TransitionCallback = std::function<CallbackReturn(const State &)>;

  explicit LifecycleStateMachine(rclcpp::Logger logger);

  // Callback run in the given transition state (CONFIGURING -> on_configure, ...).
  void register_callback(uint8_t transition_state_id, TransitionCallback callback);

  const State & get_current_state() const;
  std::vector<State> get_available_states() const;
  std::vector<Transition> get_available_transitions() const;
  std::vector<Transition> get_transition_graph() const;

  // Runs the transition with this id from the current state; logs an error and returns false
  // when the current state has no such transition.
  bool change_state(uint8_t transition_id, CallbackReturn & cb_return_code);
  // Id of the transition with this label from the current state, if any.
  bool find_transition_by_label(const std::string & label, uint8_t & transition_id) const;

  void add_managed_entity(std::weak_ptr<ManagedEntityInterface> managed_entity);
  void activate_managed_entities();
  void deactivate_managed_entities();

private:
  struct TransitionEntry
  {
    uint8_t id;
    const char * label;
    uint8_t start;
    uint8_t goal;
  };

  static const std::vector<TransitionEntry> & transitions();
  static State state_of(uint8_t id);
  const TransitionEntry * find_transition(uint8_t start, uint8_t id) const;
  const TransitionEntry * find_transition(uint8_t start, const std::string & label) const;
  CallbackReturn execute_callback(uint8_t transition_state_id, const State & previous_state);
  void move_to(uint8_t state_id);

  rclcpp::Logger logger_;
  mutable std::recursive_mutex mutex_;
  State current_state_;
  std::map<uint8_t, TransitionCallback> callbacks_;
  std::vector<std::weak_ptr<ManagedEntityInterface>> managed_entities_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__LIFECYCLE_STATE_MACHINE_HPP_
