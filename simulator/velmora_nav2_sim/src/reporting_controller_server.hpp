#ifndef APPS__REPORTING_CONTROLLER_SERVER_HPP_
#define APPS__REPORTING_CONTROLLER_SERVER_HPP_

#include <memory>
#include <string>

#include "controller/nav_controller_server.hpp"

namespace velmora_apps
{

// The controller server as the launchers host it: a configuration that fails keeps its reason,
// so that the launcher can say which parameter was wrong instead of only that the transition
// failed (the lifecycle library turns the exception into an error result). It also refuses the
// action-server settings that cannot work, which the server would otherwise pass on as they are:
// a result-service depth below 1 and a negative result time-out.
class ReportingControllerServer : public controller::NavControllerServer
{
public:
  using NavControllerServer::NavControllerServer;

  // Why the last configuration failed; empty when it did not.
  const std::string & configurationError() const {return configuration_error_;}

protected:
  CallbackReturn on_configure(const rclcpp_lifecycle::State & state) override;

private:
  void checkActionServerSettings();

  std::string configuration_error_;
};

}  // namespace velmora_apps

#endif  // APPS__REPORTING_CONTROLLER_SERVER_HPP_
