// The managed node: standard transitions, FAILURE / ERROR / exception handling through on_error,
// refused transitions, lifecycle publishers and the node API it shares with rclcpp::Node.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "ros_lite/testing/ros_context.hpp"
#include "ros_lite/testing/topic_recorder.hpp"
#include "std_msgs/msg/int32.hpp"

namespace
{

using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;
using StateMsg = lifecycle_msgs::msg::State;
using TransitionMsg = lifecycle_msgs::msg::Transition;

// Records every callback with the state it was given, and answers as scripted.
class ScriptedNode : public rclcpp_lifecycle::LifecycleNode
{
public:
  explicit ScriptedNode(const std::string & name)
  : rclcpp_lifecycle::LifecycleNode(name) {}

  std::vector<std::string> calls;
  CallbackReturn configure_result = CallbackReturn::SUCCESS;
  CallbackReturn activate_result = CallbackReturn::SUCCESS;
  CallbackReturn error_result = CallbackReturn::SUCCESS;
  bool throw_in_cleanup = false;
  uint8_t state_seen_inside = 0;

  CallbackReturn on_configure(const rclcpp_lifecycle::State & previous) override
  {
    record("configure", previous);
    state_seen_inside = get_current_state().id();
    return configure_result;
  }

  CallbackReturn on_activate(const rclcpp_lifecycle::State & previous) override
  {
    record("activate", previous);
    rclcpp_lifecycle::LifecycleNode::on_activate(previous);
    return activate_result;
  }

  CallbackReturn on_deactivate(const rclcpp_lifecycle::State & previous) override
  {
    record("deactivate", previous);
    return rclcpp_lifecycle::LifecycleNode::on_deactivate(previous);
  }

  CallbackReturn on_cleanup(const rclcpp_lifecycle::State & previous) override
  {
    record("cleanup", previous);
    if (throw_in_cleanup) {
      throw std::runtime_error("cleanup failed badly");
    }
    return CallbackReturn::SUCCESS;
  }

  CallbackReturn on_shutdown(const rclcpp_lifecycle::State & previous) override
  {
    record("shutdown", previous);
    return CallbackReturn::SUCCESS;
  }

  CallbackReturn on_error(const rclcpp_lifecycle::State & previous) override
  {
    record("error", previous);
    return error_result;
  }

private:
  void record(const std::string & what, const rclcpp_lifecycle::State & previous)
  {
    calls.push_back(what + "<-" + previous.label());
  }
};

class LifecycleTest : public ::testing::Test
{
protected:
  ros_lite::testing::ScopedRos ros_;
  std::shared_ptr<ScriptedNode> node_ = std::make_shared<ScriptedNode>("managed");
};

TEST_F(LifecycleTest, StandardTransitionsReturnTheReachedState)
{
  EXPECT_EQ(node_->get_current_state().id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->get_current_state().label(), "unconfigured");
  EXPECT_EQ(node_->configure().id(), StateMsg::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->state_seen_inside, StateMsg::TRANSITION_STATE_CONFIGURING);
  EXPECT_EQ(node_->activate().id(), StateMsg::PRIMARY_STATE_ACTIVE);
  EXPECT_EQ(node_->deactivate().id(), StateMsg::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->cleanup().id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->shutdown().label(), "finalized");
  EXPECT_EQ(
    node_->calls, (std::vector<std::string>{
    "configure<-unconfigured", "activate<-inactive", "deactivate<-active",
    "cleanup<-inactive", "shutdown<-unconfigured"}));
  // Shutting down a finalized node does nothing.
  EXPECT_EQ(node_->shutdown().id(), StateMsg::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node_->calls.size(), 5u);
}

TEST_F(LifecycleTest, FailureReturnsToTheStartState)
{
  node_->configure_result = CallbackReturn::FAILURE;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->configure(code).id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::FAILURE);

  node_->configure_result = CallbackReturn::SUCCESS;
  node_->configure();
  node_->activate_result = CallbackReturn::FAILURE;
  EXPECT_EQ(node_->activate().id(), StateMsg::PRIMARY_STATE_INACTIVE);
  for (const auto & call : node_->calls) {
    EXPECT_NE(call.rfind("error", 0), 0u) << "FAILURE must not go through on_error";
  }
}

TEST_F(LifecycleTest, ErrorGoesThroughOnErrorWhichDecidesTheOutcome)
{
  node_->configure_result = CallbackReturn::ERROR;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->configure(code).id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(node_->calls.back(), "error<-unconfigured");

  node_->configure_result = CallbackReturn::SUCCESS;
  node_->configure();
  node_->activate_result = CallbackReturn::ERROR;
  node_->error_result = CallbackReturn::FAILURE;
  EXPECT_EQ(node_->activate().id(), StateMsg::PRIMARY_STATE_FINALIZED);
  EXPECT_EQ(node_->calls.back(), "error<-inactive");
}

