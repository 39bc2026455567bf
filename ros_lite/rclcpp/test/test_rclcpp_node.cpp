// Node identity and interfaces, name rules, callback groups, signal handling and the parser of
// ROS arguments and params files.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/detail/node_work_queue.hpp"
#include "rclcpp/detail/ros_arguments.hpp"
#include "rclcpp/rclcpp.hpp"
#include "ros_scope.hpp"
#include "std_msgs/msg/int32.hpp"

namespace
{

using namespace std::chrono_literals;

class NodeTest : public ::testing::Test
{
protected:
  rclcpp_test::ScopedRos ros_;
};

TEST_F(NodeTest, NamesNamespacesAndTopicResolution)
{
  auto node = std::make_shared<rclcpp::Node>("driver", "robot/base");
  EXPECT_STREQ(node->get_name(), "driver");
  EXPECT_STREQ(node->get_namespace(), "/robot/base");
  EXPECT_STREQ(node->get_fully_qualified_name(), "/robot/base/driver");
  auto base = node->get_node_base_interface();
  EXPECT_EQ(base->resolve_topic_or_service_name("cmd_vel", false), "/robot/base/cmd_vel");
  EXPECT_EQ(base->resolve_topic_or_service_name("/cmd_vel", false), "/cmd_vel");
  EXPECT_EQ(base->resolve_topic_or_service_name("~/state", false), "/robot/base/driver/state");
  EXPECT_EQ(base->resolve_topic_or_service_name("{node}/out", false), "/robot/base/driver/out");
  EXPECT_THROW(base->resolve_topic_or_service_name("", false), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(base->resolve_topic_or_service_name("a/", false), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(base->resolve_topic_or_service_name("9lives", false), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(base->resolve_topic_or_service_name("a b", true), rclcpp::exceptions::InvalidServiceNameError);
  EXPECT_STREQ(std::make_shared<rclcpp::Node>("root_node")->get_namespace(), "/");

  EXPECT_THROW(std::make_shared<rclcpp::Node>(""), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("1st"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("my-node"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("n", "/ns/"), rclcpp::exceptions::InvalidNamespaceError);
  EXPECT_THROW(std::make_shared<rclcpp::Node>("n", "/a//b"), rclcpp::exceptions::InvalidNamespaceError);
  try {
    std::make_shared<rclcpp::Node>("bad.name");
    FAIL() << "'.' is not allowed in node names";
  } catch (const rclcpp::exceptions::InvalidNodeNameError & error) {
    EXPECT_EQ(error.invalid_index, 3u);
    EXPECT_NE(std::string(error.what()).find("Invalid node name"), std::string::npos);
  }
}

TEST_F(NodeTest, InterfacesAreSharedObjectsOfTheNode)
{
  auto node = std::make_shared<rclcpp::Node>("interfaces");
  EXPECT_EQ(node->get_node_base_interface(), node->get_node_base_interface());
  EXPECT_STREQ(node->get_node_logging_interface()->get_logger_name(), "interfaces");
  EXPECT_EQ(node->get_node_clock_interface()->get_clock(), node->get_clock());
  EXPECT_EQ(node->get_node_base_interface()->get_context(), rclcpp::contexts::get_global_default_context());
  EXPECT_EQ(node->get_node_topics_interface()->resolve_topic_name("x"), "/x");
  EXPECT_EQ(node->get_node_topics_interface()->get_node_base_interface(), node->get_node_base_interface().get());
  EXPECT_STREQ(
    rclcpp::get_node_logger(node->get_node_base_interface()->get_rcl_node_handle()).get_name(),
    "interfaces");
  EXPECT_EQ(node->get_node_options().allow_undeclared_parameters(), false);

  // A waitable belongs to a group of its node; groups of other nodes are refused.
  auto waitable = std::make_shared<rclcpp::Waitable>();
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  node->get_node_waitables_interface()->add_waitable(waitable, group);
  EXPECT_TRUE(group->has_waitable(waitable));
  node->get_node_waitables_interface()->remove_waitable(waitable, group);
  EXPECT_FALSE(group->has_waitable(waitable));
  auto other = std::make_shared<rclcpp::Node>("other");
  EXPECT_THROW(
    other->get_node_waitables_interface()->add_waitable(waitable, group), std::runtime_error);
  rclcpp::SubscriptionOptions foreign;
  foreign.callback_group = group;
  EXPECT_THROW(
    other->create_subscription<std_msgs::msg::Int32>(
      "t", 1, [](const std_msgs::msg::Int32 &) {}, foreign),
    std::runtime_error);

  const auto types = node->get_parameter_types({"use_sim_time"});
  EXPECT_EQ(types, (std::vector<uint8_t>{rclcpp::PARAMETER_BOOL}));
  EXPECT_EQ(node->describe_parameter("use_sim_time").name, "use_sim_time");
  EXPECT_THROW(node->describe_parameter("nope"), rclcpp::exceptions::ParameterNotDeclaredException);
}

TEST_F(NodeTest, GroupsCreatedWhileSpinningArePickedUpAndWorkKeepsPostingOrder)
{
  auto node = std::make_shared<rclcpp::Node>("late_groups");
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  auto late_group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  std::vector<int> order;
  rclcpp::detail::post(late_group, [&order]() {order.push_back(1);});
  rclcpp::detail::post(node->get_node_base_interface(), [&order]() {order.push_back(2);});
  rclcpp::detail::post(late_group, [&order]() {order.push_back(3);});
  EXPECT_EQ(executor.get_all_callback_groups().size(), 2u);
  executor.spin_some();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

  // A group that is released disappears from the executor, and posting to it fails.
  std::weak_ptr<rclcpp::CallbackGroup> weak_group = late_group;
  late_group.reset();
  EXPECT_FALSE(rclcpp::detail::post(weak_group, []() {}));
  EXPECT_EQ(executor.get_all_callback_groups().size(), 1u);

  // Destroying the executor frees the node for another one.
  {
    rclcpp::executors::SingleThreadedExecutor temporary;
    auto free_node = std::make_shared<rclcpp::Node>("free_node");
    temporary.add_node(free_node);
    EXPECT_TRUE(free_node->get_node_base_interface()->get_associated_with_executor_atomic().load());
  }
}

TEST_F(NodeTest, TimersOnTheNodeClockAndSpinNodeOnce)
{
  auto node = std::make_shared<rclcpp::Node>("ros_timer");
  int fired = 0;
  auto timer = rclcpp::create_timer(
    node, node->get_clock(), rclcpp::Duration(1ms), [&fired](rclcpp::TimerBase & t) {
      ++fired;
      t.cancel();
    });
  EXPECT_EQ(timer->get_clock()->get_clock_type(), RCL_ROS_TIME);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.spin_node_once(node, 5s);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(node->get_node_base_interface()->get_associated_with_executor_atomic().load());
}

TEST(SignalTest, SigintShutsTheContextDown)
{
  const char * argv[] = {"prog"};
  rclcpp::init(1, argv);
  ASSERT_TRUE(rclcpp::signal_handlers_installed());
  std::raise(SIGINT);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (rclcpp::ok() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_EQ(rclcpp::contexts::get_global_default_context()->shutdown_reason(), "signal handler");
  rclcpp::shutdown();
  EXPECT_FALSE(rclcpp::signal_handlers_installed());
}

TEST(LogLevelArgumentTest, LogLevelRulesSetThresholds)
{
  rclcpp_test::restart({"--ros-args", "--log-level", "quiet_logger:=error", "--log-level", "debug"});
  EXPECT_FALSE(rcutils_logging_logger_is_enabled_for("quiet_logger", RCUTILS_LOG_SEVERITY_WARN));
  EXPECT_TRUE(rcutils_logging_logger_is_enabled_for("anything_else", RCUTILS_LOG_SEVERITY_DEBUG));
  rcutils_logging_set_default_logger_level(RCUTILS_LOG_SEVERITY_INFO);
  EXPECT_THROW(
    rclcpp_test::restart({"--ros-args", "--log-level", "loud"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  rclcpp::shutdown();
}

TEST(RosArgumentsTest, ValuesTakeTheTypeTheyReadAs)
{
  using rclcpp::detail::parse_parameter_value;
  EXPECT_EQ(parse_parameter_value("true"), rclcpp::ParameterValue(true));
  EXPECT_EQ(parse_parameter_value("on"), rclcpp::ParameterValue(true));
  EXPECT_EQ(parse_parameter_value("False"), rclcpp::ParameterValue(false));
  EXPECT_EQ(parse_parameter_value("-12"), rclcpp::ParameterValue(-12));
  EXPECT_EQ(parse_parameter_value("1.0"), rclcpp::ParameterValue(1.0));
  EXPECT_EQ(parse_parameter_value("1e3"), rclcpp::ParameterValue(1000.0));
  EXPECT_EQ(
    parse_parameter_value(".inf"), rclcpp::ParameterValue(std::numeric_limits<double>::infinity()));
  EXPECT_EQ(parse_parameter_value("map"), rclcpp::ParameterValue("map"));
  EXPECT_EQ(parse_parameter_value("'true'"), rclcpp::ParameterValue("true"));
  EXPECT_EQ(parse_parameter_value("[a, 'b']"), rclcpp::ParameterValue(std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(parse_parameter_value("[0.5, 1.5]"), rclcpp::ParameterValue(std::vector<double>{0.5, 1.5}));
  EXPECT_THROW(parse_parameter_value("[]"), std::invalid_argument);
  EXPECT_THROW(parse_parameter_value("[true, 1]"), std::invalid_argument);
  EXPECT_THROW(parse_parameter_value("[[1], [2]]"), std::invalid_argument);
  EXPECT_THROW(parse_parameter_value("{a: 1}"), std::invalid_argument);
  EXPECT_THROW(parse_parameter_value(""), std::invalid_argument);
}

TEST(RosArgumentsTest, NodePatternsMatchFullyQualifiedNames)
{
  using rclcpp::detail::node_pattern_matches;
  EXPECT_TRUE(node_pattern_matches("/**", "/a/b/node"));
  EXPECT_TRUE(node_pattern_matches("node", "/node"));
  EXPECT_FALSE(node_pattern_matches("node", "/ns/node"));
  EXPECT_TRUE(node_pattern_matches("/**/node", "/ns/deeper/node"));
  EXPECT_TRUE(node_pattern_matches("/**/node", "/node"));
  EXPECT_TRUE(node_pattern_matches("/*/node", "/ns/node"));
  EXPECT_FALSE(node_pattern_matches("/*/node", "/a/b/node"));
  EXPECT_FALSE(node_pattern_matches("/ns/node", "/ns/other"));
}

TEST(RosArgumentsTest, ParamsFileNamespacesNestAndNullsAreRefused)
{
  const std::string nested = ::testing::TempDir() + "params_nested.yaml";
  std::ofstream(nested) <<
    "/robot:\n"
    "  planner:\n"
    "    ros__parameters:\n"
    "      frequency: 20.0\n"
    "      enabled: yes\n";
  const auto rules = rclcpp::detail::parse_parameters_file(nested, "prefix");
  ASSERT_EQ(rules.size(), 2u);
  const auto overrides = rclcpp::detail::resolve_parameter_overrides("/robot/planner", rules);
  EXPECT_EQ(overrides.at("frequency"), rclcpp::ParameterValue(20.0));
  EXPECT_EQ(overrides.at("enabled"), rclcpp::ParameterValue(true));
  EXPECT_TRUE(rclcpp::detail::resolve_parameter_overrides("/planner", rules).empty());

  const std::string null_value = ::testing::TempDir() + "params_null.yaml";
  std::ofstream(null_value) << "node:\n  ros__parameters:\n    a: 1\n    missing:\n";
  try {
    rclcpp::detail::parse_parameters_file(null_value, "prefix");
    FAIL();
  } catch (const rclcpp::exceptions::RCLInvalidROSArgsError & error) {
    EXPECT_EQ(error.line, 4u);
    EXPECT_EQ(std::string(error.what()).rfind("prefix: ", 0), 0u) << error.what();
  }
  const std::string not_a_map = ::testing::TempDir() + "params_list.yaml";
  std::ofstream(not_a_map) << "- a\n- b\n";
  EXPECT_THROW(
    rclcpp::detail::parse_parameters_file(not_a_map, "prefix"),
    rclcpp::exceptions::RCLInvalidROSArgsError);
}

TEST(QoSTest, ProfilesAndSetters)
{
  const rclcpp::QoS depth_only(5);
  EXPECT_EQ(depth_only.history(), rclcpp::HistoryPolicy::KeepLast);
  EXPECT_EQ(depth_only.depth(), 5u);
  EXPECT_EQ(depth_only.reliability(), rclcpp::ReliabilityPolicy::Reliable);
  EXPECT_EQ(depth_only.durability(), rclcpp::DurabilityPolicy::Volatile);
  EXPECT_EQ(rclcpp::SensorDataQoS().reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(rclcpp::SensorDataQoS().depth(), 5u);
  EXPECT_EQ(rclcpp::SystemDefaultsQoS().depth(), 0u);
  EXPECT_EQ(rclcpp::ClockQoS().depth(), 1u);
  auto custom = rclcpp::QoS(rclcpp::KeepAll()).best_effort().transient_local();
  EXPECT_EQ(custom.history(), rclcpp::HistoryPolicy::KeepAll);
  EXPECT_EQ(custom.durability(), rclcpp::DurabilityPolicy::TransientLocal);
  EXPECT_NE(custom, depth_only);
  EXPECT_EQ(rclcpp::QoS(5), depth_only);
  custom.deadline(rclcpp::Duration(1, 5));
  EXPECT_EQ(custom.deadline().nanoseconds(), 1000000005);
}

}  // namespace
