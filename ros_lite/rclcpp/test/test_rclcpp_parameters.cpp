// Parameter declaration, typing, overrides and on-set callbacks of rclcpp::Node, checked against
// the documented Humble behaviour.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "ros_scope.hpp"

namespace
{

using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::SetParametersResult;

class ParametersTest : public ::testing::Test
{
protected:
  rclcpp_test::ScopedRos ros_;
};

SetParametersResult accept()
{
  SetParametersResult result;
  result.successful = true;
  return result;
}

SetParametersResult reject(const std::string & reason)
{
  SetParametersResult result;
  result.successful = false;
  result.reason = reason;
  return result;
}

std::string write_file(const std::string & name, const std::string & content)
{
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << content;
  return path;
}

TEST_F(ParametersTest, DeclareReturnsTypedDefaultAndRefusesRedeclaration)
{
  auto node = std::make_shared<rclcpp::Node>("declarer");
  const auto speed = node->declare_parameter("speed", 0.5);
  const auto count = node->declare_parameter("count", 3);
  const auto name = node->declare_parameter("name", "robot");
  static_assert(std::is_same_v<decltype(speed), const double>);
  static_assert(std::is_same_v<decltype(count), const int64_t>);
  static_assert(std::is_same_v<decltype(name), const std::string>);
  EXPECT_DOUBLE_EQ(speed, 0.5);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(name, "robot");
  EXPECT_EQ(node->get_parameter("count").get_type(), rclcpp::PARAMETER_INTEGER);

  EXPECT_THROW(node->declare_parameter("speed", 1.0), rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_THROW(node->declare_parameter("", 1.0), rclcpp::exceptions::InvalidParametersException);
  // Every node declares use_sim_time.
  EXPECT_TRUE(node->has_parameter("use_sim_time"));
  EXPECT_FALSE(node->get_parameter("use_sim_time").as_bool());
}

TEST_F(ParametersTest, StaticTypingRejectsOtherTypesWithoutConversion)
{
  auto node = std::make_shared<rclcpp::Node>("typed");
  node->declare_parameter("speed", 0.5);

  const auto result = node->set_parameter(rclcpp::Parameter("speed", 1));
  EXPECT_FALSE(result.successful);
  EXPECT_EQ(
    result.reason,
    "Wrong parameter type, parameter {speed} is of type {double}, setting it to {integer} is "
    "not allowed.");
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 0.5);

  int as_int = 7;
  try {
    node->get_parameter("speed", as_int);
    FAIL() << "reading a double as int must throw";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException & error) {
    EXPECT_STREQ(error.what(), "parameter 'speed' has invalid type: expected [integer] got [double]");
  }
  EXPECT_EQ(as_int, 7);
  EXPECT_THROW(node->get_parameter("speed").as_int(), rclcpp::ParameterTypeException);
  EXPECT_THROW(node->get_parameter("speed").get_value<int>(), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(
    node->declare_parameter("unset", rclcpp::ParameterValue()),
    rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(ParametersTest, UndeclaredParametersThrowUnlessAllowed)
{
  auto strict = std::make_shared<rclcpp::Node>("strict");
  EXPECT_THROW(strict->get_parameter("missing"), rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(
    strict->set_parameter(rclcpp::Parameter("missing", 1)),
    rclcpp::exceptions::ParameterNotDeclaredException);
  rclcpp::Parameter out;
  EXPECT_FALSE(strict->get_parameter("missing", out));
  double value = 4.0;
  EXPECT_FALSE(strict->get_parameter("missing", value));
  EXPECT_DOUBLE_EQ(value, 4.0);
  EXPECT_DOUBLE_EQ(strict->get_parameter_or("missing", 2.5), 2.5);
  EXPECT_FALSE(strict->has_parameter("missing"));

  auto relaxed = std::make_shared<rclcpp::Node>(
    "relaxed", rclcpp::NodeOptions().allow_undeclared_parameters(true));
  EXPECT_EQ(relaxed->get_parameter("missing").get_name(), "");
  EXPECT_TRUE(relaxed->set_parameter(rclcpp::Parameter("free", 1)).successful);
  EXPECT_EQ(relaxed->get_parameter("free").as_int(), 1);
  // Implicitly declared parameters are dynamically typed.
  EXPECT_TRUE(relaxed->set_parameter(rclcpp::Parameter("free", "text")).successful);
  EXPECT_EQ(relaxed->get_parameter("free").as_string(), "text");
}

TEST_F(ParametersTest, DeclaringByTypeLeavesTheValueMissingWithoutOverride)
{
  auto node = std::make_shared<rclcpp::Node>(
    "by_type", rclcpp::NodeOptions().append_parameter_override("given", 1.5));
  node->declare_parameter("plugin", rclcpp::PARAMETER_STRING);
  EXPECT_TRUE(node->has_parameter("plugin"));
  EXPECT_THROW(node->get_parameter("plugin"), rclcpp::exceptions::ParameterUninitializedException);
  rclcpp::Parameter out;
  EXPECT_FALSE(node->get_parameter("plugin", out));

  EXPECT_THROW(
    node->declare_parameter<double>("needed"),
    rclcpp::exceptions::UninitializedStaticallyTypedParameterException);
  EXPECT_DOUBLE_EQ(node->declare_parameter<double>("given"), 1.5);

  EXPECT_THROW(
    node->declare_parameter("bad", rclcpp::PARAMETER_NOT_SET), std::invalid_argument);
  ParameterDescriptor dynamic;
  dynamic.dynamic_typing = true;
  EXPECT_THROW(
    node->declare_parameter("bad", rclcpp::PARAMETER_DOUBLE, dynamic), std::invalid_argument);
}

TEST_F(ParametersTest, NodeOptionsOverridesWinOverDefaultsAndMustMatchTheType)
{
  auto node = std::make_shared<rclcpp::Node>(
    "overridden", rclcpp::NodeOptions().parameter_overrides(
      {rclcpp::Parameter("gain", 2.0), rclcpp::Parameter("whole", 1)}));
  EXPECT_DOUBLE_EQ(node->declare_parameter("gain", 0.5), 2.0);
  EXPECT_DOUBLE_EQ(
    node->declare_parameter("ignored", 0.5, ParameterDescriptor(), true), 0.5);
  // YAML "1" is an integer: a double parameter refuses it.
  EXPECT_THROW(
    node->declare_parameter("whole", 0.5), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_FALSE(node->has_parameter("whole"));
  EXPECT_EQ(node->declare_parameter("whole", 0), 1);
}

TEST_F(ParametersTest, ReadOnlyAndDynamicDescriptors)
{
  auto node = std::make_shared<rclcpp::Node>("descriptors");
  ParameterDescriptor read_only;
  read_only.read_only = true;
  node->declare_parameter("frame", "map", read_only);
  const auto result = node->set_parameter(rclcpp::Parameter("frame", "odom"));
  EXPECT_FALSE(result.successful);
  EXPECT_EQ(result.reason, "parameter 'frame' cannot be set because it is read-only");
  EXPECT_EQ(node->get_parameter("frame").as_string(), "map");
  EXPECT_THROW(node->undeclare_parameter("frame"), rclcpp::exceptions::ParameterImmutableException);

  ParameterDescriptor dynamic;
  dynamic.dynamic_typing = true;
  node->declare_parameter("any", 1, dynamic);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("any", "now a string")).successful);
  EXPECT_EQ(node->get_parameter("any").as_string(), "now a string");
  // A NOT_SET value undeclares a dynamically typed parameter...
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("any")).successful);
  EXPECT_FALSE(node->has_parameter("any"));
  // ...but not a statically typed one.
  node->declare_parameter("fixed", 1);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("fixed")).successful);
  EXPECT_TRUE(node->has_parameter("fixed"));
  EXPECT_THROW(node->undeclare_parameter("fixed"), rclcpp::exceptions::InvalidParameterTypeException);
  EXPECT_THROW(node->undeclare_parameter("never"), rclcpp::exceptions::ParameterNotDeclaredException);
}

