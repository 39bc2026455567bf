#include "dwb_critics/map_grid.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

#include "dwb_core/exceptions.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav_2d_utils/parameters.hpp"

namespace dwb_critics
{

void MapGridCritic::onInit()
{
  costmap_ = costmap_ros_->getCostmap();
  stop_on_failure_ = true;

  std::string aggregation = nav_2d_utils::searchAndGetParam(
    node_.lock(), dwb_plugin_name_ + "." + name_ + ".aggregation_type", std::string("last"));
  std::transform(
    aggregation.begin(), aggregation.end(), aggregation.begin(),
    [](unsigned char c) {return static_cast<char>(std::tolower(c));});
  if (aggregation == "last") {
    aggregation_type_ = ScoreAggregationType::Last;
  } else if (aggregation == "sum") {
    aggregation_type_ = ScoreAggregationType::Sum;
  } else if (aggregation == "product") {
    aggregation_type_ = ScoreAggregationType::Product;
  } else {
    RCLCPP_ERROR(
      rclcpp::get_logger("MapGridCritic"),
      "aggregation_type parameter \"%s\" invalid. Using Last.", aggregation.c_str());
    aggregation_type_ = ScoreAggregationType::Last;
  }
  reset();
}

void MapGridCritic::reset()
{
  costmap_ = costmap_ros_->getCostmap();
  if (costmap_ == nullptr) {
    return;
  }
  const unsigned int size_x = costmap_->getSizeInCellsX();
  const unsigned int size_y = costmap_->getSizeInCellsY();
  const size_t cells = size_t{size_x} * size_y;
  const unsigned char * costs = costmap_->getCharMap();
  const bool same_costmap = size_x + 2 == padded_width_ && base_costs_.size() == cells &&
    std::equal(costs, costs + cells, base_costs_.begin());
  if (same_costmap) {
    // Only the cells the last search wrote differ from the starting grid: a search reaches a
    // band round the plan, so restoring those is much cheaper than rebuilding the whole grid.
    for (size_t i = 0; i < queue_end_; ++i) {
      cell_values_[queue_[i]] = base_values_[queue_[i]];
    }
    for (const unsigned int index : touched_obstacles_) {
      cell_values_[index] = base_values_[index];
    }
  } else {
    rebuildBase(size_x, size_y);
    cell_values_ = base_values_;
    queue_.resize(cells);
  }
  touched_obstacles_.clear();
  queue_head_ = 0;
  queue_end_ = 0;
}

void MapGridCritic::rebuildBase(unsigned int size_x, unsigned int size_y)
{
  const size_t cells = size_t{size_x} * size_y;
  obstacle_score_ = static_cast<double>(cells);
  unreachable_score_ = obstacle_score_ + 1.0;
  obstacle_value_ = static_cast<float>(obstacle_score_);
  unreachable_value_ = static_cast<float>(unreachable_score_);
  padded_width_ = size_x + 2;
  const unsigned char * costs = costmap_->getCharMap();
  base_costs_.assign(costs, costs + cells);

  base_values_.resize(size_t{padded_width_} * (size_y + 2));
  float * values = base_values_.data();
  std::fill(values, values + padded_width_, border_value_);
  for (unsigned int y = 0; y < size_y; ++y) {
    float * row = values + size_t{y + 1} * padded_width_;
    const unsigned char * cost_row = costs + size_t{y} * size_x;
    row[0] = border_value_;
    for (unsigned int x = 0; x < size_x; ++x) {
      row[x + 1] = isObstacle(cost_row[x]) ? untouched_obstacle_value_ : unreachable_value_;
    }
    row[size_x + 1] = border_value_;
  }
  std::fill(base_values_.end() - padded_width_, base_values_.end(), border_value_);
}

void MapGridCritic::setAsObstacle(unsigned int index)
{
  unsigned int x, y;
  costmap_->indexToCells(index, x, y);
  markObstacle(paddedIndex(x, y));
}

void MapGridCritic::markObstacle(unsigned int index)
{
  if (cell_values_[index] != obstacle_value_) {
    cell_values_[index] = obstacle_value_;
    touched_obstacles_.push_back(index);
  }
}

void MapGridCritic::addSeed(unsigned int x, unsigned int y)
{
  const unsigned int index = paddedIndex(x, y);
  if (cell_values_[index] == 0.0f) {
    return;
  }
  cell_values_[index] = 0.0f;
  queue_[queue_end_++] = index;
}

bool MapGridCritic::isObstacle(unsigned char cost)
{
  // Inscribed, lethal and unknown are the three values at the top of the range.
  static_assert(
    nav2_costmap_2d::LETHAL_OBSTACLE == nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE + 1 &&
    nav2_costmap_2d::NO_INFORMATION == nav2_costmap_2d::LETHAL_OBSTACLE + 1 &&
    nav2_costmap_2d::NO_INFORMATION == 255, "obstacle costs must close the cost range");
  return cost >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
}

void MapGridCritic::propagateManhattanDistances()
{
  queue_head_ = 0;
}

template<typename Done>
void MapGridCritic::spread(Done && done)
{
  const unsigned int width = padded_width_;
  float * values = cell_values_.data();
  unsigned int * queue = queue_.data();
  size_t head = queue_head_;
  size_t end = queue_end_;

  // Border cells are neither unreachable nor obstacles, so they stop the spread by themselves.
  auto reach = [&](unsigned int neighbour, float value) {
      const float current = values[neighbour];
      if (current == unreachable_value_) {
        values[neighbour] = value;
        queue[end++] = neighbour;
      } else if (current == untouched_obstacle_value_) {
        markObstacle(neighbour);
      }
    };

  // With unit steps and every seed at 0, first-in first-out visits cells in order of distance,
  // so the first value a cell gets is its shortest Manhattan distance.
  while (head < end && !done()) {
    const unsigned int index = queue[head++];
    const float next = values[index] + 1.0f;
    reach(index - 1, next);
    reach(index + 1, next);
    reach(index - width, next);
    reach(index + width, next);
  }
  queue_head_ = head;
  queue_end_ = end;
}

float MapGridCritic::spreadUntilKnown(unsigned int target)
{
  spread(
    [this, target]() {
      const float value = cell_values_[target];
      return value != unreachable_value_ && value != untouched_obstacle_value_;
    });
  return cell_values_[target];
}

void MapGridCritic::spreadAll()
{
  spread([]() {return false;});
}

double MapGridCritic::scorePose(const geometry_msgs::msg::Pose2D & pose)
{
  unsigned int cell_x, cell_y;
  if (!costmap_->worldToMap(pose.x, pose.y, cell_x, cell_y)) {
    throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Goes Off Grid.");
  }
  return getScore(cell_x, cell_y);
}

double MapGridCritic::scoreTrajectory(const dwb_msgs::msg::Trajectory2D & traj)
{
  double score = 0.0;
  size_t start_index = 0;
  if (aggregation_type_ == ScoreAggregationType::Product && !traj.poses.empty()) {
    score = 1.0;
  } else if (aggregation_type_ == ScoreAggregationType::Last && !stop_on_failure_ &&
    !traj.poses.empty())
  {
    // Only the last pose counts and failures are not checked: skip the others.
    start_index = traj.poses.size() - 1;
  }
  for (size_t i = start_index; i < traj.poses.size(); ++i) {
    const double grid_dist = scorePose(traj.poses[i]);
    if (stop_on_failure_) {
      if (grid_dist == obstacle_score_) {
        throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Obstacle.");
      } else if (grid_dist == unreachable_score_) {
        throw dwb_core::IllegalTrajectoryException(name_, "Trajectory Hits Unreachable Area.");
      }
    }
    switch (aggregation_type_) {
      case ScoreAggregationType::Last:
        score = grid_dist;
        break;
      case ScoreAggregationType::Sum:
        score += grid_dist;
        break;
      case ScoreAggregationType::Product:
        if (score > 0) {
          score *= grid_dist;
        }
        break;
    }
  }
  return score;
}

void MapGridCritic::addCriticVisualization(
  std::vector<std::pair<std::string, std::vector<float>>> & cost_channels)
{
  spreadAll();
  const unsigned int size_x = costmap_->getSizeInCellsX();
  const unsigned int size_y = costmap_->getSizeInCellsY();
  std::vector<float> scores;
  scores.reserve(size_t{size_x} * size_y);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      scores.push_back(static_cast<float>(getScore(x, y)));
    }
  }
  cost_channels.emplace_back(name_, std::move(scores));
}

}  // namespace dwb_critics
