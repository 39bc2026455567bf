#ifndef DWB_CRITICS__MAP_GRID_HPP_
#define DWB_CRITICS__MAP_GRID_HPP_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "costmap_queue/costmap_queue.hpp"
#include "dwb_core/trajectory_critic.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace dwb_critics
{

// Scores poses by a grid over the whole costmap holding, per cell, the Manhattan distance (in
// cells) to the seed cell whose spread reached it first. Subclasses choose the seeds in
// prepare() and fill the grid with propogateManhattanDistances(). The spread goes through
// obstacles: a cell keeps the unreachable score only where no distance was written (the spread
// stops at the costmap's larger side from the seed reaching a cell), and has the obstacle score
// only where setAsObstacle() put it.
class MapGridCritic : public dwb_core::TrajectoryCritic
{
public:
  void onInit() override;
  double scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj) override;
  void addCriticVisualization(
    std::vector<std::pair<std::string, std::vector<float>>> & cost_channels) override;
  // Grid values are cells; half a cell per unit keeps the default weights in metres.
  double getScale() const override {return costmap_->getResolution() * 0.5 * scale_;}

  // The grid value under the pose; throws when the pose is off the map.
  virtual double scorePose(const geometry_msgs::msg::Pose2D & pose);
  inline double getScore(unsigned int x, unsigned int y)
  {
    return cell_values_[costmap_->getIndex(x, y)];
  }
  // Gives the cell (`index` as the costmap counts its cells) the obstacle score.
  void setAsObstacle(unsigned int index);

protected:
  enum class ScoreAggregationType
  {
    Last,
    Sum,
    Product
  };

  // The spread behind the grid: Manhattan distances, and no cell refused.
  class MapGridQueue : public costmap_queue::CostmapQueue
  {
public:
    MapGridQueue(nav2_costmap_2d::Costmap2D & costmap, MapGridCritic & parent)
    : costmap_queue::CostmapQueue(costmap, true), parent_(parent) {}
    virtual ~MapGridQueue() = default;
    bool validCellToQueue(const costmap_queue::CellData & cell) override;

protected:
    MapGridCritic & parent_;
  };

  // Empties the queue and sets every cell of the costmap's current size to unreachable.
  void reset() override;
  // Drains the queue, writing each cell's Manhattan distance to its seed.
  void propogateManhattanDistances();

  std::shared_ptr<MapGridQueue> queue_;
  nav2_costmap_2d::Costmap2D * costmap_{nullptr};
  std::vector<double> cell_values_;
  // The obstacle score is the number of cells, more than any distance; unreachable is one more.
  double obstacle_score_{0.0}, unreachable_score_{0.0};
  bool stop_on_failure_{true};
  ScoreAggregationType aggregationType_{ScoreAggregationType::Last};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__MAP_GRID_HPP_