TEST_F(ParametersTest, DescriptorRangesAreEnforced)
{
  auto node = std::make_shared<rclcpp::Node>("ranges");
  ParameterDescriptor even;
  even.integer_range.resize(1);
  even.integer_range[0].from_value = 0;
  even.integer_range[0].to_value = 10;
  even.integer_range[0].step = 2;
  node->declare_parameter("even", 4, even);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("even", 3)).successful);
  EXPECT_FALSE(node->set_parameter(rclcpp::Parameter("even", 12)).successful);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("even", 10)).successful);

  ParameterDescriptor unit;
  unit.floating_point_range.resize(1);
  unit.floating_point_range[0].from_value = 0.0;
  unit.floating_point_range[0].to_value = 1.0;
  EXPECT_THROW(
    node->declare_parameter("unit", 1.5, unit), rclcpp::exceptions::InvalidParameterValueException);
  EXPECT_FALSE(node->has_parameter("unit"));
}

TEST_F(ParametersTest, OnSetCallbacksRunSynchronouslyBeforeStoringAndCanReject)
{
  auto node = std::make_shared<rclcpp::Node>("callbacks");
  node->declare_parameter("max_vel", 1.0);
  node->declare_parameter("min_vel", 0.0);

  std::vector<double> seen_old_values;
  auto handle = node->add_on_set_parameters_callback(
    [&node, &seen_old_values](const std::vector<rclcpp::Parameter> & parameters) {
      seen_old_values.push_back(node->get_parameter("max_vel").as_double());
      for (const auto & parameter : parameters) {
        if (parameter.get_name() == "max_vel" && parameter.as_double() > 2.0) {
          return reject("max_vel above 2.0");
        }
      }
      return accept();
    });

  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("max_vel", 1.5)).successful);
  ASSERT_EQ(seen_old_values.size(), 1u);
  EXPECT_DOUBLE_EQ(seen_old_values[0], 1.0);
  EXPECT_DOUBLE_EQ(node->get_parameter("max_vel").as_double(), 1.5);

  const auto results = node->set_parameters(
    {rclcpp::Parameter("min_vel", 0.1), rclcpp::Parameter("max_vel", 3.0)});
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].successful);
  EXPECT_FALSE(results[1].successful);
  EXPECT_EQ(results[1].reason, "max_vel above 2.0");
  EXPECT_DOUBLE_EQ(node->get_parameter("min_vel").as_double(), 0.1);
  EXPECT_DOUBLE_EQ(node->get_parameter("max_vel").as_double(), 1.5);

  // Atomic: one rejected value keeps all of them.
  const auto atomic = node->set_parameters_atomically(
    {rclcpp::Parameter("min_vel", 0.2), rclcpp::Parameter("max_vel", 3.0)});
  EXPECT_FALSE(atomic.successful);
  EXPECT_DOUBLE_EQ(node->get_parameter("min_vel").as_double(), 0.1);

  // A rejected initial value makes the declaration fail.
  try {
    node->declare_parameter(
      "other", 0.0, ParameterDescriptor(), false);
    auto veto = node->add_on_set_parameters_callback(
      [](const std::vector<rclcpp::Parameter> &) {return reject("no");});
    node->declare_parameter("vetoed", 1.0);
    FAIL() << "declaration must fail";
  } catch (const rclcpp::exceptions::InvalidParameterValueException & error) {
    EXPECT_STREQ(error.what(), "parameter 'vetoed' could not be set: no");
  }

  // Releasing the handle unregisters the callback.
  handle.reset();
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("max_vel", 3.0)).successful);
  EXPECT_EQ(seen_old_values.size(), 5u);
}

