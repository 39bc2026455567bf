#include "dwb_critics/map_grid.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

#include "dwb_core/exceptions.hpp"
#include "nav_2d_utils/parameters.hpp"

namespace dwb_critics
{

bool MapGridCritic::MapGridQueue::validCellToQueue(const costmap_queue::CellData & /*cell*/)
{
  return true;
}

void MapGridCritic::onInit()
{
  costmap_ = costmap_ros_->getCostmap();
  queue_ = std::make_shared<MapGridQueue>(*costmap_, *this);
  // Subclasses that only want a preference rather than a limit turn it off.
  stop_on_failure_ = true;

  std::string aggregation_type = nav_2d_utils::searchAndGetParam(
    node_.lock(), dwb_plugin_name_ + "." + name_ + ".aggregation_type", std::string("last"));
  std::transform(
    aggregation_type.begin(), aggregation_type.end(), aggregation_type.begin(),
    [](unsigned char c) {return static_cast<char>(std::tolower(c));});
  if (aggregation_type == "last") {
    aggregationType_ = ScoreAggregationType::Last;
  } else if (aggregation_type == "sum") {
    aggregationType_ = ScoreAggregationType::Sum;
  } else if (aggregation_type == "product") {
    aggregationType_ = ScoreAggregationType::Product;
  } else {
    RCLCPP_ERROR(
      rclcpp::get_logger("MapGridCritic"),
      "aggregation_type parameter \"%s\" invalid. Using Last.", aggregation_type.c_str());
    aggregationType_ = ScoreAggregationType::Last;
  }
  reset();
}

void MapGridCritic::setAsObstacle(unsigned int index)
{
  cell_values_[index] = obstacle_score_;
}

void MapGridCritic::reset()
{
  queue_->reset();
  cell_values_.resize(
    static_cast<size_t>(costmap_->getSizeInCellsX()) * costmap_->getSizeInCellsY());
  obstacle_score_ = static_cast<double>(cell_values_.size());
  unreachable_score_ = obstacle_score_ + 1.0;
  std::fill(cell_values_.begin(), cell_values_.end(), unreachable_score_);
}

void MapGridCritic::propogateManhattanDistances()
{
  while (!queue_->isEmpty()) {
    const costmap_queue::CellData cell = queue_->getNextCell();
    cell_values_[cell.index_] =
      costmap_queue::CellData::absolute_difference(cell.src_x_, cell.x_) +
      costmap_queue::CellData::absolute_difference(cell.src_y_, cell.y_);
  }
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
  if (aggregationType_ == ScoreAggregationType::Product) {
    score = 1.0;
  } else if (aggregationType_ == ScoreAggregationType::Last && !stop_on_failure_) {
    // Only the last pose counts and nothing is refused: the others need no look. An empty
    // trajectory scores 0.
    start_index = traj.poses.empty() ? 0 : traj.poses.size() - 1;
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
    switch (aggregationType_) {
      case ScoreAggregationType::Last:
        score = grid_dist;
        break;
      case ScoreAggregationType::Sum:
        score += grid_dist;
        break;
      case ScoreAggregationType::Product:
        // Once a pose meets a seed the product stays 0.
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
  const unsigned int size_x = costmap_->getSizeInCellsX();
  const unsigned int size_y = costmap_->getSizeInCellsY();
  std::vector<float> scores;
  scores.reserve(static_cast<size_t>(size_x) * size_y);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      scores.push_back(static_cast<float>(getScore(x, y)));
    }
  }
  cost_channels.emplace_back(name_, std::move(scores));
}

}  // namespace dwb_critics
