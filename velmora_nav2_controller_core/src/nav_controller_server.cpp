#include "controller/nav_controller_server.hpp"

#include <cstdint>
#include <exception>
#include <utility>

#include "controller/dwb_controller.hpp"
#include "controller/lateral_move_controller.hpp"
#include "controller/pid_controller.hpp"
#include "controller/pid_controller_straight_only.hpp"
#include "controller/teb_controller.hpp"
#include "nav2_core/exceptions.hpp"
#include "rcl_action/action_server.h"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{
constexpr char kNodeName[] = "velmora_nav2_controller";
constexpr char kActionName[] = "control_to_goal";
// An escaped exception is logged at most once per this interval.
constexpr double kExceptionLogIntervalMs = 2000.0;
}  // namespace

NavControllerServer::NavControllerServer(
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> gridmap, const rclcpp::NodeOptions & options)
: rclcpp_lifecycle::LifecycleNode(kNodeName, "", options, true),
  grid_map_ros_(std::move(gridmap))
{
}

NavControllerServer::~NavControllerServer()
{
  shutdownActionServer();
}

void NavControllerServer::registerController(
  const std::string & name, std::shared_ptr<NavControllerBase> controller)
{
  controllers_[name] = std::move(controller);
}

NavControllerServer::CallbackReturn NavControllerServer::on_configure(
  const rclcpp_lifecycle::State & /*state*/)
{
  declare_parameter("result_service_qos_depth", 2, rcl_interfaces::msg::ParameterDescriptor());
  declare_parameter("result_timeout_seconds", 2, rcl_interfaces::msg::ParameterDescriptor());
  declare_parameter(
    "controller_calculate_time_threshold", 200.0, rcl_interfaces::msg::ParameterDescriptor());

  get_parameter("result_service_qos_depth", result_service_qos_depth_);
  get_parameter("result_timeout_seconds", result_timeout_seconds_);

  rcl_action_server_options_t options = rcl_action_server_get_default_options();
  options.result_service_qos.depth = static_cast<size_t>(result_service_qos_depth_);
  options.result_timeout.nanoseconds =
    static_cast<int64_t>(static_cast<double>(result_timeout_seconds_) * 1e9);

  communicator_ = velmora_communicator::CommunicatorEngine::GetInstance();

  // The previous server, if any, finishes its goal and joins its worker before it is replaced.
  shutdownActionServer();
  controlller_server_ = std::make_shared<ActionServer>(
    shared_from_this(), kActionName, [this] {computeControl();}, nullptr, options);

  // The registry holds the controllers that exist; each is created on every configuration.
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node = shared_from_this();
  controllers_["teb_controller"] = std::make_shared<TebController>(node, grid_map_ros_);
  controllers_["dwb_controller"] = std::make_shared<DwbController>(node, grid_map_ros_);
  controllers_["pid_controller"] = std::make_shared<PidController>(node, grid_map_ros_);
  controllers_["pid_controller_straight_only"] =
    std::make_shared<PidControllerStraightOnly>(node, grid_map_ros_);
  controllers_["lateral_move_controller"] =
    std::make_shared<LateralMoveController>(node, grid_map_ros_);

  feedback_ = std::make_shared<Action::Feedback>();
  last_exception_log_time_ = std::chrono::steady_clock::now();
  return CallbackReturn::SUCCESS;
}

NavControllerServer::CallbackReturn NavControllerServer::on_activate(
  const rclcpp_lifecycle::State & /*state*/)
{
  controlller_server_->activate();
  return CallbackReturn::SUCCESS;
}

NavControllerServer::CallbackReturn NavControllerServer::on_deactivate(
  const rclcpp_lifecycle::State & /*state*/)
{
  return CallbackReturn::SUCCESS;
}

NavControllerServer::CallbackReturn NavControllerServer::on_cleanup(
  const rclcpp_lifecycle::State & /*state*/)
{
  shutdownActionServer();
  return CallbackReturn::SUCCESS;
}

NavControllerServer::CallbackReturn NavControllerServer::on_shutdown(
  const rclcpp_lifecycle::State & /*state*/)
{
  return CallbackReturn::SUCCESS;
}

void NavControllerServer::shutdownActionServer()
{
  // The worker is joined while the member still holds the server: the control loop reads the
  // member without a lock, so it must not change while the loop may run.
  if (controlller_server_) {
    controlller_server_->shutdown();
    controlller_server_.reset();
  }
}

std::shared_ptr<NavControllerBase> NavControllerServer::findController(
  const std::string & name) const
{
  const auto entry = controllers_.find(name);
  return entry == controllers_.end() ? nullptr : entry->second;
}

void NavControllerServer::stopRobotByController(const std::string & name)
{
  if (const auto controller = findController(name)) {
    controller->stopRobot();
  } else {
    communicator_->cmdVelUnit()->publishZeroVelocity();
  }
}

