#ifndef DWB_CRITICS__MAP_GRID_HPP_
#define DWB_CRITICS__MAP_GRID_HPP_

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "dwb_core/trajectory_critic.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace dwb_critics
{

// Scores poses by a per-cell grid of Manhattan distances (in cells) from seed cells, spread over
// the free cells of the costmap. Subclasses choose the seeds in prepare().
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
  // Spreads the grid as far as this cell needs first.
  double getScore(unsigned int x, unsigned int y)
  {
    const unsigned int index = paddedIndex(x, y);
    float value = cell_values_[index];
    if (value == unreachable_value_ || value == untouched_obstacle_value_) {
      value = spreadUntilKnown(index);
    }
    return value == untouched_obstacle_value_ ? unreachable_score_ : value;
  }
  // `index` as the costmap counts its cells.
  void setAsObstacle(unsigned int index);

  // Every cell back to unreachable, no seeds; follows a changed or resized costmap.
  void reset() override;

protected:
  enum class ScoreAggregationType {Last, Sum, Product};

  // Gives the cell distance 0 and queues it for propagation (once).
  void addSeed(unsigned int x, unsigned int y);
  // Breadth-first from the seeds: each free cell gets one more than the cell it was reached
  // from, an obstacle cell next to a reached cell gets the obstacle score. The spreading runs
  // lazily: prepare() only starts it, and a cell is looked up by continuing it until the cell
  // has its value or nothing is left to spread. A breadth-first spread fixes cells in order of
  // distance, so the values are the same as those of a whole-grid pass, but a cycle only pays
  // for the distances its trajectories reach, usually a band around the plan.
  void propagateManhattanDistances();
  // Spreads until the cell is reached or the spread is over; the cell's value then.
  float spreadUntilKnown(unsigned int index);
  // Spreads over the whole grid.
  void spreadAll();
  // Spreads until done() or the spread is over.
  template<typename Done>
  void spread(Done && done);
  static bool isObstacle(unsigned char cost);
  // The starting grid of a search on the costmap as it is now.
  void rebuildBase(unsigned int size_x, unsigned int size_y);
  // Gives a cell (padded index) the obstacle score, remembering it for the next reset.
  void markObstacle(unsigned int index);
  unsigned int paddedIndex(unsigned int x, unsigned int y) const
  {
    return (y + 1) * padded_width_ + x + 1;
  }

  // Calls visit(x, y) for the plan's points on the map, the plan walked in steps of at most one
  // cell; stops where the plan leaves the map after having been on it.
  template<typename Visit>
  void walkPlanOnMap(const nav_2d_msgs::msg::Path2D & plan, Visit && visit) const
  {
    const double step = costmap_->getResolution();
    bool started = false;
    auto at = [&](double x, double y) {
        unsigned int cell_x, cell_y;
        if (costmap_->worldToMap(x, y, cell_x, cell_y)) {
          started = true;
          visit(cell_x, cell_y);
          return true;
        }
        return !started;
      };
    for (size_t i = 0; i + 1 < plan.poses.size(); ++i) {
      const auto & from = plan.poses[i];
      const auto & to = plan.poses[i + 1];
      const double dx = to.x - from.x;
      const double dy = to.y - from.y;
      const int steps = std::max(1, static_cast<int>(std::ceil(std::hypot(dx, dy) / step)));
      for (int k = 0; k < steps; ++k) {
        const double ratio = static_cast<double>(k) / steps;
        if (!at(from.x + dx * ratio, from.y + dy * ratio)) {
          return;
        }
      }
    }
    if (!plan.poses.empty()) {
      at(plan.poses.back().x, plan.poses.back().y);
    }
  }

  nav2_costmap_2d::Costmap2D * costmap_{nullptr};
  // Flat and row-major like the costmap but with a frame of one border cell all round, so that
  // spreading needs no bounds checks; kept across cycles so that preparing allocates nothing.
  // Obstacle cells start out as untouched_obstacle_value_: they become the obstacle score when
  // spreading reaches them and read as unreachable otherwise.
  std::vector<float> cell_values_;
  unsigned int padded_width_{0};
  // The grid before any seed, and the costmap it was built from: while the costmap stays the
  // same, a reset only puts back the cells a search wrote (those queued and those below).
  std::vector<float> base_values_;
  std::vector<unsigned char> base_costs_;
  std::vector<unsigned int> touched_obstacles_;
  // Each cell is queued at most once, so a flat array with a moving head is the whole FIFO.
  std::vector<unsigned int> queue_;
  size_t queue_head_{0}, queue_end_{0};
  double obstacle_score_{0.0}, unreachable_score_{0.0};
  float obstacle_value_{0.0f}, unreachable_value_{0.0f};
  static constexpr float untouched_obstacle_value_ = -2.0f;
  static constexpr float border_value_ = -1.0f;
  bool stop_on_failure_{true};
  ScoreAggregationType aggregation_type_{ScoreAggregationType::Last};
};

}  // namespace dwb_critics

#endif  // DWB_CRITICS__MAP_GRID_HPP_
