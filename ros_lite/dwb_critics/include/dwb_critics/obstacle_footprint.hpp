#ifndef DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
#define DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_

#include <vector>

#include "dwb_critics/base_obstacle.hpp"
#include "geometry_msgs/msg/point.hpp"

namespace dwb_critics
{

typedef std::vector<geometry_msgs::msg::Point> Footprint;

// The footprint placed at the pose: each point turned by the pose's heading and moved to it.
Footprint getOrientedFootprint(
  const geometry_msgs::msg::Pose2D & pose, const Footprint & footprint_spec);

// Checks the whole outline of the robot's footprint at each pose instead of the centre cell: a
// pose scores the highest cost along the outline, and is illegal when the outline touches a
// lethal or unknown cell. Inscribed cells are fine here: the outline itself is what may not hit.
class ObstacleFootprintCritic : public BaseObstacleCritic
{
public:
  // Reads the footprint of this cycle; false (with an error log) when there is none.
  bool prepare(
    const geometry_msgs::msg::Pose2D & pose, const nav_2d_msgs::msg::Twist2D & vel,
    const geometry_msgs::msg::Pose2D & goal,
    const nav_2d_msgs::msg::Path2D & global_plan) override;
  double scorePose(const geometry_msgs::msg::Pose2D & pose) override;
  // The highest cost along the closed outline through the given points (world frame).
  virtual double scorePose(
    const geometry_msgs::msg::Pose2D & pose, const Footprint & oriented_footprint);
  double getScale() const override {return costmap_->getResolution() * scale_;}

protected:
  Footprint footprint_spec_;
  // The highest pointCost() of the cells from (x0, y0) to (x1, y1).
  virtual double lineCost(int x0, int x1, int y0, int y1);
  // The cost of one cell; throws for a lethal or unknown one.
  virtual double pointCost(int x, int y);
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
