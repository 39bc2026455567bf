#include "reporting_controller_server.hpp"

#include <cstdint>
#include <exception>
#include <stdexcept>

namespace velmora_apps
{

namespace
{
// The lowest usable value of an integer parameter, checked only when the parameter is set (an
// unset one takes the server's default) and of integer type (any other type is the
// declaration's to refuse, with its own message).
void checkAtLeast(
  rclcpp_lifecycle::LifecycleNode & node, const char * name, std::int64_t lowest)
{
  const auto & overrides = node.get_node_parameters_interface()->get_parameter_overrides();
  const auto value = overrides.find(name);
  if (value == overrides.end() || value->second.get_type() != rclcpp::PARAMETER_INTEGER) {
    return;
  }
  if (value->second.get<std::int64_t>() < lowest) {
    throw std::invalid_argument(
            "parameter '" + std::string(name) + "' of node '" + node.get_name() +
            "' must be at least " + std::to_string(lowest) + ", not " +
            std::to_string(value->second.get<std::int64_t>()));
  }
}
}  // namespace

ReportingControllerServer::CallbackReturn ReportingControllerServer::on_configure(
  const rclcpp_lifecycle::State & state)
{
  configuration_error_.clear();
  try {
    checkActionServerSettings();
    return NavControllerServer::on_configure(state);
  } catch (const std::exception & error) {
    configuration_error_ = error.what();
    throw;
  }
}

void ReportingControllerServer::checkActionServerSettings()
{
  checkAtLeast(*this, "result_service_qos_depth", 1);
  checkAtLeast(*this, "result_timeout_seconds", 0);
}

}  // namespace velmora_apps
