#ifndef CONTROLLER__LATERAL_MOVE_CONTROLLER_HPP_
#define CONTROLLER__LATERAL_MOVE_CONTROLLER_HPP_

#include <memory>
#include <string>

#include "controller/nav_controller_base.hpp"
#include "controller/pid_pose.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"

namespace controller
{

// Short moves of a holonomic base to one pose: it translates straight at the target in x and y
// at once, keeping its heading, and turns in place only once the position is within tolerance.
// Map mode aims at the last pose of the goal's path, measured with the robot's map pose. Base
// mode takes the first pose of the path as a displacement in the robot's own frame, fixes the
// target on odometry when the goal starts, and measures progress on odometry.
class LateralMoveController : public NavControllerBase
{
public:
  // Declares (when missing) and reads the controller's parameters; throws
  // rclcpp::exceptions::InvalidParameterValueException for values it cannot drive with.
  LateralMoveController(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map);

  bool computeVelocity() override;
  bool isCollisionFree() override;
  bool setPlan(std::shared_ptr<const Goal> goal) override;
  bool isGoalReached() override;

  // The two halves of computeVelocity: odometry-relative and map-relative moves.
  bool computeVelocityFromBase();
  bool computeVelocityFromMap();

private:
  // A pose reduced to the plane.
  struct PlanarPose
  {
    double x;
    double y;
    double yaw;
  };

  // What one cycle does, decided from where the robot stands relative to the target.
  struct Step
  {
    enum class Kind { arrive, turn, approach };
    Kind kind;
    double heading_error;  // robot heading minus target heading, wrapped to [-pi, pi]
    double dx;             // target minus robot, in the frame both poses are given in
    double dy;
  };

  void readParameters(const rclcpp_lifecycle::LifecycleNode::SharedPtr & node);
  PlanarPose planar(const geometry_msgs::msg::Pose & pose) const;
  Step nextStep(const PlanarPose & robot, const PlanarPose & target) const;
  geometry_msgs::msg::Twist turnCommand(const Step & step);
  geometry_msgs::msg::Twist approachCommand(const Step & step, double robot_yaw);
  void arrive(const geometry_msgs::msg::PoseStamped & pose);
  void judgeLowSpeed(const geometry_msgs::msg::Twist & command, const Step & step);
  // The target of a map-mode goal, expressed in the frame of the robot's map pose.
  bool targetInFrame(
    const Goal & goal, const std::string & frame, geometry_msgs::msg::PoseStamped & target) const;
  void fixOdometryTarget(const geometry_msgs::msg::PoseStamped & odom_pose);
  // Whether tf can relate the map to the robot now; `error` says why not.
  bool mapToBaseTransformAvailable(std::string & error) const;

  geometry_msgs::msg::PoseStamped target_pose_;
  geometry_msgs::msg::PoseStamped start_pose_;
  geometry_msgs::msg::PoseStamped odom_start_pose_;
  geometry_msgs::msg::PoseStamped odom_target_pose_;
  bool base_mode_{false};
  PID_pose distance_law_;
  PID_pose sideways_law_;  // kept configured and reset with the others for a sideways-error law
  PID_pose heading_law_;

  double x_kp_{0.5};
  double x_ki_{0.001};
  double x_kd_{0.01};
  double y_kp_{0.5};
  double y_ki_{0.001};
  double y_kd_{0.01};
  double z_kp_{1.0};
  double z_ki_{0.0};
  double z_kd_{0.0};
  double max_vel_{0.3};
  double x_tolerance_{0.01};
  double y_tolerance_{0.01};
  double theta_tolerance_{0.05};
  double spin_theta_tolerance_{0.5};  // read for configuration compatibility; no rule uses it
  bool vel_judge_{false};
  double min_vel_tolerance_{0.01};

  // Set once the low-speed rule has judged the position reached; from then on only the heading
  // is corrected, so a settled goal still ends aligned.
  bool position_settled_{false};
};

}  // namespace controller

#endif  // CONTROLLER__LATERAL_MOVE_CONTROLLER_HPP_
