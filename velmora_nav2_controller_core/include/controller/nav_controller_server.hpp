#ifndef CONTROLLER__NAV_CONTROLLER_SERVER_HPP_
#define CONTROLLER__NAV_CONTROLLER_SERVER_HPP_

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "controller/nav_controller_base.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_base_class/velmora_simple_action_server.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"

namespace controller
{

// The controller server: a lifecycle node serving "control_to_goal". Configuration creates the
// action server and the controllers; each goal runs on the action server's worker thread in
// computeControl(), with the controller the goal names.
class NavControllerServer : public rclcpp_lifecycle::LifecycleNode
{
public:
  using Action = velmora_nav2_protocol::action::Controller;
  using ActionServer = nav2_util::VelmoraSimpleActionServer<Action>;

  NavControllerServer(
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> gridmap,
    const rclcpp::NodeOptions & options);

  // Ends a running goal and joins the worker before the members it uses go away.
  ~NavControllerServer() override;

  // Adds or replaces a controller under `name`, for hosts that bring controllers of their own.
  // Like configuration, it must not run while a goal executes.
  void registerController(const std::string & name, std::shared_ptr<NavControllerBase> controller);

protected:
  using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;

  CallbackReturn on_configure(const rclcpp_lifecycle::State & state) override;
  CallbackReturn on_cleanup(const rclcpp_lifecycle::State & state) override;
  CallbackReturn on_shutdown(const rclcpp_lifecycle::State & state) override;
  CallbackReturn on_activate(const rclcpp_lifecycle::State & state) override;
  CallbackReturn on_deactivate(const rclcpp_lifecycle::State & state) override;

  // Executes the current goal from start to end; the action server's execute callback.
  void computeControl();

private:
  using GoalPtr = std::shared_ptr<const Action::Goal>;

  // Stops the robot through the named controller, or with a zero velocity when there is none.
  void stopRobotByController(const std::string & name);
  std::shared_ptr<NavControllerBase> findController(const std::string & name) const;
  // A goal naming no registered controller or carrying no usable frequency cannot run: it is
  // logged, the robot is stopped and the current goal ends ABORTED. Returns whether refused.
  bool refuseUnusableGoal(const Action::Goal & goal);
  // Run mode, goal-check options and plan, in the order every controller expects them.
  bool handOverGoal(NavControllerBase & controller, const GoalPtr & goal);
  // Logs an escaped exception (at most once per two seconds), stops the robot, aborts the goal.
  void endAfterException(const std::string & name, const char * what, bool planner_exception);
  bool exceptionLogAllowed();
  // Ends the running goal and joins the worker, so nothing uses the action server afterwards.
  void shutdownActionServer();

  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_ros_;
  std::shared_ptr<ActionServer> controlller_server_;
  std::shared_ptr<velmora_communicator::CommunicatorEngine> communicator_;
  std::map<std::string, std::shared_ptr<NavControllerBase>> controllers_;
  std::shared_ptr<Action::Feedback> feedback_;
  std::string current_controller_;
  std::chrono::steady_clock::time_point last_exception_log_time_;
  int32_t result_service_qos_depth_{2};
  int32_t result_timeout_seconds_{2};
};

}  // namespace controller

#endif  // CONTROLLER__NAV_CONTROLLER_SERVER_HPP_
