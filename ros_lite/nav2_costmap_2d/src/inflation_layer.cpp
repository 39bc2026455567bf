#include "nav2_costmap_2d/inflation_layer.hpp"

#include <algorithm>

namespace nav2_costmap_2d
{

void InflationLayer::setInflationParameters(double inflation_radius, double cost_scaling_factor)
{
  inflation_radius_ = inflation_radius;
  cost_scaling_factor_ = cost_scaling_factor;
}

void InflationLayer::computeCaches(Costmap2D & master_grid)
{
  resolution_ = master_grid.getResolution();
  cell_inflation_radius_ = inflation_radius_ > 0.0 ? master_grid.cellDistance(inflation_radius_) : 0;
  const unsigned int max_d2 = cell_inflation_radius_ * cell_inflation_radius_;
  cached_costs_.resize(max_d2 + 1);
  for (unsigned int d2 = 0; d2 <= max_d2; ++d2) {
    cached_costs_[d2] = computeCost(std::sqrt(static_cast<double>(d2)));
  }
  inflation_cells_.assign(max_d2 + 1, {});
}

void InflationLayer::enqueue(
  unsigned int index, unsigned int mx, unsigned int my, unsigned int src_x, unsigned int src_y)
{
  if (seen_[index]) {
    return;
  }
  const long dx = static_cast<long>(mx) - static_cast<long>(src_x);
  const long dy = static_cast<long>(my) - static_cast<long>(src_y);
  const unsigned long d2 = static_cast<unsigned long>(dx * dx + dy * dy);
  if (d2 >= inflation_cells_.size()) {
    return;
  }
  inflation_cells_[d2].push_back(CellData{index, mx, my, src_x, src_y});
}

void InflationLayer::updateCosts(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j)
{
  std::unique_lock<Costmap2D::mutex_t> lock(*master_grid.getMutex());
  const int size_x = static_cast<int>(master_grid.getSizeInCellsX());
  const int size_y = static_cast<int>(master_grid.getSizeInCellsY());
  min_i = std::max(min_i, 0);
  min_j = std::max(min_j, 0);
  max_i = std::min(max_i, size_x);
  max_j = std::min(max_j, size_y);
  if (min_i >= max_i || min_j >= max_j) {
    return;
  }
  computeCaches(master_grid);
  if (cell_inflation_radius_ == 0) {
    return;
  }

  // Obstacles just outside the window still inflate into it.
  const int reach = static_cast<int>(cell_inflation_radius_);
  const int lo_i = std::max(min_i - reach, 0);
  const int lo_j = std::max(min_j - reach, 0);
  const int hi_i = std::min(max_i + reach, size_x);
  const int hi_j = std::min(max_j + reach, size_y);

  unsigned char * master = master_grid.getCharMap();
  seen_.assign(static_cast<size_t>(size_x) * size_y, false);
  for (int j = lo_j; j < hi_j; ++j) {
    for (int i = lo_i; i < hi_i; ++i) {
      const unsigned int index = master_grid.getIndex(i, j);
      if (master[index] == LETHAL_OBSTACLE) {
        inflation_cells_[0].push_back(CellData{index, static_cast<unsigned int>(i),
            static_cast<unsigned int>(j), static_cast<unsigned int>(i),
            static_cast<unsigned int>(j)});
      }
    }
  }

  // Cells are visited in order of their distance to the obstacle that reached them first, so
  // each cell takes its cost from its nearest obstacle.
  for (auto & bin : inflation_cells_) {
    // A cell may enqueue neighbours into the bin being walked: index, never iterate.
    for (size_t k = 0; k < bin.size(); ++k) {
      const CellData cell = bin[k];
      if (seen_[cell.index]) {
        continue;
      }
      seen_[cell.index] = true;
      const long dx = static_cast<long>(cell.x) - static_cast<long>(cell.src_x);
      const long dy = static_cast<long>(cell.y) - static_cast<long>(cell.src_y);
      const unsigned char cost = cached_costs_[static_cast<size_t>(dx * dx + dy * dy)];
      const int x = static_cast<int>(cell.x);
      const int y = static_cast<int>(cell.y);
      if (x >= min_i && x < max_i && y >= min_j && y < max_j) {
        const unsigned char old_cost = master[cell.index];
        if (old_cost == NO_INFORMATION) {
          if (cost >= INSCRIBED_INFLATED_OBSTACLE) {
            master[cell.index] = cost;
          }
        } else {
          master[cell.index] = std::max(old_cost, cost);
        }
      }
      if (x > lo_i) {
        enqueue(cell.index - 1, cell.x - 1, cell.y, cell.src_x, cell.src_y);
      }
      if (y > lo_j) {
        enqueue(cell.index - size_x, cell.x, cell.y - 1, cell.src_x, cell.src_y);
      }
      if (x < hi_i - 1) {
        enqueue(cell.index + 1, cell.x + 1, cell.y, cell.src_x, cell.src_y);
      }
      if (y < hi_j - 1) {
        enqueue(cell.index + size_x, cell.x, cell.y + 1, cell.src_x, cell.src_y);
      }
    }
    bin.clear();
  }
}

}  // namespace nav2_costmap_2d
