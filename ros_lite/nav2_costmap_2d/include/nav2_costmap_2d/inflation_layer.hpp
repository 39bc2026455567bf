#ifndef NAV2_COSTMAP_2D__INFLATION_LAYER_HPP_
#define NAV2_COSTMAP_2D__INFLATION_LAYER_HPP_

#include <cmath>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace nav2_costmap_2d
{

// Spreads cost around lethal cells: cells within the robot's inscribed radius of an obstacle
// become INSCRIBED_INFLATED_OBSTACLE, further out the cost decays exponentially with
// cost_scaling_factor up to the inflation radius. The costs match Nav2's inflation layer. That
// layer is a pluginlib plugin reading "<layer>.inflation_radius" and friends itself; this
// stand-in has no layer plugins, so its owner (the LayeredCostmap) hands it its parameters.
class InflationLayer
{
public:
  InflationLayer() = default;

  void setInflationParameters(double inflation_radius, double cost_scaling_factor);
  void setInscribedRadius(double inscribed_radius) {inscribed_radius_ = inscribed_radius;}

  // Inflates the lethal cells of master_grid into the cells [min_i, max_i) x [min_j, max_j).
  // Obstacles up to the inflation radius outside the window count too. A cell keeps a higher
  // cost it already has; unknown cells only take lethal and inscribed costs.
  void updateCosts(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j);

  // Cost at `distance` cells from the nearest obstacle on a map of the current resolution.
  inline unsigned char computeCost(double distance) const
  {
    if (distance == 0) {
      return LETHAL_OBSTACLE;
    }
    if (distance * resolution_ <= inscribed_radius_) {
      return INSCRIBED_INFLATED_OBSTACLE;
    }
    const double factor =
      std::exp(-1.0 * cost_scaling_factor_ * (distance * resolution_ - inscribed_radius_));
    return static_cast<unsigned char>((INSCRIBED_INFLATED_OBSTACLE - 1) * factor);
  }

  double getCostScalingFactor() {return cost_scaling_factor_;}
  double getInflationRadius() {return inflation_radius_;}

private:
  struct CellData
  {
    unsigned int index;
    unsigned int x;
    unsigned int y;
    unsigned int src_x;
    unsigned int src_y;
  };

  // Recomputes the per-offset cost table for the grid's resolution and the current parameters.
  void computeCaches(Costmap2D & master_grid);
  void enqueue(
    unsigned int index, unsigned int mx, unsigned int my, unsigned int src_x,
    unsigned int src_y);

  double inflation_radius_{0.55};
  double cost_scaling_factor_{10.0};
  double inscribed_radius_{0.0};
  double resolution_{0.0};
  unsigned int cell_inflation_radius_{0};
  // Indexed by the squared cell distance dx * dx + dy * dy to the source obstacle.
  std::vector<unsigned char> cached_costs_;
  std::vector<std::vector<CellData>> inflation_cells_;
  std::vector<bool> seen_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__INFLATION_LAYER_HPP_
