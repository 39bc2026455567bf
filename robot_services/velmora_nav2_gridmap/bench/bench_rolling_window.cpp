// What a rolling local costmap saves each update on the default world: one update of a 5 m x
// 5 m window at 0.05 m (moved to the robot, refilled from the map and inflated) against a
// rebuild of the costmap of the whole map (copied and inflated).
#include <benchmark/benchmark.h>

#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

namespace
{
using velmora_nav2_gridmap::GridMapROS;
using velmora_nav2_gridmap::OccupancyMapLoader;

// The installed parameter file's footprint and inflation.
void configureLikeTheProduct(nav2_costmap_2d::LayeredCostmap & layered)
{
  std::vector<geometry_msgs::msg::Point> footprint;
  nav2_costmap_2d::makeFootprintFromString(
    "[[0.30, 0.25], [0.30, -0.25], [0.0, -0.25], [-0.30, -0.25], [-0.30, 0.25], [0.0, 0.25]]",
    footprint);
  nav2_costmap_2d::padFootprint(footprint, 0.01);
  layered.setFootprint(footprint);
  layered.setInflationParameters(0.55, 10.0);
}

void updateRollingWindow(benchmark::State & state)
{
  const auto map = OccupancyMapLoader::load(GridMapROS::defaultMapFile()).toCostmap();
  nav2_costmap_2d::LayeredCostmap layered("map", true, false);
  configureLikeTheProduct(layered);
  layered.resizeMap(100, 100, 0.05, 0.0, 0.0);
  layered.setStaticMap(map);
  // Along aisle 1, a step of 0.1 m each update (the window moves every time).
  double x = 4.0;
  for (auto _ : state) {
    x = x < 9.0 ? x + 0.1 : 4.0;
    layered.updateMap(x, 4.4, 0.0);
    benchmark::DoNotOptimize(layered.getCostmap()->getCharMap());
  }
}
BENCHMARK(updateRollingWindow)->Unit(benchmark::kMicrosecond);

void rebuildWholeMapCostmap(benchmark::State & state)
{
  const auto map = OccupancyMapLoader::load(GridMapROS::defaultMapFile()).toCostmap();
  nav2_costmap_2d::LayeredCostmap layered("map", false, false);
  configureLikeTheProduct(layered);
  layered.setStaticMap(map);
  for (auto _ : state) {
    layered.rebuild();
    benchmark::DoNotOptimize(layered.getCostmap()->getCharMap());
  }
}
BENCHMARK(rebuildWholeMapCostmap)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
