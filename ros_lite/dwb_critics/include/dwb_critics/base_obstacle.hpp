#ifndef DWB_CRITICS__BASE_OBSTACLE_HPP_
#define DWB_CRITICS__BASE_OBSTACLE_HPP_

#include <string>
#include <utility>
#include <vector>

#include "dwb_core/trajectory_critic.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace dwb_critics
{

// Scores a trajectory by the cost of the cell under the robot's centre at each pose; a pose on a
// lethal, inscribed or unknown cell or off the map makes the trajectory illegal.
class BaseObstacleCritic : public dwb_core::TrajectoryCritic
{
public:
  // Takes the costmap once: the critic keeps reading that grid.
  void onInit() override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
  void addCriticVisualization(
    std::vector<std::pair<std::string, std::vector<float>>> & cost_channels) override;

  // The cost of one pose; throws dwb_core::IllegalTrajectoryException when it may not be taken.
  virtual double scorePose(const geometry_msgs::msg::Pose2D & pose);
  virtual bool isValidCost(const unsigned char cost);

protected:
  nav2_costmap_2d::Costmap2D * costmap_{nullptr};
  bool sum_scores_{false};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__BASE_OBSTACLE_HPP_
