#ifndef DWB_TEST_PLUGINS_HPP_
#define DWB_TEST_PLUGINS_HPP_

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dwb_core/trajectory_critic.hpp"
#include "dwb_core/trajectory_generator.hpp"

// Generator and critic plugins whose behaviour a test scripts, and which note what the planner
// asks of them. They register for the planner's plugin bases like any other plugin, so the
// planner loads them by name.
namespace dwb_test_plugins
{

// The calls of every plugin sharing it, in order ("<who>.<call>").
using Journal = std::vector<std::string>;

// Offers `twists` in order. The trajectory of a twist drives it for `steps` steps of 0.1 s from
// the start pose, in the start pose's frame without turning.
class ScriptedGenerator : public dwb_core::TrajectoryGenerator
{
public:
  void initialize(
    const nav2_util::LifecycleNode::SharedPtr & nh, const std::string & plugin_name) override;
  void reset() override;
  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) override;
  bool hasMoreTwists() override;
  nav_2d_msgs::msg::Twist2D nextTwist() override;
  dwb_msgs::msg::Trajectory2D generateTrajectory(
    const geometry_msgs::msg::Pose2D & start_pose,
    const nav_2d_msgs::msg::Twist2D & start_vel,
    const nav_2d_msgs::msg::Twist2D & cmd_vel) override;
  void setSpeedLimit(const double & speed_limit, const bool & percentage) override;

  std::vector<nav_2d_msgs::msg::Twist2D> twists;
  int steps = 5;
  Journal * journal = nullptr;

  std::string plugin_name;
  nav_2d_msgs::msg::Twist2D iteration_velocity;
  std::vector<std::pair<double, bool>> speed_limits;

private:
  size_t next_ = 0;
};

// Scores with `score` (0 when unset); refuses a trajectory with IllegalTrajectoryException when
// `refusal` gives a non-empty reason for it.
class FunctionCritic : public dwb_core::TrajectoryCritic
{
public:
  void onInit() override;
  void reset() override;
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
  void debrief(const nav_2d_msgs::msg::Twist2D & cmd_vel) override;
  void addCriticVisualization(
    std::vector<std::pair<std::string, std::vector<float>>> & cost_channels) override;

  std::function<double(const dwb_msgs::msg::Trajectory2D &)> score;
  std::function<std::string(const dwb_msgs::msg::Trajectory2D &)> refusal;
  bool prepare_result = true;
  std::vector<std::pair<std::string, std::vector<float>>> visualization;
  Journal * journal = nullptr;

  bool initialized = false;
  int scored = 0;
  geometry_msgs::msg::Pose2D prepared_goal;
  nav_2d_msgs::msg::Path2D prepared_plan;
  std::vector<nav_2d_msgs::msg::Twist2D> debriefed;

private:
  void note(const std::string & call);
};

}  // namespace dwb_test_plugins

#endif  // DWB_TEST_PLUGINS_HPP_