TEST_F(ParametersTest, CallbackOrderRemovalAndRecursionGuard)
{
  auto node = std::make_shared<rclcpp::Node>("callback_rules");
  node->declare_parameter("value", 0);
  std::vector<std::string> order;
  auto first = node->add_on_set_parameters_callback(
    [&order](const std::vector<rclcpp::Parameter> &) {order.push_back("first"); return accept();});
  auto second = node->add_on_set_parameters_callback(
    [&order](const std::vector<rclcpp::Parameter> &) {order.push_back("second"); return accept();});
  node->set_parameter(rclcpp::Parameter("value", 1));
  EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));

  node->remove_on_set_parameters_callback(second.get());
  order.clear();
  node->set_parameter(rclcpp::Parameter("value", 2));
  EXPECT_EQ(order, (std::vector<std::string>{"first"}));
  EXPECT_THROW(node->remove_on_set_parameters_callback(second.get()), std::runtime_error);

  auto meddler = node->add_on_set_parameters_callback(
    [&node](const std::vector<rclcpp::Parameter> &) {
      node->set_parameter(rclcpp::Parameter("value", 99));
      return accept();
    });
  EXPECT_THROW(
    node->set_parameter(rclcpp::Parameter("value", 3)),
    rclcpp::exceptions::ParameterModifiedInCallbackException);
  EXPECT_EQ(node->get_parameter("value").as_int(), 2);
}