TEST_F(LifecycleTest, ThrowingCallbackIsTreatedAsError)
{
  node_->configure();
  node_->throw_in_cleanup = true;
  CallbackReturn code = CallbackReturn::SUCCESS;
  EXPECT_EQ(node_->cleanup(code).id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(code, CallbackReturn::ERROR);
  EXPECT_EQ(node_->calls.back(), "error<-inactive");

  node_->throw_in_cleanup = false;
  node_->configure();
  node_->error_result = CallbackReturn::ERROR;
  node_->register_on_cleanup(
    [](const rclcpp_lifecycle::State &) -> CallbackReturn {throw std::out_of_range("again");});
  EXPECT_EQ(node_->cleanup().id(), StateMsg::PRIMARY_STATE_FINALIZED);
}

TEST_F(LifecycleTest, InvalidTransitionsAreRefusedWithoutChangingState)
{
  EXPECT_EQ(node_->activate().id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->deactivate().id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node_->cleanup().id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_TRUE(node_->calls.empty());

  EXPECT_EQ(
    node_->trigger_transition(TransitionMsg::TRANSITION_CONFIGURE).id(),
    StateMsg::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->configure().id(), StateMsg::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node_->calls.size(), 1u);

  std::vector<std::string> labels;
  for (const auto & transition : node_->get_available_transitions()) {
    labels.push_back(transition.label());
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"cleanup", "activate", "shutdown"}));
  EXPECT_EQ(
    node_->trigger_transition(rclcpp_lifecycle::Transition(TransitionMsg::TRANSITION_INACTIVE_SHUTDOWN)).id(),
    StateMsg::PRIMARY_STATE_FINALIZED);
}

TEST_F(LifecycleTest, RegisteredCallbacksReplaceTheVirtualOnesAndNestingIsRefused)
{
  EXPECT_EQ(node_->get_available_states().size(), 10u);
  EXPECT_EQ(node_->get_transition_graph().size(), 25u);
  const auto graph = node_->get_transition_graph();
  EXPECT_EQ(graph.front().start_state().label(), "unconfigured");
  EXPECT_EQ(graph.front().goal_state().label(), "configuring");
  EXPECT_THROW(rclcpp_lifecycle::Transition(1).start_state(), std::runtime_error);

  uint8_t nested_result = 0;
  node_->register_on_configure(
    [this, &nested_result](const rclcpp_lifecycle::State & previous) {
      EXPECT_EQ(previous.id(), StateMsg::PRIMARY_STATE_UNCONFIGURED);
      // A transition cannot start while another one runs.
      nested_result = node_->activate().id();
      return CallbackReturn::SUCCESS;
    });
  EXPECT_EQ(node_->configure().id(), StateMsg::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(nested_result, StateMsg::TRANSITION_STATE_CONFIGURING);
  EXPECT_TRUE(node_->calls.empty());
  EXPECT_EQ(node_->trigger_transition(200).id(), StateMsg::PRIMARY_STATE_INACTIVE);
}

TEST_F(LifecycleTest, LifecyclePublishersFollowActivation)
{
  ros_lite::testing::TopicRecorder<std_msgs::msg::Int32> recorder("/counter");
  auto pub = node_->create_publisher<std_msgs::msg::Int32>("counter", 10);
  std_msgs::msg::Int32 msg;
  msg.data = 1;

  ::testing::internal::CaptureStderr();
  pub->publish(msg);
  pub->publish(msg);
  std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(recorder.count(), 0u);
  EXPECT_FALSE(pub->is_activated());
  const std::string warning =
    "Trying to publish message on the topic '/counter', but the publisher is not activated";
  EXPECT_NE(warnings.find(warning), std::string::npos) << warnings;
  EXPECT_EQ(warnings.find(warning), warnings.rfind(warning));

  node_->configure();
  node_->activate();
  EXPECT_TRUE(pub->is_activated());
  pub->publish(msg);
  pub->publish(std::make_unique<std_msgs::msg::Int32>(msg));
  EXPECT_EQ(recorder.count(), 2u);

  node_->deactivate();
  ::testing::internal::CaptureStderr();
  pub->publish(msg);
  warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(recorder.count(), 2u);
  EXPECT_NE(warnings.find(warning), std::string::npos);

  // Reactivation warns again on the next drop.
  node_->activate();
  node_->deactivate();
  ::testing::internal::CaptureStderr();
  pub->publish(msg);
  warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(warnings.find(warning), std::string::npos);

  // Through the plain publisher interface the activation state is not consulted.
  std::shared_ptr<rclcpp::Publisher<std_msgs::msg::Int32>> plain = pub;
  plain->publish(msg);
  EXPECT_EQ(recorder.count(), 3u);
}

TEST_F(LifecycleTest, SharesTheNodeApi)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
    "api", "/robot", rclcpp::NodeOptions().append_parameter_override("speed", 0.3));
  EXPECT_STREQ(node->get_fully_qualified_name(), "/robot/api");
  EXPECT_DOUBLE_EQ(node->declare_parameter("speed", 0.1), 0.3);
  EXPECT_THROW(node->declare_parameter("speed", 0.1), rclcpp::exceptions::ParameterAlreadyDeclaredException);
  auto handle = node->add_on_set_parameters_callback(
    [](const std::vector<rclcpp::Parameter> &) {
      rcl_interfaces::msg::SetParametersResult result;
      result.successful = false;
      result.reason = "frozen";
      return result;
    });
  EXPECT_EQ(node->set_parameter(rclcpp::Parameter("speed", 0.5)).reason, "frozen");

  int received = 0;
  auto sub = node->create_subscription<std_msgs::msg::Int32>(
    "in", 10, [&received](std_msgs::msg::Int32::SharedPtr) {++received;});
  auto other = std::make_shared<rclcpp::Node>("feeder", "/robot");
  other->create_publisher<std_msgs::msg::Int32>("in", 10)->publish(std_msgs::msg::Int32());
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node->get_node_base_interface());
  executor.spin_some();
  EXPECT_EQ(received, 1);
}

}  // namespace