bool NavControllerServer::refuseUnusableGoal(const Action::Goal & goal)
{
  if (!findController(goal.controller_id)) {
    VLOG_WARN("No controller named \"{}\", the goal is aborted", goal.controller_id);
  } else if (goal.controller_frequency <= 0) {
    VLOG_WARN(
      "controller_frequency {} is not a usable rate, the goal is aborted",
      goal.controller_frequency);
  } else {
    return false;
  }
  stopRobotByController(goal.controller_id);
  controlller_server_->terminate_current();
  return true;
}

bool NavControllerServer::handOverGoal(NavControllerBase & controller, const GoalPtr & goal)
{
  controller.setRunMode(goal->run_mode);
  controller.setGoalCheckOptions(
    GoalCheckOptions{goal->precise_goal_reaching, goal->goal_check_flag_2,
      goal->goal_check_flag_3});
  return controller.setPlan(goal);
}

bool NavControllerServer::exceptionLogAllowed()
{
  const auto now = std::chrono::steady_clock::now();
  const double elapsed_ms =
    static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
      now - last_exception_log_time_).count()) / 1000000.0;
  if (elapsed_ms > kExceptionLogIntervalMs) {
    last_exception_log_time_ = now;
    return true;
  }
  return false;
}

void NavControllerServer::computeControl()
{
  std::string name;
  try {
    GoalPtr goal = controlller_server_->get_current_goal();
    if (!goal) {
      // The action server has logged why; the worker gives any goal left its final status.
      stopRobotByController(name);
      return;
    }
    VLOG_INFO("Received a goal, begin computing control effort.");
    name = goal->controller_id;
    if (name != current_controller_) {
      current_controller_ = name;
      VLOG_INFO("current_controller is {}", name);
    }
    if (refuseUnusableGoal(*goal)) {
      return;
    }
    VLOG_INFO("start setPlan!");
    const bool plan_taken = handOverGoal(*findController(name), goal);
    VLOG_INFO("finish setPlan!");
    if (!plan_taken) {
      VLOG_INFO("NavControllerServer::computeControl::setPlan failed");
      stopRobotByController(name);
      controlller_server_->terminate_current();
      return;
    }
    auto rate = std::make_shared<rclcpp::WallRate>(static_cast<double>(goal->controller_frequency));

    for (;;) {
      if (!rclcpp::ok()) {
        VLOG_INFO("!rclcpp::ok()");
        stopRobotByController(name);
        controlller_server_->terminate_current();
        return;
      }
      if (!controlller_server_ || !controlller_server_->is_server_active()) {
        if (controlller_server_) {
          controlller_server_->terminate_current();
        }
        stopRobotByController(name);
        VLOG_INFO(
          "NavControllerServer::controlller_server_ == nullptr || "
          "!controlller_server_->is_server_active()");
        return;
      }
      if (controlller_server_->is_cancel_requested()) {
        VLOG_INFO("Goal was canceled. Stopping the robot.");
        controlller_server_->terminate_all();
        stopRobotByController(name);
        return;
      }
      if (controlller_server_->is_preempt_requested()) {
        goal = controlller_server_->accept_pending_goal();
        if (!goal) {
          stopRobotByController(name);
          return;
        }
        name = goal->controller_id;
        if (refuseUnusableGoal(*goal)) {
          return;
        }
        rate = std::make_shared<rclcpp::WallRate>(
          static_cast<double>(goal->controller_frequency));
        if (!handOverGoal(*findController(name), goal)) {
          VLOG_INFO("NavControllerServer::computeControl::setPlan failed");
          stopRobotByController(name);
          controlller_server_->terminate_current();
          return;
        }
      }

      grid_map_ros_->waitForCostmap();
      const auto controller = findController(name);
      if (!controller->computeAndPublishVelocity()) {
        // The controller logged and reported its own error code; the loop has none to add.
        VLOG_WARN("{} failed!!!! error code is {}", name, "reported by the controller");
        stopRobotByController(name);
        controlller_server_->terminate_current();
        return;
      }
      if (controller->isGoalReached()) {
        VLOG_INFO("{} isGoalReached", name);
        stopRobotByController(name);
        controlller_server_->succeeded_current();
        return;
      }
      feedback_->running = true;
      controlller_server_->publish_feedback(feedback_);
      rate->sleep();
    }
  } catch (const nav2_core::PlannerException & exception) {
    endAfterException(name, exception.what(), true);
  } catch (const std::exception & exception) {
    endAfterException(name, exception.what(), false);
  }
}

void NavControllerServer::endAfterException(
  const std::string & name, const char * what, bool planner_exception)
{
  if (exceptionLogAllowed()) {
    VLOG_WARN("Exception: {}", what);
  }
  stopRobotByController(name);
  if (planner_exception) {
    VLOG_WARN("[nav2_core::PlannerException] terminate_current start");
  }
  controlller_server_->terminate_current();
  if (planner_exception) {
    VLOG_WARN("[nav2_core::PlannerException] terminate_current end");
  }
}

}  // namespace controller
