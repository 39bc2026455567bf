#ifndef DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
#define DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_

#include <utility>
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
  // The highest cost of the cells from (x0, y0) to (x1, y1), all on the grid.
  unsigned char lineCost(int x0, int x1, int y0, int y1) const;
  // Throws for a cell the outline may not touch; inscribed cells it may.
  void checkCost(unsigned char cost) const;
  void worldToCell(const geometry_msgs::msg::Point & point, int & x, int & y) const;

  std::vector<geometry_msgs::msg::Point> footprint_spec_;
  // Reused for every pose, so scoring allocates nothing.
  std::vector<geometry_msgs::msg::Point> oriented_footprint_;
  std::vector<std::pair<int, int>> vertex_cells_;
  // The vertex cells of the last outline scored within this cycle, and its cost.
  std::vector<std::pair<int, int>> scored_vertex_cells_;
  unsigned char scored_cost_{0};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__OBSTACLE_FOOTPRINT_HPP_
