#include "dwb_core/dwb_local_planner.hpp"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "dwb_core/exceptions.hpp"
#include "dwb_core/illegal_trajectory_tracker.hpp"
#include "nav2_util/geometry_utils.hpp"
#include "nav2_util/node_utils.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "nav_2d_utils/tf_help.hpp"

namespace dwb_core
{

using nav2_util::declare_parameter_if_not_declared;
using nav2_util::geometry_utils::euclidean_distance;

DWBLocalPlanner::DWBLocalPlanner()
: traj_gen_loader_("dwb_core", "dwb_core::TrajectoryGenerator"),
  critic_loader_("dwb_core", "dwb_core::TrajectoryCritic")
{
}

void DWBLocalPlanner::configure(
  const rclcpp_lifecycle::LifecycleNode::WeakPtr & parent,
  std::string name, std::shared_ptr<tf2_ros::Buffer> tf,
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros)
{
  node_ = parent;
  auto node = node_.lock();
  logger_ = node->get_logger();
  clock_ = node->get_clock();
  costmap_ros_ = costmap_ros;
  tf_ = tf;
  dwb_plugin_name_ = name;

  const std::string prefix = dwb_plugin_name_ + ".";
  declare_parameter_if_not_declared(node, prefix + "critics", rclcpp::PARAMETER_STRING_ARRAY);
  declare_parameter_if_not_declared(
    node, prefix + "default_critic_namespaces",
    rclcpp::ParameterValue(std::vector<std::string>()));
  declare_parameter_if_not_declared(node, prefix + "prune_plan", rclcpp::ParameterValue(true));
  declare_parameter_if_not_declared(node, prefix + "prune_distance", rclcpp::ParameterValue(2.0));
  declare_parameter_if_not_declared(
    node, prefix + "forward_prune_distance", rclcpp::ParameterValue(2.0));
  declare_parameter_if_not_declared(
    node, prefix + "debug_trajectory_details", rclcpp::ParameterValue(false));
  declare_parameter_if_not_declared(
    node, prefix + "trajectory_generator_name",
    rclcpp::ParameterValue(std::string("dwb_plugins::StandardTrajectoryGenerator")));
  declare_parameter_if_not_declared(
    node, prefix + "transform_tolerance", rclcpp::ParameterValue(0.1));
  declare_parameter_if_not_declared(
    node, prefix + "shorten_transformed_plan", rclcpp::ParameterValue(true));
  declare_parameter_if_not_declared(
    node, prefix + "short_circuit_trajectory_evaluation", rclcpp::ParameterValue(true));

  double transform_tolerance = 0.1;
  node->get_parameter(prefix + "transform_tolerance", transform_tolerance);
  transform_tolerance_ = rclcpp::Duration::from_seconds(transform_tolerance);
  RCLCPP_INFO(logger_, "Setting transform_tolerance to %f", transform_tolerance);

  std::string traj_generator_name;
  node->get_parameter(prefix + "prune_plan", prune_plan_);
  node->get_parameter(prefix + "prune_distance", prune_distance_);
  node->get_parameter(prefix + "forward_prune_distance", forward_prune_distance_);
  node->get_parameter(prefix + "debug_trajectory_details", debug_trajectory_details_);
  node->get_parameter(prefix + "trajectory_generator_name", traj_generator_name);
  node->get_parameter(
    prefix + "short_circuit_trajectory_evaluation", short_circuit_trajectory_evaluation_);
  node->get_parameter(prefix + "shorten_transformed_plan", shorten_transformed_plan_);

  pub_ = std::make_unique<DWBPublisher>(node, dwb_plugin_name_);
  pub_->on_configure();

  traj_generator_ = traj_gen_loader_.createUniqueInstance(traj_generator_name);
  traj_generator_->initialize(node, dwb_plugin_name_);

  try {
    loadCritics();
  } catch (const std::exception & e) {
    RCLCPP_ERROR(logger_, "Couldn't load critics! Caught exception: %s", e.what());
    throw;
  }
}

void DWBLocalPlanner::activate()
{
  pub_->on_activate();
}

void DWBLocalPlanner::deactivate()
{
  pub_->on_deactivate();
}

void DWBLocalPlanner::cleanup()
{
  pub_->on_cleanup();
  traj_generator_.reset();
}

std::string DWBLocalPlanner::resolveCriticClassName(std::string base_name)
{
  if (base_name.find("Critic") == std::string::npos) {
    base_name += "Critic";
  }
  if (base_name.find("::") == std::string::npos) {
    for (const std::string & critic_namespace : default_critic_namespaces_) {
      const std::string full_name = critic_namespace + "::" + base_name;
      if (critic_loader_.isClassAvailable(full_name)) {
        return full_name;
      }
    }
  }
  return base_name;
}

void DWBLocalPlanner::loadCritics()
{
  auto node = node_.lock();
  const std::string prefix = dwb_plugin_name_ + ".";

  node->get_parameter(prefix + "default_critic_namespaces", default_critic_namespaces_);
  if (default_critic_namespaces_.empty()) {
    default_critic_namespaces_.emplace_back("dwb_critics");
  }

  std::vector<std::string> critic_names;
  if (!node->get_parameter(prefix + "critics", critic_names)) {
    throw std::runtime_error("No critics defined for " + dwb_plugin_name_);
  }

  for (const std::string & critic_name : critic_names) {
    const std::string class_parameter = prefix + critic_name + ".class";
    declare_parameter_if_not_declared(node, class_parameter, rclcpp::ParameterValue(critic_name));
    std::string plugin_class;
    node->get_parameter(class_parameter, plugin_class);
    plugin_class = resolveCriticClassName(plugin_class);

    TrajectoryCritic::Ptr plugin = critic_loader_.createUniqueInstance(plugin_class);
    RCLCPP_INFO(
      logger_, "Using critic \"%s\" (%s)", critic_name.c_str(), plugin_class.c_str());
    critics_.push_back(plugin);
    try {
      plugin->initialize(node, critic_name, dwb_plugin_name_, costmap_ros_);
    } catch (const std::exception & e) {
      RCLCPP_ERROR(logger_, "Couldn't initialize critic plugin!");
      throw;
    }
    RCLCPP_INFO(logger_, "Critic plugin initialized");
  }
}

void DWBLocalPlanner::setPlan(const nav_msgs::msg::Path & path)
{
  auto path2d = nav_2d_utils::pathToPath2D(path);
  for (TrajectoryCritic::Ptr & critic : critics_) {
    critic->reset();
  }
  traj_generator_->reset();

  pub_->publishGlobalPlan(path2d);
  global_plan_ = std::move(path2d);
}

geometry_msgs::msg::TwistStamped DWBLocalPlanner::computeVelocityCommands(
  const geometry_msgs::msg::PoseStamped & pose,
  const geometry_msgs::msg::Twist & velocity,
  nav2_core::GoalChecker * /*goal_checker*/)
{
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> results = nullptr;
  if (pub_->shouldRecordEvaluation()) {
    results = std::make_shared<dwb_msgs::msg::LocalPlanEvaluation>();
  }

  try {
    nav_2d_msgs::msg::Twist2DStamped cmd_vel2d = computeVelocityCommands(
      nav_2d_utils::poseStampedToPose2D(pose), nav_2d_utils::twist3Dto2D(velocity), results);
    pub_->publishEvaluation(results);
    geometry_msgs::msg::TwistStamped cmd_vel;
    cmd_vel.twist = nav_2d_utils::twist2Dto3D(cmd_vel2d.velocity);
    return cmd_vel;
  } catch (const nav2_core::PlannerException &) {
    pub_->publishEvaluation(results);
    throw;
  }
}

void DWBLocalPlanner::prepareGlobalPlan(
  const nav_2d_msgs::msg::Pose2DStamped & pose, nav_2d_msgs::msg::Path2D & transformed_plan,
  nav_2d_msgs::msg::Pose2DStamped & goal_pose, bool publish_plan)
{
  transformed_plan = transformGlobalPlan(pose);
  if (publish_plan) {
    pub_->publishTransformedPlan(transformed_plan);
  }

  goal_pose.header.frame_id = global_plan_.header.frame_id;
  goal_pose.pose = global_plan_.poses.back();
  nav_2d_utils::transformPose(
    tf_, costmap_ros_->getGlobalFrameID(), goal_pose, goal_pose, transform_tolerance_);
}

nav_2d_msgs::msg::Twist2DStamped DWBLocalPlanner::computeVelocityCommands(
  const nav_2d_msgs::msg::Pose2DStamped & pose,
  const nav_2d_msgs::msg::Twist2D & velocity,
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results)
{
  if (results) {
    results->header.frame_id = pose.header.frame_id;
    results->header.stamp = clock_->now();
  }

  nav_2d_msgs::msg::Path2D transformed_plan;
  nav_2d_msgs::msg::Pose2DStamped goal_pose;
  prepareGlobalPlan(pose, transformed_plan, goal_pose);

  nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*(costmap->getMutex()));

