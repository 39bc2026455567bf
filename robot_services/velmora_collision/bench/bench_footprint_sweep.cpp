// One footprint sweep of 0.8 s at 0.5 m/s with a quarter turn per second (the TEB planner's
// horizon, as it sweeps each of its 126 sampled motions a cycle) by a 0.62 m x 0.52 m robot on
// 0.05 m cells: clear of the wall at the start, where the outline is looked up per sample, and
// with its back 0.03 m in a wall, where the whole area is.
//
// Targets: 25 us clear and 100 us in collision, so that even a robot in collision keeps the TEB
// planner's 126 sweeps (besides its path-ahead check) well inside the 50 ms of a 20 Hz cycle.
#include <benchmark/benchmark.h>

#include <vector>

#include "collision/footprint_sweep.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

namespace
{
using Collision::FootprintSweep;

std::vector<geometry_msgs::msg::Point> robot()
{
  std::vector<geometry_msgs::msg::Point> points(4);
  const double xs[] = {0.31, -0.31, -0.31, 0.31};
  const double ys[] = {0.26, 0.26, -0.26, -0.26};
  for (int i = 0; i < 4; ++i) {
    points[i].x = xs[i];
    points[i].y = ys[i];
  }
  return points;
}

// 10 m x 5 m with a wall along x 2.0-2.2.
nav2_costmap_2d::Costmap2D walledMap()
{
  nav2_costmap_2d::Costmap2D costmap(200, 100, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  for (unsigned int x = 40; x < 44; ++x) {
    for (unsigned int y = 0; y < 100; ++y) {
      costmap.setCost(x, y, nav2_costmap_2d::LETHAL_OBSTACLE);
    }
  }
  return costmap;
}

void sweepFrom(benchmark::State & state, double start_x)
{
  auto costmap = walledMap();
  FootprintSweep sweep(costmap);
  const auto footprint = robot();
  for (auto _ : state) {
    benchmark::DoNotOptimize(sweep.isFree({start_x, 2.5, 0.0}, {0.5, 0.0, 0.4}, 0.8, footprint));
  }
}

void sweepClearOfTheWall(benchmark::State & state) {sweepFrom(state, 3.0);}
BENCHMARK(sweepClearOfTheWall)->Unit(benchmark::kMicrosecond);

void sweepOutOfTheWall(benchmark::State & state) {sweepFrom(state, 2.48);}
BENCHMARK(sweepOutOfTheWall)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
