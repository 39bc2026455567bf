#ifndef DWB_CRITICS__OSCILLATION_HPP_
#define DWB_CRITICS__OSCILLATION_HPP_

#include "dwb_core/trajectory_critic.hpp"
#include "rclcpp/rclcpp.hpp"

namespace dwb_critics
{

// Refuses commands that would reverse a direction of motion (x, y or theta) that has already
// reversed once since the robot last made real progress: back and forth is not progress.
class OscillationCritic : public dwb_core::TrajectoryCritic
{
public:
  // The sign history of one velocity component.
  class CommandTrend
  {
public:
    CommandTrend();
    void reset();
    // Records a chosen command; true when it flipped the sign.
    bool update(double velocity);
    // True when the command would flip the sign back after a flip already happened.
    bool isOscillating(double velocity) const;
    bool hasSignFlipped() const;

private:
    enum class Sign {ZERO, POSITIVE, NEGATIVE};
    Sign sign_;
    bool positive_only_, negative_only_;
  };

  void onInit() override;
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
  void reset() override;
  void debrief(const nav_2d_msgs::msg::Twist2D & cmd_vel) override;

protected:
  // True when the robot moved or turned far enough (or long enough passed) since the first flip.
  bool resetAvailable();
  bool setOscillationFlags(const nav_2d_msgs::msg::Twist2D & cmd_vel);

  CommandTrend x_trend_, y_trend_, theta_trend_;
  double oscillation_reset_dist_{0.05}, oscillation_reset_dist_sq_{0.0025};
  double oscillation_reset_angle_{0.2};
  double x_only_threshold_{0.05};
  rclcpp::Duration oscillation_reset_time_{rclcpp::Duration::from_seconds(-1.0)};
  geometry_msgs::msg::Pose2D pose_, prev_stationary_pose_;
  rclcpp::Time prev_reset_time_;
  rclcpp::Clock::SharedPtr clock_;
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__OSCILLATION_HPP_
