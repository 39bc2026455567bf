#ifndef RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_
#define RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/create_publisher.hpp"
#include "rclcpp/detail/node_common.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "rclcpp_lifecycle/managed_entity.hpp"
#include "rclcpp_lifecycle/node_interfaces/lifecycle_node_interface.hpp"
#include "rclcpp_lifecycle/state.hpp"
#include "rclcpp_lifecycle/transition.hpp"

namespace rclcpp_lifecycle
{

class LifecycleStateMachine;

// A managed node: the node API of rclcpp::Node plus the standard lifecycle state machine
// (unconfigured, inactive, active, finalized and the transition states between them).
// Transitions run their callback synchronously on the calling thread and return the state
// reached. A callback returning FAILURE goes back to the start state; ERROR, or a
// std::exception escaping the callback, goes through on_error (SUCCESS -> unconfigured,
// otherwise finalized). A transition that is not valid in the current state is refused with an
// error log and leaves the state unchanged.
class LifecycleNode : public node_interfaces::LifecycleNodeInterface,
  public std::enable_shared_from_this<LifecycleNode>,
  public rclcpp::detail::NodeCommon
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(LifecycleNode)

  explicit LifecycleNode(
    const std::string & node_name,
    const rclcpp::NodeOptions & options = rclcpp::NodeOptions(),
    bool enable_communication_interface = true);
  LifecycleNode(
    const std::string & node_name,
    const std::string & namespace_,
    const rclcpp::NodeOptions & options = rclcpp::NodeOptions(),
    bool enable_communication_interface = true);
  virtual ~LifecycleNode();

  // Created inactive; (de)activated by the base on_activate / on_deactivate.
  template<typename MessageT, typename AllocatorT = std::allocator<void>>
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<MessageT, AllocatorT>>
  create_publisher(
    const std::string & topic_name,
    const rclcpp::QoS & qos,
    const rclcpp::PublisherOptionsWithAllocator<AllocatorT> & options =
    rclcpp::PublisherOptionsWithAllocator<AllocatorT>())
  {
    using PublisherT = rclcpp_lifecycle::LifecyclePublisher<MessageT, AllocatorT>;
    auto pub = rclcpp::create_publisher<MessageT, AllocatorT, PublisherT>(
      *this, topic_name, qos, options);
    this->add_managed_entity(pub);
    return pub;
  }

  // ---- state machine ----
  const State & get_current_state();
  std::vector<State> get_available_states();
  std::vector<Transition> get_available_transitions();
  std::vector<Transition> get_transition_graph();

  const State & trigger_transition(const Transition & transition);
  const State & trigger_transition(
    const Transition & transition, LifecycleNodeInterface::CallbackReturn & cb_return_code);
  const State & trigger_transition(uint8_t transition_id);
  const State & trigger_transition(
    uint8_t transition_id, LifecycleNodeInterface::CallbackReturn & cb_return_code);

  const State & configure();
  const State & configure(LifecycleNodeInterface::CallbackReturn & cb_return_code);
  const State & cleanup();
  const State & cleanup(LifecycleNodeInterface::CallbackReturn & cb_return_code);
  const State & activate();
  const State & activate(LifecycleNodeInterface::CallbackReturn & cb_return_code);
  const State & deactivate();
  const State & deactivate(LifecycleNodeInterface::CallbackReturn & cb_return_code);
  // Does nothing (no error) when already finalized.
  const State & shutdown();
  const State & shutdown(LifecycleNodeInterface::CallbackReturn & cb_return_code);

  bool register_on_configure(std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);
  bool register_on_cleanup(std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);
  bool register_on_shutdown(std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);
  bool register_on_activate(std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);
  bool register_on_deactivate(
    std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);
  bool register_on_error(std::function<LifecycleNodeInterface::CallbackReturn(const State &)> fcn);

  // Activate / deactivate every managed entity (lifecycle publishers) of this node.
  CallbackReturn on_activate(const State & previous_state) override;
  CallbackReturn on_deactivate(const State & previous_state) override;

protected:
  void add_managed_entity(std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface> managed_entity);
  void add_timer_handle(std::shared_ptr<rclcpp::TimerBase> timer);

private:
  std::unique_ptr<LifecycleStateMachine> impl_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__LIFECYCLE_NODE_HPP_
