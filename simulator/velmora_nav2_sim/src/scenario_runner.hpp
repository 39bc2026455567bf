#ifndef APPS__SCENARIO_RUNNER_HPP_
#define APPS__SCENARIO_RUNNER_HPP_

#include <atomic>
#include <chrono>
#include <cstddef>
#include <future>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "goal_observer.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "scenario.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace velmora_apps
{

// Sends the goals of a scenario to "control_to_goal" through an action client of its own, cancels
// or preempts them as the scenario says, and reports each goal's progress, final status and the
// robot's final pose. An observer, when given, is told when each goal is sent and how it ended.
class ScenarioRunner
{
public:
  ScenarioRunner(
    const velmora_sim_robot::SimRobot & robot, std::ostream & out,
    GoalObserver * observer = nullptr);
  ~ScenarioRunner();

  ScenarioRunner(const ScenarioRunner &) = delete;
  ScenarioRunner & operator=(const ScenarioRunner &) = delete;

  // True when every goal ended with its expected status.
  bool run(const Scenario & scenario);

private:
  using Action = velmora_nav2_protocol::action::Controller;
  using GoalHandle = rclcpp_action::ClientGoalHandle<Action>;

  struct SentGoal
  {
    std::size_t index;
    const ScenarioGoal * goal;
    GoalHandle::SharedPtr handle;
    std::shared_future<GoalHandle::WrappedResult> result;
    std::chrono::steady_clock::time_point sent_at;
  };

  // Sends one goal; false (and reported) when the server did not accept it.
  bool send(std::size_t index, const ScenarioGoal & goal, std::vector<SentGoal> & sent);
  // Waits for the goal's result up to its timeout, then reports it; true when as expected.
  bool finish(const SentGoal & sent);
  // Waits until `until` or until `result` is ready, reporting progress once a second.
  void waitReporting(
    const SentGoal & sent, std::chrono::steady_clock::time_point until);
  void cancel(const SentGoal & sent);
  std::string robotPose() const;
  std::string label(const SentGoal & sent) const;

  const velmora_sim_robot::SimRobot & robot_;
  std::ostream & out_;
  GoalObserver * const observer_;
  std::size_t goal_count_{0};
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
  // Feedback messages received per goal index; written on the executor thread.
  std::map<std::size_t, std::shared_ptr<std::atomic<std::size_t>>> feedback_counts_;
};

}  // namespace velmora_apps

#endif  // APPS__SCENARIO_RUNNER_HPP_