TEST_F(ParametersTest, PrefixQueriesAndAutomaticDeclaration)
{
  auto node = std::make_shared<rclcpp::Node>(
    "prefixed", rclcpp::NodeOptions()
    .append_parameter_override("FollowPath.max_vel_x", 0.26)
    .append_parameter_override("FollowPath.plugin", std::string("dwb_core::DWBLocalPlanner"))
    .automatically_declare_parameters_from_overrides(true));
  EXPECT_TRUE(node->has_parameter("FollowPath.max_vel_x"));
  EXPECT_THROW(
    node->declare_parameter("FollowPath.max_vel_x", 0.1),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
  std::map<std::string, rclcpp::Parameter> values;
  EXPECT_TRUE(node->get_node_parameters_interface()->get_parameters_by_prefix("FollowPath", values));
  EXPECT_EQ(values.size(), 2u);
  EXPECT_EQ(values.at("plugin").as_string(), "dwb_core::DWBLocalPlanner");
  std::map<std::string, double> doubles;
  node->declare_parameter("limits.a", 1.0);
  node->declare_parameter("limits.b", 2.0);
  EXPECT_TRUE(node->get_parameters("limits", doubles));
  EXPECT_EQ(doubles, (std::map<std::string, double>{{"a", 1.0}, {"b", 2.0}}));
  // Automatically declared overrides are dynamically typed.
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("FollowPath.max_vel_x", 1)).successful);
}

TEST(ParameterValueTest, TypedAccessNeverConverts)
{
  const rclcpp::ParameterValue integer(5);
  EXPECT_EQ(integer.get<int64_t>(), 5);
  EXPECT_EQ(integer.get<int>(), 5);
  EXPECT_THROW(integer.get<double>(), rclcpp::ParameterTypeException);
  try {
    integer.get<std::string>();
  } catch (const rclcpp::ParameterTypeException & error) {
    EXPECT_STREQ(error.what(), "expected [string] got [integer]");
  }
  const rclcpp::ParameterValue list(std::vector<int>{1, 2});
  EXPECT_EQ(list.get<std::vector<int64_t>>(), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(rclcpp::to_string(list), "[1, 2]");
  EXPECT_EQ(rclcpp::Parameter("flags", std::vector<bool>{true, false}).value_to_string(), "[true, false]");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_DOUBLE_ARRAY), "double_array");
  EXPECT_EQ(rclcpp::ParameterType::PARAMETER_DOUBLE, rclcpp::PARAMETER_DOUBLE);
}

class InitArgumentsTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    rclcpp::shutdown();
  }
};

