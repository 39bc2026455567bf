#include "scenario_runner.hpp"

#include <cmath>
#include <iomanip>
#include <sstream>

namespace velmora_apps
{

namespace
{
using namespace std::chrono_literals;

constexpr auto kServerWait = 5s;
constexpr auto kReplyWait = 5s;
constexpr auto kProgressPeriod = 1s;

std::string statusName(rclcpp_action::ResultCode code)
{
  switch (code) {
    case rclcpp_action::ResultCode::SUCCEEDED: return "SUCCEEDED";
    case rclcpp_action::ResultCode::CANCELED: return "CANCELED";
    case rclcpp_action::ResultCode::ABORTED: return "ABORTED";
    default: return "UNKNOWN";
  }
}

std::chrono::steady_clock::duration seconds(double value)
{
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
    std::chrono::duration<double>(value));
}
}  // namespace

ScenarioRunner::ScenarioRunner(
  const velmora_sim_robot::SimRobot & robot, std::ostream & out, GoalObserver * observer)
: robot_(robot), out_(out), observer_(observer), node_(std::make_shared<rclcpp::Node>("scenario_client"))
{
  client_ = rclcpp_action::create_client<Action>(node_, "control_to_goal");
  executor_.add_node(node_);
  spinner_ = std::thread([this] {executor_.spin();});
}

ScenarioRunner::~ScenarioRunner()
{
  while (!executor_.is_spinning()) {
    std::this_thread::yield();
  }
  executor_.cancel();
  spinner_.join();
}

bool ScenarioRunner::run(const Scenario & scenario)
{
  if (!client_->wait_for_action_server(kServerWait)) {
    out_ << "no action server \"control_to_goal\"" << std::endl;
    return false;
  }
  goal_count_ = scenario.goals.size();
  out_ << "robot starts at " << robotPose() << std::endl;

  bool all_as_expected = true;
  std::vector<SentGoal> running;
  for (std::size_t index = 0; index < scenario.goals.size(); ++index) {
    const ScenarioGoal & goal = scenario.goals[index];
    if (!send(index, goal, running)) {
      all_as_expected = false;
      continue;
    }
    const SentGoal & latest = running.back();
    if (goal.preempt_after_seconds) {
      // The next goal is sent while this one still runs.
      waitReporting(latest, latest.sent_at + seconds(*goal.preempt_after_seconds));
      continue;
    }
    if (goal.cancel_after_seconds) {
      waitReporting(latest, latest.sent_at + seconds(*goal.cancel_after_seconds));
      cancel(latest);
    }
    for (const SentGoal & sent : running) {
      all_as_expected = finish(sent) && all_as_expected;
    }
    running.clear();
  }
  out_ << (all_as_expected ? "every goal ended as expected" : "some goal did not end as expected")
       << std::endl;
  return all_as_expected;
}

bool ScenarioRunner::send(std::size_t index, const ScenarioGoal & goal, std::vector<SentGoal> & sent)
{
  auto count = std::make_shared<std::atomic<std::size_t>>(0);
  feedback_counts_[index] = count;
  rclcpp_action::Client<Action>::SendGoalOptions options;
  options.feedback_callback =
    [count](GoalHandle::SharedPtr, const std::shared_ptr<const Action::Feedback>) {++*count;};

  SentGoal entry{index, &goal, nullptr, {}, std::chrono::steady_clock::now()};
  out_ << label(entry) << " \"" << goal.name << "\": " << goal.goal.controller_id << " at "
       << goal.goal.controller_frequency << " Hz, expecting " << goal.expected_status << std::endl;
  if (observer_) {
    observer_->goalSent(index);
  }
  auto accepted = client_->async_send_goal(goal.goal, options);
  if (accepted.wait_for(kReplyWait) != std::future_status::ready || !accepted.get()) {
    out_ << label(entry) << " was not accepted" << std::endl;
    if (observer_) {
      observer_->goalFinished(index, "NOT ACCEPTED");
    }
    return false;
  }
  entry.handle = accepted.get();
  entry.result = client_->async_get_result(entry.handle);
  sent.push_back(entry);
  return true;
}

void ScenarioRunner::waitReporting(
  const SentGoal & sent, std::chrono::steady_clock::time_point until)
{
  auto next_report = std::chrono::steady_clock::now() + kProgressPeriod;
  while (std::chrono::steady_clock::now() < until) {
    const auto wake = std::min(until, next_report);
    if (sent.result.wait_until(wake) == std::future_status::ready) {
      return;
    }
    if (std::chrono::steady_clock::now() >= next_report) {
      out_ << "  " << label(sent) << ": " << feedback_counts_[sent.index]->load()
           << " cycles, robot at " << robotPose() << std::endl;
      next_report += kProgressPeriod;
    }
  }
}

void ScenarioRunner::cancel(const SentGoal & sent)
{
  if (sent.result.wait_for(0s) == std::future_status::ready) {
    return;
  }
  out_ << "  " << label(sent) << ": cancel requested" << std::endl;
  try {
    client_->async_cancel_goal(sent.handle).wait_for(kReplyWait);
  } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
    // The result arrived meanwhile; the client no longer tracks the goal.
  }
}

bool ScenarioRunner::finish(const SentGoal & sent)
{
  waitReporting(sent, sent.sent_at + seconds(sent.goal->timeout_seconds));
  std::string status = "TIMEOUT";
  if (sent.result.wait_for(0s) == std::future_status::ready) {
    status = statusName(sent.result.get().code);
  } else {
    cancel(sent);
  }
  if (observer_) {
    observer_->goalFinished(sent.index, status);
  }
  const auto command = robot_.command();
  const bool stopped = command.vx == 0.0 && command.vy == 0.0 && command.wz == 0.0;
  const bool as_expected = status == sent.goal->expected_status;
  out_ << label(sent) << " \"" << sent.goal->name << "\": " << status
       << (as_expected ? " as expected" : " but expected " + sent.goal->expected_status)
       << "; " << feedback_counts_[sent.index]->load() << " cycles; robot "
       << (stopped ? "stopped" : "still commanded") << " at " << robotPose() << std::endl;
  return as_expected;
}

std::string ScenarioRunner::robotPose() const
{
  const auto pose = robot_.mapPose();
  std::ostringstream text;
  text << std::fixed << std::setprecision(3) << "(x " << pose.x << ", y " << pose.y
       << ", yaw " << pose.yaw << ")";
  return text.str();
}

std::string ScenarioRunner::label(const SentGoal & sent) const
{
  return "[goal " + std::to_string(sent.index + 1) + "/" + std::to_string(goal_count_) + "]";
}

}  // namespace velmora_apps
