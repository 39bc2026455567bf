#ifndef DWB_CORE__DWB_LOCAL_PLANNER_HPP_
#define DWB_CORE__DWB_LOCAL_PLANNER_HPP_

#include <memory>
#include <string>
#include <vector>

#include "dwb_core/publisher.hpp"
#include "dwb_core/trajectory_critic.hpp"
#include "dwb_core/trajectory_generator.hpp"
#include "dwb_msgs/msg/local_plan_evaluation.hpp"
#include "dwb_msgs/msg/trajectory_score.hpp"
#include "nav2_core/controller.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav_2d_msgs/msg/path2_d.hpp"
#include "nav_2d_msgs/msg/pose2_d_stamped.hpp"
#include "nav_2d_msgs/msg/twist2_d_stamped.hpp"
#include "pluginlib/class_list_macros.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace dwb_core
{

// A dynamic-window local planner: every cycle the trajectory generator samples the velocities
// reachable from the current one, simulates the trajectory of each, the critics score them
// and the cheapest legal trajectory's velocity is the command. Generator and critics are
// plugins named by the planner's parameters.
class DWBLocalPlanner : public nav2_core::Controller
{
public:
  DWBLocalPlanner();

  // Reads the parameters under "<name>.", creates the publisher, the generator and the
  // critics. Rethrows what loading the critics throws ("critics" is required).
  void configure(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
    std::string name, std::shared_ptr<tf2_ros::Buffer> tf,
    std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;

  virtual ~DWBLocalPlanner() {}

  void activate() override;
  void deactivate() override;
  void cleanup() override;

  // A new plan: every critic and the generator start over.
  void setPlan(const nav_msgs::msg::Path & path) override;

  // The 2D search on the projected pose and velocity; publishes the evaluation also when the
  // search fails (and rethrows). Only the twist of the result is filled.
  geometry_msgs::msg::TwistStamped computeVelocityCommands(
    const geometry_msgs::msg::PoseStamped & pose,
    const geometry_msgs::msg::Twist & velocity,
    nav2_core::GoalChecker * /*goal_checker*/) override;

  // The weighted sum of the critics' scores. Critics of scale 0 are not asked. With short
  // circuiting on and a best_score > 0 the sum stops as soon as it exceeds best_score, since
  // it only grows. A critic may throw IllegalTrajectoryException.
  virtual dwb_msgs::msg::TrajectoryScore scoreTrajectory(
    const dwb_msgs::msg::Trajectory2D & traj,
    double best_score = -1);

  // One planning cycle; results, when given, receives every scored trajectory.
  virtual nav_2d_msgs::msg::Twist2DStamped computeVelocityCommands(
    const nav_2d_msgs::msg::Pose2DStamped & pose,
    const nav_2d_msgs::msg::Twist2D & velocity,
    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results);

  void setSpeedLimit(const double & speed_limit, const bool & percentage) override
  {
    if (traj_generator_) {
      traj_generator_->setSpeedLimit(speed_limit, percentage);
    }
  }

protected:
  // The plan near the robot in the costmap frame, and the plan's last pose as the goal in that
  // frame.
  void prepareGlobalPlan(
    const nav_2d_msgs::msg::Pose2DStamped & pose, nav_2d_msgs::msg::Path2D & transformed_plan,
    nav_2d_msgs::msg::Pose2DStamped & goal_pose, bool publish_plan = true);

  // Tries every sample of the generator; the cheapest legal trajectory wins, the first of
  // equals. Throws NoLegalTrajectoriesException when none is legal.
  virtual dwb_msgs::msg::TrajectoryScore coreScoringAlgorithm(
    const geometry_msgs::msg::Pose2D & pose,
    const nav_2d_msgs::msg::Twist2D velocity,
    std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results);

  // The part of the stored plan around the robot, in the costmap's global frame. With pruning
  // on, the part the robot has passed is dropped from the stored plan for good.
  virtual nav_2d_msgs::msg::Path2D transformGlobalPlan(
    const nav_2d_msgs::msg::Pose2DStamped & pose);

  nav_2d_msgs::msg::Path2D global_plan_;  ///< Saved Global Plan
  bool prune_plan_;
  double prune_distance_;
  bool debug_trajectory_details_;
  rclcpp::Duration transform_tolerance_{0, 0};
  bool shorten_transformed_plan_;
  double forward_prune_distance_;

  // "Name" -> "NameCritic", then the first "<ns>::NameCritic" of the default critic
  // namespaces that is available; a name with a namespace is kept.
  std::string resolveCriticClassName(std::string base_name);

  virtual void loadCritics();

  rclcpp_lifecycle::LifecycleNode::WeakPtr node_;
  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Logger logger_{rclcpp::get_logger("DWBLocalPlanner")};
  std::shared_ptr<tf2_ros::Buffer> tf_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;

  std::unique_ptr<DWBPublisher> pub_;
  std::vector<std::string> default_critic_namespaces_;

  // Plugin handling
  pluginlib::ClassLoader<TrajectoryGenerator> traj_gen_loader_;
  TrajectoryGenerator::Ptr traj_generator_;

  pluginlib::ClassLoader<TrajectoryCritic> critic_loader_;
  std::vector<TrajectoryCritic::Ptr> critics_;

  std::string dwb_plugin_name_;

  bool short_circuit_trajectory_evaluation_;
};

}  // namespace dwb_core

#endif  // DWB_CORE__DWB_LOCAL_PLANNER_HPP_
