// Start-up cost of the default world: reading the map files, building the narrow-passage layer
// and inflating the costmap. Together they must stay well under a second.
#include <benchmark/benchmark.h>

#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_gridmap/multi_grid_map.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

namespace
{
using velmora_nav2_gridmap::GridMapROS;
using velmora_nav2_gridmap::OccupancyMapLoader;

void loadWarehouseMap(benchmark::State & state)
{
  for (auto _ : state) {
    benchmark::DoNotOptimize(OccupancyMapLoader::load(GridMapROS::defaultMapFile()));
  }
}
BENCHMARK(loadWarehouseMap)->Unit(benchmark::kMillisecond);

void buildNarrowPassageLayer(benchmark::State & state)
{
  const auto costmap = OccupancyMapLoader::load(GridMapROS::defaultMapFile()).toCostmap();
  for (auto _ : state) {
    velmora_nav2_gridmap::MultiGridMap layers(costmap, 1.6);
    benchmark::DoNotOptimize(layers.inNarrowPassage(0, 0, 0));
  }
}
BENCHMARK(buildNarrowPassageLayer)->Unit(benchmark::kMillisecond);

void inflateWarehouseCostmap(benchmark::State & state)
{
  const auto costmap = OccupancyMapLoader::load(GridMapROS::defaultMapFile()).toCostmap();
  nav2_costmap_2d::LayeredCostmap layered("map", false, true);
  layered.setFootprint(nav2_costmap_2d::makeFootprintFromRadius(0.3));
  layered.setInflationParameters(0.55, 3.0);
  for (auto _ : state) {
    layered.setStaticMap(costmap);
    benchmark::DoNotOptimize(layered.getCostmap()->getCharMap());
  }
}
BENCHMARK(inflateWarehouseCostmap)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