TEST_F(InitArgumentsTest, CommandLineParametersApplyToEveryNodeAndYieldToNodeOptions)
{
  rclcpp_test::restart(
    {"--ros-args", "-p", "speed:=2.5", "-p", "name:=robot", "--param", "flags:=[true, false]",
      "-p", "ids:=[1, 2]", "-p", "quoted:='7'", "-p", "limit:=5"});
  auto node = std::make_shared<rclcpp::Node>("anywhere", "/some/ns");
  EXPECT_DOUBLE_EQ(node->declare_parameter("speed", 0.1), 2.5);
  EXPECT_EQ(node->declare_parameter("name", ""), "robot");
  EXPECT_EQ(node->declare_parameter("flags", std::vector<bool>{}), (std::vector<bool>{true, false}));
  EXPECT_EQ(node->declare_parameter("ids", std::vector<int64_t>{}), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(node->declare_parameter("quoted", ""), "7");

  auto preferred = std::make_shared<rclcpp::Node>(
    "preferred", rclcpp::NodeOptions().append_parameter_override("limit", 9));
  EXPECT_EQ(preferred->declare_parameter("limit", 0), 9);
  auto isolated = std::make_shared<rclcpp::Node>(
    "isolated", rclcpp::NodeOptions().use_global_arguments(false));
  EXPECT_EQ(isolated->declare_parameter("limit", 0), 0);
  auto own_args = std::make_shared<rclcpp::Node>(
    "own_args", rclcpp::NodeOptions().arguments({"--ros-args", "-p", "limit:=6"}));
  EXPECT_EQ(own_args->declare_parameter("limit", 0), 6);
}

TEST_F(InitArgumentsTest, ParamsFileIsMatchedByNodeNameAndFlattened)
{
  const auto path = write_file(
    "params_ok.yaml",
    "/**:\n"
    "  ros__parameters:\n"
    "    common: 1\n"
    "controller_server:\n"
    "  ros__parameters:\n"
    "    speed: 0.7\n"
    "    quoted: \"42\"\n"
    "    ints: [1, 2, 3]\n"
    "    FollowPath:\n"
    "      plugin: dwb_core::DWBLocalPlanner\n"
    "      max_vel_x: 0.26\n"
    "/other_ns/other_node:\n"
    "  ros__parameters:\n"
    "    speed: 9.0\n");
  rclcpp_test::restart({"node_binary", "--ros-args", "--params-file", path, "-p", "common:=5"});
  EXPECT_EQ(
    rclcpp::remove_ros_arguments(
      4, std::vector<const char *>{"prog", "--ros-args", "-p", "x:=1"}.data()),
    (std::vector<std::string>{"prog"}));

  auto server = std::make_shared<rclcpp::Node>("controller_server");
  EXPECT_DOUBLE_EQ(server->declare_parameter("speed", 0.0), 0.7);
  EXPECT_EQ(server->declare_parameter("quoted", ""), "42");
  EXPECT_EQ(server->declare_parameter("ints", std::vector<int64_t>{}), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(server->declare_parameter("FollowPath.plugin", ""), "dwb_core::DWBLocalPlanner");
  EXPECT_DOUBLE_EQ(server->declare_parameter("FollowPath.max_vel_x", 0.0), 0.26);
  // The -p after the file wins.
  EXPECT_EQ(server->declare_parameter("common", 0), 5);

  auto other = std::make_shared<rclcpp::Node>("other_node", "other_ns");
  EXPECT_DOUBLE_EQ(other->declare_parameter("speed", 0.0), 9.0);
  // "controller_server:" names the root-namespace node only.
  auto namespaced = std::make_shared<rclcpp::Node>("controller_server", "/robot1");
  EXPECT_DOUBLE_EQ(namespaced->declare_parameter("speed", 0.0), 0.0);
  EXPECT_EQ(namespaced->declare_parameter("common", 0), 5);
}

TEST_F(InitArgumentsTest, MalformedParamsFileNamesFileAndLine)
{
  const auto path = write_file(
    "params_bad.yaml",
    "controller_server:\n"
    "  ros__parameters:\n"
    "    speed: [0.1, 0.2\n"
    "    other: 1\n");
  try {
    rclcpp_test::restart({"--ros-args", "--params-file", path});
    FAIL() << "a malformed params file must be refused";
  } catch (const rclcpp::exceptions::RCLInvalidROSArgsError & error) {
    const std::string what = error.what();
    EXPECT_NE(what.find("Couldn't parse params file: '--params-file " + path + "'"), std::string::npos) << what;
    EXPECT_NE(what.find(path + ":"), std::string::npos) << what;
    EXPECT_EQ(error.file, path);
    EXPECT_GE(error.line, 3u);
  }
  EXPECT_FALSE(rclcpp::ok());

  const auto mixed = write_file(
    "params_mixed.yaml",
    "node:\n"
    "  ros__parameters:\n"
    "    fine: 1\n"
    "    mixed: [1, 2.5]\n");
  try {
    rclcpp_test::restart({"--ros-args", "--params-file", mixed});
    FAIL() << "mixed sequences must be refused";
  } catch (const rclcpp::exceptions::RCLInvalidROSArgsError & error) {
    EXPECT_EQ(error.line, 4u);
    EXPECT_NE(std::string(error.what()).find("Sequence should be of same type"), std::string::npos);
  }
  EXPECT_THROW(
    rclcpp_test::restart({"--ros-args", "--params-file", "/nonexistent/params.yaml"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
}

TEST_F(InitArgumentsTest, BadCommandLineArgumentsAreRefused)
{
  try {
    rclcpp_test::restart({"--ros-args", "-p", "speed"});
    FAIL();
  } catch (const rclcpp::exceptions::RCLInvalidROSArgsError & error) {
    EXPECT_NE(std::string(error.what()).find("'-p speed'"), std::string::npos) << error.what();
  }
  EXPECT_THROW(
    rclcpp_test::restart({"--ros-args", "-p", "a:=[1, 2"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  EXPECT_THROW(
    rclcpp_test::restart({"--ros-args", "--params-file"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  try {
    rclcpp_test::restart({"--ros-args", "--unknown-flag", "--", "--not-ros"});
    FAIL();
  } catch (const rclcpp::exceptions::UnknownROSArgsError & error) {
    EXPECT_EQ(error.unknown_ros_args, (std::vector<std::string>{"--unknown-flag"}));
  }
  // Arguments outside --ros-args are the program's own.
  rclcpp_test::restart({"--flag", "-p", "--ros-args", "-p", "x:=1", "--", "-p"});
  EXPECT_TRUE(rclcpp::ok());
}

TEST(InitDeathTest, UncaughtArgumentErrorEndsTheProgram)
{
  const auto path = write_file("params_death.yaml", "node: [unclosed\n");
  const std::vector<const char *> argv{"prog", "--ros-args", "--params-file", path.c_str()};
  // As in a main() that does not catch: the exception terminates the program.
  const auto uncaught_init = [&argv]() noexcept {rclcpp::init(4, argv.data());};
  EXPECT_DEATH(uncaught_init(), "Couldn't parse params file");
}

TEST(InitLifecycleTest, InitOkShutdownCycle)
{
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_THROW(std::make_shared<rclcpp::Node>("too_early"), rclcpp::exceptions::RCLError);
  rclcpp_test::restart();
  EXPECT_TRUE(rclcpp::ok());
  const char * argv[] = {"prog"};
  EXPECT_THROW(rclcpp::init(1, argv), rclcpp::ContextAlreadyInitialized);
  bool called = false;
  rclcpp::on_shutdown([&called]() {called = true;});
  EXPECT_TRUE(rclcpp::shutdown());
  EXPECT_TRUE(called);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::sleep_for(std::chrono::nanoseconds(1)));
}

}  // namespace
