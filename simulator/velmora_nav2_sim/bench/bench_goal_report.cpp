// What the per-goal report costs at the end of a run on a large map (2000 x 2100 cells at
// 0.05 m, shelves of lethal cells): the distance transform of the lethal cells, done once per
// run, and the clearance of the robot's outline at one pose, done once per trace sample.
#include <benchmark/benchmark.h>

#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "outline_clearance.hpp"

namespace
{
constexpr unsigned int kSizeX = 2000;
constexpr unsigned int kSizeY = 2100;
constexpr double kResolution = 0.05;

// Shelf rows 0.8 m deep every 2.8 m, cut by a cross aisle every 10 m, inside a wall.
nav2_costmap_2d::Costmap2D warehouse()
{
  nav2_costmap_2d::Costmap2D map(kSizeX, kSizeY, kResolution, 0.0, 0.0);
  for (unsigned int y = 0; y < kSizeY; ++y) {
    for (unsigned int x = 0; x < kSizeX; ++x) {
      const bool wall = x == 0 || y == 0 || x + 1 == kSizeX || y + 1 == kSizeY;
      const bool shelf = y % 56 >= 40 && x % 200 >= 40;
      map.setCost(
        x, y, wall || shelf ? nav2_costmap_2d::LETHAL_OBSTACLE : nav2_costmap_2d::FREE_SPACE);
    }
  }
  return map;
}

std::vector<geometry_msgs::msg::Point> outline()
{
  std::vector<geometry_msgs::msg::Point> points(4);
  points[0].x = 0.31;
  points[0].y = 0.26;
  points[1].x = 0.31;
  points[1].y = -0.26;
  points[2].x = -0.31;
  points[2].y = -0.26;
  points[3].x = -0.31;
  points[3].y = 0.26;
  return points;
}

void distanceTransformOfTheWholeMap(benchmark::State & state)
{
  const nav2_costmap_2d::Costmap2D map = warehouse();
  for (auto _ : state) {
    velmora_apps::OutlineClearance clearance(map, outline());
    benchmark::DoNotOptimize(clearance);
  }
}
BENCHMARK(distanceTransformOfTheWholeMap)->Unit(benchmark::kMillisecond);

void clearanceAtOnePose(benchmark::State & state)
{
  const velmora_apps::OutlineClearance clearance(warehouse(), outline());
  // Along an aisle, turning as it goes.
  double x = 5.0;
  double yaw = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(clearance.at({x, 1.5, yaw}));
    x = x > 90.0 ? 5.0 : x + 0.01;
    yaw += 0.01;
  }
}
BENCHMARK(clearanceAtOnePose)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
