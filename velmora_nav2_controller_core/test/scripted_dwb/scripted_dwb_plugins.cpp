// A trajectory generator and a critic that do what the test's script says.
#include <cmath>
#include <cstddef>
#include <string>

#include "dwb_core/exceptions.hpp"
#include "dwb_core/trajectory_critic.hpp"
#include "dwb_core/trajectory_generator.hpp"
#include "pluginlib/class_list_macros.hpp"
#include "scripted_dwb/script.hpp"

namespace scripted_dwb
{

class ScriptedGenerator : public dwb_core::TrajectoryGenerator
{
public:
  void initialize(const nav2_util::LifecycleNode::SharedPtr &, const std::string &) override {}

  void startNewIteration(const nav_2d_msgs::msg::Twist2D & current_velocity) override
  {
    script().start_velocity = current_velocity;
    ++script().iterations;
    next_ = 0;
  }

  bool hasMoreTwists() override {return next_ < script().samples.size();}

  nav_2d_msgs::msg::Twist2D nextTwist() override
  {
    const Sample & sample = script().samples[next_++];
    nav_2d_msgs::msg::Twist2D twist;
    twist.x = sample.vx;
    twist.y = sample.vy;
    twist.theta = sample.wz;
    return twist;
  }

  dwb_msgs::msg::Trajectory2D generateTrajectory(
    const geometry_msgs::msg::Pose2D & start_pose, const nav_2d_msgs::msg::Twist2D &,
    const nav_2d_msgs::msg::Twist2D & cmd_vel) override
  {
    dwb_msgs::msg::Trajectory2D trajectory;
    trajectory.velocity = cmd_vel;
    for (const auto & step : script().samples[next_ - 1].offsets) {
      trajectory.poses.push_back(
        offset(
          start_pose.x + step.x * std::cos(start_pose.theta) - step.y * std::sin(start_pose.theta),
          start_pose.y + step.x * std::sin(start_pose.theta) + step.y * std::cos(start_pose.theta),
          start_pose.theta + step.theta));
    }
    return trajectory;
  }

  void setSpeedLimit(const double & speed_limit, const bool &) override
  {
    script().speed_limits.push_back(speed_limit);
  }

private:
  std::size_t next_{0};
};

// Scores a trajectory with the score of the sample whose command it carries.
class ScriptedCritic : public dwb_core::TrajectoryCritic
{
public:
  bool prepare(
    const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Twist2D &,
    const geometry_msgs::msg::Pose2D &, const nav_2d_msgs::msg::Path2D &) override
  {
    return script().critic_prepares;
  }

  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & trajectory) override
  {
    for (const Sample & sample : script().samples) {
      if (sample.vx == trajectory.velocity.x && sample.vy == trajectory.velocity.y &&
        sample.wz == trajectory.velocity.theta)
      {
        if (sample.score < 0.0) {
          throw dwb_core::IllegalTrajectoryException(name_, "Scripted refusal.");
        }
        return sample.score;
      }
    }
    throw dwb_core::IllegalTrajectoryException(name_, "Unscripted command.");
  }
};

}  // namespace scripted_dwb

PLUGINLIB_EXPORT_CLASS(scripted_dwb::ScriptedGenerator, dwb_core::TrajectoryGenerator)
PLUGINLIB_EXPORT_CLASS(scripted_dwb::ScriptedCritic, dwb_core::TrajectoryCritic)
