// The script of the scripted trajectory generator and critic (scripted_dwb_plugins.cpp), so that
// the DWB controller and its planner can be checked against exact commands. The plugins are
// opened by pluginlib like any others; the script lives in a library of its own that both they
// and the test program link, so that both see the one instance.
#ifndef SCRIPTED_DWB__SCRIPT_HPP_
#define SCRIPTED_DWB__SCRIPT_HPP_

#include <cmath>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "nav_2d_msgs/msg/twist2_d.hpp"

namespace scripted_dwb
{

// One sampled command: the trajectory it yields (offsets from the start pose, in the start
// pose's frame axes) and the critic's score for it; a negative score makes it illegal.
struct Sample
{
  double vx{0.0};
  double vy{0.0};
  double wz{0.0};
  std::vector<geometry_msgs::msg::Pose2D> offsets;
  double score{0.0};
};

struct Script
{
  std::vector<Sample> samples;
  // What the planner handed to the generator in the latest iteration.
  nav_2d_msgs::msg::Twist2D start_velocity;
  int iterations{0};
  std::vector<double> speed_limits;
  // What the critic's prepare answers.
  bool critic_prepares{true};

  void reset()
  {
    *this = Script();
  }
};

Script & script();

inline geometry_msgs::msg::Pose2D offset(double x, double y, double theta)
{
  geometry_msgs::msg::Pose2D pose;
  pose.x = x;
  pose.y = y;
  pose.theta = theta;
  return pose;
}

// A straight trajectory of `steps` equal steps of `step` metres along heading `heading`.
inline std::vector<geometry_msgs::msg::Pose2D> straight(double step, int steps, double heading)
{
  std::vector<geometry_msgs::msg::Pose2D> poses;
  for (int i = 0; i <= steps; ++i) {
    poses.push_back(
      offset(i * step * std::cos(heading), i * step * std::sin(heading), heading));
  }
  return poses;
}

}  // namespace scripted_dwb

#endif  // SCRIPTED_DWB__SCRIPT_HPP_