  for (TrajectoryCritic::Ptr & critic : critics_) {
    if (!critic->prepare(pose.pose, velocity, goal_pose.pose, transformed_plan)) {
      RCLCPP_WARN(rclcpp::get_logger("DWBLocalPlanner"), "A scoring function failed to prepare");
    }
  }

  try {
    dwb_msgs::msg::TrajectoryScore best = coreScoringAlgorithm(pose.pose, velocity, results);

    nav_2d_msgs::msg::Twist2DStamped cmd_vel;
    cmd_vel.header.stamp = clock_->now();
    cmd_vel.velocity = best.traj.velocity;

    // Stateful critics learn which command was chosen.
    for (TrajectoryCritic::Ptr & critic : critics_) {
      critic->debrief(cmd_vel.velocity);
    }
    lock.unlock();

    pub_->publishLocalPlan(pose.header, best.traj);
    pub_->publishCostGrid(costmap_ros_, critics_);
    return cmd_vel;
  } catch (const NoLegalTrajectoriesException &) {
    const nav_2d_msgs::msg::Twist2D empty_cmd;
    const dwb_msgs::msg::Trajectory2D empty_traj;
    for (TrajectoryCritic::Ptr & critic : critics_) {
      critic->debrief(empty_cmd);
    }
    lock.unlock();

    pub_->publishLocalPlan(pose.header, empty_traj);
    pub_->publishCostGrid(costmap_ros_, critics_);
    throw;
  }
}

