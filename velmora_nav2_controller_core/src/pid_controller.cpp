#include "controller/pid_controller.hpp"

#include <cmath>
#include <cstddef>

#include "nav_msgs/msg/path.hpp"
#include "velmora/logger.hpp"

namespace controller
{

namespace
{

bool isFinite(const geometry_msgs::msg::Pose & pose)
{
  const auto & p = pose.position;
  const auto & q = pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// A planner's path may hold many thousands of poses: logging each would hold up the goal's
// start (and any preempted robot motion) for seconds and flood the log.
constexpr std::size_t kLoggedPathPoses = 50;

}  // namespace

PidController::PidController(
  const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
: NavControllerBase(node, grid_map), pid_core_(std::make_shared<Controller>())
{
}

bool PidController::setPlan(std::shared_ptr<const Goal> goal)
{
  VLOG_INFO("PidController setPlan");
  goal_reached_ = false;
  geometry_msgs::msg::PoseStamped robot_pose;
  robot_pose.pose.orientation.w = 1.0;
  if (!getRobotPose(robot_pose)) {
    return false;
  }
  for (const auto & pose : goal->nav_path.poses) {
    if (!isFinite(pose.pose)) {
      VLOG_WARN("PidController setPlan refuses a path holding a pose that is not finite");
      return false;
    }
  }
  pid_core_->init();

  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  path.poses.push_back(robot_pose);
  const auto & poses = goal->nav_path.poses;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    if (i < kLoggedPathPoses) {
      base_robot_.printPose(poses[i], "pid get pose is ");
    }
    path.poses.push_back(poses[i]);
  }
  if (poses.size() > kLoggedPathPoses) {
    VLOG_INFO("PidController setPlan: {} more poses not logged", poses.size() - kLoggedPathPoses);
  }
  pid_core_->setStraightCB(path);
  return true;
}

bool PidController::computeVelocity()
{
  if (pid_core_->getVelocityCommands(robot_pose_, cmd_vel_)) {
    goal_reached_ = true;
    base_robot_.printPose(robot_pose_, "pid readched pose is ");
  }
  return true;
}

bool PidController::isGoalReached()
{
  if (!goal_reached_) {
    return false;
  }
  VLOG_INFO("pid isGoalReached");
  return true;
}

bool PidController::isCollisionFree()
{
  if (collision_checker_->isCollisionFreeDt(robot_pose_.pose, cmd_vel_, kCollisionLookAhead)) {
    return true;
  }
  VLOG_INFO("!!!!! PidController isCollisionFree");
  return false;
}

}  // namespace controller
