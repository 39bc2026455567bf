#ifndef DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
#define DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_

#include <vector>

#include "dwb_critics/base_obstacle.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace dwb_critics
{

// Checks the whole outline of the robot's footprint at each pose instead of the centre cell: a
// pose scores the highest cost along the outline, and is illegal when the outline touches a
// lethal or unknown cell. Inscribed cells are fine here: the outline itself is what may not hit.
class ObstacleFootprintCritic : public BaseObstacleCritic
{
public:
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scorePose(const geometry_msgs::msg::Pose2D & pose) override;
  // The highest cost along the closed outline through the given points (world frame).
  virtual double scorePose(
    const geometry_msgs::msg::Pose2D & pose,
    const std::vector<geometry_msgs::msg::Point> & oriented_footprint);
  double getScale() const override {return costmap_->getResolution() * scale_;}

protected:
  double lineCost(int x0, int x1, int y0, int y1);
  double pointCost(int x, int y);
  void worldToCell(const geometry_msgs::msg::Point & point, int & x, int & y) const;

  std::vector<geometry_msgs::msg::Point> footprint_spec_;
  // Reused for every pose, so scoring allocates nothing.
  std::vector<geometry_msgs::msg::Point> oriented_footprint_;
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