dwb_msgs::msg::TrajectoryScore DWBLocalPlanner::coreScoringAlgorithm(
  const geometry_msgs::msg::Pose2D & pose,
  const nav_2d_msgs::msg::Twist2D velocity,
  std::shared_ptr<dwb_msgs::msg::LocalPlanEvaluation> & results)
{
  dwb_msgs::msg::TrajectoryScore best;
  best.total = -1;
  // Only the worst total is needed, to point results->worst_index at it.
  float worst_total = -1;
  IllegalTrajectoryTracker tracker;

  traj_generator_->startNewIteration(velocity);
  while (traj_generator_->hasMoreTwists()) {
    const nav_2d_msgs::msg::Twist2D twist = traj_generator_->nextTwist();
    dwb_msgs::msg::Trajectory2D traj = traj_generator_->generateTrajectory(pose, velocity, twist);

    dwb_msgs::msg::TrajectoryScore score;
    try {
      score = scoreTrajectory(traj, best.total);
    } catch (const IllegalTrajectoryException & e) {
      if (results) {
        dwb_msgs::msg::TrajectoryScore failed_score;
        failed_score.traj = std::move(traj);
        dwb_msgs::msg::CriticScore critic_score;
        critic_score.name = e.getCriticName();
        critic_score.raw_score = -1.0;
        failed_score.scores.push_back(std::move(critic_score));
        failed_score.total = -1.0;
        results->twists.push_back(std::move(failed_score));
      }
      tracker.addIllegalTrajectory(e);
      continue;
    }

    tracker.addLegalTrajectory();
    if (results) {
      results->twists.push_back(score);
    }
    const uint16_t index = results ? static_cast<uint16_t>(results->twists.size() - 1) : 0;
    if (worst_total < 0 || score.total > worst_total) {
      worst_total = score.total;
      if (results) {
        results->worst_index = index;
      }
    }
    if (best.total < 0 || score.total < best.total) {
      best = std::move(score);
      if (results) {
        results->best_index = index;
      }
    }
  }

  if (best.total < 0) {
    if (debug_trajectory_details_) {
      const rclcpp::Logger logger = rclcpp::get_logger("DWBLocalPlanner");
      RCLCPP_ERROR(logger, "%s", tracker.getMessage().c_str());
      for (const auto & [reason, share] : tracker.getPercentages()) {
        RCLCPP_ERROR(
          logger, "%.2f: %10s/%s", share, reason.first.c_str(), reason.second.c_str());
      }
    }
    throw NoLegalTrajectoriesException(tracker);
  }

  return best;
}

