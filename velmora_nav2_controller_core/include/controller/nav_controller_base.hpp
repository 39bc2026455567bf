#ifndef CONTROLLER__NAV_CONTROLLER_BASE_HPP_
#define CONTROLLER__NAV_CONTROLLER_BASE_HPP_

#include <cstdint>
#include <memory>

#include "base_robot/base_robot.hpp"
#include "collision/collision_check.hpp"
#include "controller/odom_twist_subscriber.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_core/goal_checker.hpp"
#include "nav_2d_msgs/msg/twist2_d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora_protocol/msg/move_ment_status.hpp"

namespace controller
{

// The goal's three goal-check flags, in goal order. Only the first one changes what the base
// does: it switches the general goal checker to its precise tolerances.
struct GoalCheckOptions
{
  std::uint8_t precise_goal_reaching{0};
  std::uint8_t goal_check_flag_2{0};
  std::uint8_t goal_check_flag_3{0};
};

// What every controller shares: the handles to the node, the map service, tf and the robot
// communicator; the general goal checker and the collision checker; and the per-cycle work of
// sending a command to the robot with its turn signal, movement status and cycle-time watch.
// The control loop drives every controller through this class only.
//
// Controllers are created with std::make_shared of their concrete class and owned through
// std::shared_ptr, which destroys them through that type; the destructor is therefore not
// virtual, and it is protected so that deleting through a base pointer cannot compile.
class NavControllerBase
{
public:
  using Goal = velmora_nav2_protocol::action::Controller::Goal;

  // Turn codes sent to the robot as turn-signal events.
  static constexpr std::int32_t kTurnNone = 0;
  static constexpr std::int32_t kTurnStraight = 70006;
  static constexpr std::int32_t kTurnLeft = 70007;
  static constexpr std::int32_t kTurnRight = 70008;
  // Event kind of the turn-signal robot event.
  static constexpr std::int32_t kTurnSignalEventType = 5;

  // Error codes: robot pose unavailable (logged), cycle slower than its budget (sent and logged).
  static constexpr int kErrorRobotPoseUnavailable = 101100002;
  static constexpr int kErrorCycleTooSlow = 101100033;

  // Above this many milliseconds a cycle's duration is logged at info level.
  static constexpr double kCycleTimeInfoMs = 80.0;

  NavControllerBase(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  NavControllerBase(const NavControllerBase &) = delete;
  NavControllerBase & operator=(const NavControllerBase &) = delete;

  // Fills cmd_vel_ with this cycle's command; false when no command could be computed.
  virtual bool computeVelocity() = 0;
  // False when cmd_vel_ must not be sent.
  virtual bool isCollisionFree();
  // Factor applied to the command before it is sent.
  virtual double computeSpeedRate();
  // Takes a new goal; false refuses it.
  virtual bool setPlan(std::shared_ptr<const Goal> goal);
  // Whether the robot has reached end_pose_, by the general goal checker.
  virtual bool isGoalReached();
  // Keeps the options and switches the general goal checker's precise tolerances.
  virtual void setGoalCheckOptions(GoalCheckOptions options);

  // The robot pose in the costmap's global frame; false when it is not available.
  bool getRobotPose(geometry_msgs::msg::PoseStamped & pose);

  // Each component whose magnitude does not exceed its minimum threshold becomes 0.
  nav_2d_msgs::msg::Twist2D getThresholdedTwist(const nav_2d_msgs::msg::Twist2D & twist) const;

  // Zeroes the planar part of cmd_vel_ (linear x, y and angular z).
  void stopVelocity();

  void setRunMode(std::int32_t run_mode);
  // Announces that this cycle's command is meant to rotate the robot; cleared every cycle.
  void setMovementStatusRotationIntent(bool intent);

  // One control cycle: robot pose, command, collision verdict, speed rate, turn signal,
  // movement status and the send. True when a command was sent.
  bool computeAndPublishVelocity();
  // Sends a zero velocity and reports the robot idle.
  void stopRobot();

  // Turn code of the command, debounced over turn_debounce_cycles_ cycles.
  int isLeftORRightTrun(geometry_msgs::msg::Twist twist);

  bool hasMovementStatusRotationIntent(const geometry_msgs::msg::Twist & twist) const;
  std::int8_t calculateMovementStatus(const geometry_msgs::msg::Twist & twist) const;
  void publishStableMovementStatus(std::int8_t status);
  void publishMovementStatusIfChanged(std::int8_t status);
  void resetMovementStatusDebounce(std::int8_t status);
  void publishMovementStatusIdle();

  // Logs once when the plans of consecutive goals start running through a narrow passage.
  void logNarrowPassageEntry(const std::shared_ptr<const Goal> & goal);

protected:
  ~NavControllerBase() = default;

  // Reports a cycle that lasted `elapsed_ms` whole milliseconds: an info line above
  // kCycleTimeInfoMs, the error code and an error line above the alarm threshold.
  void reportCycleTime(std::int64_t elapsed_ms);

  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<velmora_communicator::CommunicatorEngine> communicator_;
  std::shared_ptr<tf2_ros::Buffer> tf_;
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_ros_;
  double speed_scale_{1.0};
  bool goal_reached_{false};
  BaseRobot base_robot_;
  // Nothing declares the three minimum speeds; without an override they stay at this value,
  // small enough that only odometry noise counts as standing still.
  double min_x_velocity_threshold_{0.0001};
  double min_y_velocity_threshold_{0.0001};
  double min_theta_velocity_threshold_{0.0001};
  geometry_msgs::msg::PoseStamped end_pose_;
  std::unique_ptr<OdomTwistSubscriber> odom_sub_;
  std::shared_ptr<nav2_core::GoalChecker> goal_checker_;
  std::shared_ptr<Collision::CollisionCheck> collision_checker_;
  std::shared_ptr<rclcpp::Publisher<velmora_protocol::msg::MoveMentStatus>> movement_status_pub_;
  geometry_msgs::msg::Twist cmd_vel_;
  geometry_msgs::msg::PoseStamped robot_pose_;
  double controller_calculate_time_threshold_{200.0};
  GoalCheckOptions goal_check_options_;
  bool finished_{false};
  std::int32_t last_turn_event_{kTurnStraight};
  std::int32_t turn_state_{kTurnStraight};
  std::int32_t turn_candidate_{kTurnStraight};
  std::int32_t turn_candidate_count_{0};
  const std::int32_t turn_debounce_cycles_{6};
  bool in_narrow_passage_{false};
  std::int32_t run_mode_{0};
  std::int8_t last_movement_status_{-1};
  std::int8_t movement_status_candidate_{-1};
  std::int32_t movement_status_debounce_count_{0};
  const std::int32_t movement_status_debounce_cycles_{5};
  double movement_status_rotation_intent_threshold_rad_{0.35};
  double movement_status_rotation_intent_prediction_time_{1.0};
  bool movement_status_rotation_intent_{false};

private:
  // Sends the turn-signal event when the debounced turn code of cmd_vel_ changed.
  void publishTurnSignal();
  // The goal pose in the costmap's global frame; false when it cannot be transformed.
  bool goalPoseInGlobalFrame(geometry_msgs::msg::PoseStamped & goal_pose);
  // Whether any pose of the path lies on a narrow-passage cell of the map.
  bool pathCrossesNarrowPassage(const nav_msgs::msg::Path & path) const;
};

}  // namespace controller

#endif  // CONTROLLER__NAV_CONTROLLER_BASE_HPP_
