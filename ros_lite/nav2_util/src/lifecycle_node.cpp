#include "nav2_util/lifecycle_node.hpp"

#include "lifecycle_msgs/msg/state.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"

namespace nav2_util
{

namespace
{

rcl_interfaces::msg::ParameterDescriptor describe(
  const std::string & name, const std::string & description,
  const std::string & additional_constraints, bool read_only)
{
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.name = name;
  descriptor.description = description;
  descriptor.additional_constraints = additional_constraints;
  descriptor.read_only = read_only;
  return descriptor;
}

}  // namespace

LifecycleNode::LifecycleNode(
  const std::string & node_name, const std::string & ns, const rclcpp::NodeOptions & options)
: rclcpp_lifecycle::LifecycleNode(node_name, ns, options)
{
  // Servers never time out their lifecycle manager's heartbeat.
  this->declare_parameter("bond_disable_heartbeat_timeout", true);
  this->set_parameter(rclcpp::Parameter("bond_disable_heartbeat_timeout", true));

  printLifecycleNodeNotification();
  register_rcl_preshutdown_callback();
}

LifecycleNode::~LifecycleNode()
{
  RCLCPP_INFO(get_logger(), "Destroying");
  runCleanups();
  if (rcl_preshutdown_cb_handle_) {
    get_node_base_interface()->get_context()->remove_on_shutdown_callback(
      *rcl_preshutdown_cb_handle_);
    rcl_preshutdown_cb_handle_.reset();
  }
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const std::string & description, const std::string & additional_constraints, bool read_only)
{
  declare_parameter(
    name, default_value, describe(name, description, additional_constraints, read_only));
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const floating_point_range fp_range, const std::string & description,
  const std::string & additional_constraints, bool read_only)
{
  auto descriptor = describe(name, description, additional_constraints, read_only);
  descriptor.floating_point_range.resize(1);
  descriptor.floating_point_range[0].from_value = fp_range.from_value;
  descriptor.floating_point_range[0].to_value = fp_range.to_value;
  descriptor.floating_point_range[0].step = fp_range.step;
  declare_parameter(name, default_value, descriptor);
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const integer_range int_range, const std::string & description,
  const std::string & additional_constraints, bool read_only)
{
  auto descriptor = describe(name, description, additional_constraints, read_only);
  descriptor.integer_range.resize(1);
  descriptor.integer_range[0].from_value = int_range.from_value;
  descriptor.integer_range[0].to_value = int_range.to_value;
  descriptor.integer_range[0].step = int_range.step;
  declare_parameter(name, default_value, descriptor);
}

void LifecycleNode::on_rcl_preshutdown()
{
  RCLCPP_INFO(
    get_logger(), "Running Nav2 LifecycleNode rcl preshutdown (%s)", this->get_name());
  runCleanups();
}

void LifecycleNode::register_rcl_preshutdown_callback()
{
  rclcpp::Context::SharedPtr context = get_node_base_interface()->get_context();
  rcl_preshutdown_cb_handle_ = std::make_unique<rclcpp::OnShutdownCallbackHandle>(
    context->add_on_shutdown_callback([this]() {this->on_rcl_preshutdown();}));
}

void LifecycleNode::runCleanups()
{
  // Best effort for a node nobody brought down: active -> inactive -> unconfigured.
  if (get_current_state().id() == lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE) {
    this->deactivate();
  }
  if (get_current_state().id() == lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE) {
    this->cleanup();
  }
}

void LifecycleNode::printLifecycleNodeNotification()
{
  RCLCPP_INFO(
    get_logger(),
    "\n\t%s lifecycle node launched. \n"
    "\tWaiting on external lifecycle transitions to activate\n"
    "\tSee https://design.ros2.org/articles/node_lifecycle.html for more information.",
    get_name());
}

}  // namespace nav2_util
