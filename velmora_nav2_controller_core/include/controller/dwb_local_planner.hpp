#ifndef CONTROLLER__DWB_LOCAL_PLANNER_HPP_
#define CONTROLLER__DWB_LOCAL_PLANNER_HPP_

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "dwb_core/dwb_local_planner.hpp"
#include "dwb_msgs/msg/local_plan_evaluation.hpp"
#include "dwb_msgs/msg/trajectory_score.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav_2d_msgs/msg/pose2_d_stamped.hpp"
#include "nav_2d_msgs/msg/twist2_d.hpp"
#include "nav_2d_msgs/msg/twist2_d_stamped.hpp"
#include "nav_msgs/msg/path.hpp"

namespace controller
{

// The dynamic-window planner of the DWB controller. It plans like the library's planner and adds
// what the controller needs: the poses of the trajectory it chose last (for the force-rotate rule
// and the rotation intent), a goal test against the plan still ahead, and a plan hand-over that
// also sets a speed limit. The transformed plan is never published, and when no trajectory is
// legal the reasons go to the process log with their error code.
class LocalPlanner : public dwb_core::DWBLocalPlanner
{
public:
  // Error code logged with the diagnostics of a search that found no legal trajectory.
  static constexpr int kErrorNoLegalTrajectory = 101100001;

  LocalPlanner() = default;
  ~LocalPlanner() override = default;

  // Resets the critics and the generator, publishes and stores the plan.
  void setPlan(const nav_msgs::msg::Path & path) override;
  // The same, with the generator's speed limited to speed_ratio of its maximum (1.0 = 100 %).
  void setPlan(const nav_msgs::msg::Path & path, double speed_ratio);

  // The goal checker is not used: arrival is the controller's decision.
  geometry_msgs::msg::TwistStamped computeVelocityCommands(
    const geometry_msgs::msg::PoseStamped & pose,
    const geometry_msgs::msg::Twist & velocity,
    nav2_core::GoalChecker * goal_checker) override;
  nav_2d_msgs::msg::Twist2DStamped computeVelocityCommands(
    const nav_2d_msgs::msg::Pose2DStamped & pose,
    const nav_2d_msgs::msg::Twist2D & velocity,
    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results) override;

  // True when the plan still ahead (from its pose nearest `pose`) is at most `tolerance` long
  // and its last pose is within `tolerance` of `pose` (given in the frame the plan is stored
  // in). An emptied plan has no end to be at, so it answers false.
  bool isGoalReached(geometry_msgs::msg::PoseStamped & pose, double tolerance);

  // Poses of the trajectory chosen by the last successful search, in trajectory order.
  const std::vector<geometry_msgs::msg::Pose2D> & lastTrajectoryPoses() const
  {
    return last_trajectory_poses_;
  }

protected:
  dwb_msgs::msg::TrajectoryScore coreScoringAlgorithm(
    const geometry_msgs::msg::Pose2D & pose,
    const nav_2d_msgs::msg::Twist2D velocity,
    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results) override;

  std::vector<geometry_msgs::msg::Pose2D> last_trajectory_poses_;

private:
  void takePlan(const nav_msgs::msg::Path & path, std::optional<double> speed_ratio);
  // Index of the stored plan's pose where the plan ahead of (x, y) begins; `slack` (m) is how
  // much farther than the nearest pose that one may be.
  std::size_t firstPoseAhead(double x, double y, double slack) const;
};

}  // namespace controller

#endif  // CONTROLLER__DWB_LOCAL_PLANNER_HPP_
