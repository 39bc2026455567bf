// One velocity cycle of the DWB controller (computeAndPublishVelocity: robot pose, planning,
// scaling, turn signal, movement status, send) on the warehouse world with the parameter file's
// planner, the robot in aisle 1 on a 4 m path along it. Two sample sets: the generator's own
// defaults (20 x 5 x 20, the sideways axis collapsing to one value as max_vel_y is 0) and the
// parameter file's 20 x 1 x 30, i.e. 600 trajectories. The DWB library reads the sample counts
// once, when it is configured, so each set gets a controller of its own. p50/p99 in
// milliseconds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "bench_support.hpp"
#include "controller/dwb_controller.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace
{

class DwbWorld
{
public:
  static std::unique_ptr<DwbWorld> instance_;

  DwbWorld()
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>();
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(
      std::make_shared<velmora_bench::DiscardingLink>());
    velmora_bench::placeRobot(*grid_map_, 7.0, 4.4, 0.0);
    goal_ = velmora_bench::aisleOneGoal("dwb_controller");
    goal_->speed_limit_percent = 0.5F;
  }

  // A controller whose planner samples vx x vy x vtheta velocities per cycle, its goal started.
  controller::DwbController & start(std::int64_t vx, std::int64_t vy, std::int64_t vtheta)
  {
    controller_.reset();
    node_.reset();
    rclcpp::NodeOptions options;
    options.parameter_overrides({
        rclcpp::Parameter("DwbPlanning.vx_samples", vx),
        rclcpp::Parameter("DwbPlanning.vy_samples", vy),
        rclcpp::Parameter("DwbPlanning.vtheta_samples", vtheta)});
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("velmora_nav2_controller", options);
    controller_ = std::make_shared<controller::DwbController>(node_, grid_map_);
    if (!controller_->setPlan(goal_)) {
      throw std::runtime_error("the benchmark's DWB goal was refused");
    }
    return *controller_;
  }

private:
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<controller::DwbController> controller_;
  std::shared_ptr<controller::NavControllerBase::Goal> goal_;
};

std::unique_ptr<DwbWorld> DwbWorld::instance_;

void dwbCycle(benchmark::State & state)
{
  velmora_bench::timeVelocityCycles(
    state, DwbWorld::instance_->start(state.range(0), state.range(1), state.range(2)));
}
BENCHMARK(dwbCycle)->ArgNames({"vx", "vy", "vtheta"})->Args({20, 5, 20})->Args({20, 1, 30})
->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  // The planner's configuration is the parameter file's, as on the robot.
  velmora_bench::initWithParameterFile(argc, argv);
  DwbWorld::instance_ = std::make_unique<DwbWorld>();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DwbWorld::instance_.reset();
  rclcpp::shutdown();
  return 0;
}
