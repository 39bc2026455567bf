#include "dwb_test_plugins.hpp"

#include "dwb_core/exceptions.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace dwb_test_plugins
{

void ScriptedGenerator::initialize(
  const nav2_util::LifecycleNode::SharedPtr & /*nh*/, const std::string & name)
{
  plugin_name = name;
}

void ScriptedGenerator::reset()
{
  if (journal != nullptr) {
    journal->push_back("generator.reset");
  }
}

void ScriptedGenerator::startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity)
{
  iteration_velocity = current_velocity;
  next_ = 0;
}

bool ScriptedGenerator::hasMoreTwists()
{
  return next_ < twists.size();
}

nav_2d_msgs::msg::Twist2D ScriptedGenerator::nextTwist()
{
  return twists.at(next_++);
}

dwb_msgs::msg::Trajectory2D ScriptedGenerator::generateTrajectory(
  const geometry_msgs::msg::Pose2D & start_pose,
  const nav_2d_msgs::msg::Twist2D & /*start_vel*/,
  const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  dwb_msgs::msg::Trajectory2D traj;
  traj.velocity = cmd_vel;
  for (int i = 0; i < steps; ++i) {
    const double t = 0.1 * i;
    geometry_msgs::msg::Pose2D pose = start_pose;
    pose.x += cmd_vel.x * t;
    pose.y += cmd_vel.y * t;
    traj.poses.push_back(pose);
    traj.time_offsets.push_back(rclcpp::Duration::from_seconds(t));
  }
  return traj;
}

void ScriptedGenerator::setSpeedLimit(const double & speed_limit, const bool & percentage)
{
  speed_limits.emplace_back(speed_limit, percentage);
}

void FunctionCritic::onInit()
{
  initialized = true;
}

void FunctionCritic::reset()
{
  note("reset");
}

bool FunctionCritic::prepare(
  const geometry_msgs::msg::Pose2D & /*pose*/, const nav_2d_msgs::msg::Twist2D & /*vel*/,
  const geometry_msgs::msg::Pose2D & goal, const nav_2d_msgs::msg::Path2D & global_plan)
{
  note("prepare");
  prepared_goal = goal;
  prepared_plan = global_plan;
  return prepare_result;
}

double FunctionCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  ++scored;
  if (refusal) {
    const std::string reason = refusal(traj);
    if (!reason.empty()) {
      throw dwb_core::IllegalTrajectoryException(name_, reason);
    }
  }
  return score ? score(traj) : 0.0;
}

void FunctionCritic::debrief(const nav_2d_msgs::msg::Twist2D & cmd_vel)
{
  note("debrief");
  debriefed.push_back(cmd_vel);
}

void FunctionCritic::addCriticVisualization(
  std::vector<std::pair<std::string, std::vector<float>>> & cost_channels)
{
  cost_channels.insert(cost_channels.end(), visualization.begin(), visualization.end());
}

void FunctionCritic::note(const std::string & call)
{
  if (journal != nullptr) {
    journal->push_back(name_ + "." + call);
  }
}

}  // namespace dwb_test_plugins

PLUGINLIB_EXPORT_CLASS(dwb_test_plugins::ScriptedGenerator, dwb_core::TrajectoryGenerator)
PLUGINLIB_EXPORT_CLASS(dwb_test_plugins::FunctionCritic, dwb_core::TrajectoryCritic)