dwb_msgs::msg::TrajectoryScore DWBLocalPlanner::scoreTrajectory(
  const dwb_msgs::msg::Trajectory2D & traj,
  double best_score)
{
  dwb_msgs::msg::TrajectoryScore score;
  score.traj = traj;
  score.scores.reserve(critics_.size());

  for (TrajectoryCritic::Ptr & critic : critics_) {
    dwb_msgs::msg::CriticScore critic_score;
    critic_score.name = critic->getName();
    critic_score.scale = static_cast<float>(critic->getScale());

    if (critic_score.scale == 0.0f) {
      score.scores.push_back(std::move(critic_score));
      continue;
    }

    const double raw_score = critic->scoreTrajectory(traj);
    critic_score.raw_score = static_cast<float>(raw_score);
    score.scores.push_back(std::move(critic_score));
    score.total += static_cast<float>(raw_score * critic->getScale());
    // Scores are not negative, so a sum past the best one stays past it.
    if (short_circuit_trajectory_evaluation_ && best_score > 0 && score.total > best_score) {
      break;
    }
  }

  return score;
}

nav_2d_msgs::msg::Path2D DWBLocalPlanner::transformGlobalPlan(
  const nav_2d_msgs::msg::Pose2DStamped & pose)
{
  if (global_plan_.poses.empty()) {
    throw nav2_core::PlannerException("Received plan with zero length");
  }

  nav_2d_msgs::msg::Pose2DStamped robot_pose;
  if (!nav_2d_utils::transformPose(
      tf_, global_plan_.header.frame_id, pose, robot_pose, transform_tolerance_))
  {
    throw dwb_core::PlannerTFException("Unable to transform robot pose into global plan's frame");
  }

  // Poses beyond half the costmap are of no use to the critics.
  nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
  const double dist_threshold =
    std::max(costmap->getSizeInCellsX(), costmap->getSizeInCellsY()) *
    costmap->getResolution() / 2.0;

  // How close the first pose kept must be: the poses before it have been passed.
  const double transform_start_threshold =
    prune_plan_ ? std::min(dist_threshold, prune_distance_) : dist_threshold;
  // How far ahead the plan is kept.
  const double transform_end_threshold =
    shorten_transformed_plan_ ? std::min(dist_threshold, forward_prune_distance_) : dist_threshold;

  // The start is searched only within the first prune_distance of the plan, so that a plan
  // passing near the robot again later does not count as where the robot is.
  auto & poses = global_plan_.poses;
  const auto prune_point =
    nav2_util::geometry_utils::first_after_integrated_distance(
    poses.begin(), poses.end(), prune_distance_);
  const auto transformation_begin = std::find_if(
    poses.begin(), prune_point,
    [&](const geometry_msgs::msg::Pose2D & plan_pose) {
      return euclidean_distance(robot_pose.pose, plan_pose) < transform_start_threshold;
    });
  const auto transformation_end = std::find_if(
    transformation_begin, poses.end(),
    [&](const geometry_msgs::msg::Pose2D & plan_pose) {
      return euclidean_distance(plan_pose, robot_pose.pose) > transform_end_threshold;
    });

  nav_2d_msgs::msg::Path2D transformed_plan;
  transformed_plan.header.frame_id = costmap_ros_->getGlobalFrameID();
  transformed_plan.header.stamp = pose.header.stamp;
  transformed_plan.poses.reserve(
    static_cast<size_t>(std::distance(transformation_begin, transformation_end)));

  nav_2d_msgs::msg::Pose2DStamped stamped_pose;
  stamped_pose.header.frame_id = global_plan_.header.frame_id;
  stamped_pose.header.stamp = robot_pose.header.stamp;
  nav_2d_msgs::msg::Pose2DStamped transformed_pose;
  for (auto it = transformation_begin; it != transformation_end; ++it) {
    stamped_pose.pose = *it;
    nav_2d_utils::transformPose(
      tf_, transformed_plan.header.frame_id, stamped_pose, transformed_pose,
      transform_tolerance_);
    transformed_plan.poses.push_back(transformed_pose.pose);
  }

  if (prune_plan_) {
    poses.erase(poses.begin(), transformation_begin);
    pub_->publishGlobalPlan(global_plan_);
  }

  if (transformed_plan.poses.empty()) {
    throw nav2_core::PlannerException("Resulting plan has 0 poses in it.");
  }
  return transformed_plan;
}

}  // namespace dwb_core

PLUGINLIB_EXPORT_CLASS(dwb_core::DWBLocalPlanner, nav2_core::Controller)
