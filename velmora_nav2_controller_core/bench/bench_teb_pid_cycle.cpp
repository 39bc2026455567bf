// One velocity cycle (computeAndPublishVelocity: robot pose, the controller's command, its
// collision rule, scaling, turn signal, movement status, send) of the TEB controller, the PID
// follower and the straight-only PID follower, on the warehouse world with the parameter file's
// configuration, the robot in aisle 1 on a 4 m path along it. p50/p99 in milliseconds.
//
// Targets at p99: 0.05 ms for both PID followers (a projection onto the path and one footprint
// sweep of half a second), 5 ms for the TEB planner (126 sampled motions, each a footprint sweep
// over its simulation time, besides the path-ahead check), well inside the 50 ms of a 20 Hz
// cycle.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "bench_support.hpp"
#include "controller/pid_controller.hpp"
#include "controller/pid_controller_straight_only.hpp"
#include "controller/teb_controller.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace
{

// The goals' cap, the default scenario's for its TEB goals: forward, sideways, turn.
constexpr double kCapForward = 0.3;
constexpr double kCapSideways = 0.2;
constexpr double kCapTurn = 0.5;

// The three controllers on one node, as the server holds them, and the robot at the start of
// the aisle path, facing along it. Its odometry reports it cruising at the cap, so the TEB
// planner searches round a moving base, as it does mid-aisle; the PID followers read no
// odometry.
class TebPidWorld
{
public:
  static std::unique_ptr<TebPidWorld> instance_;

  TebPidWorld()
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>();
    geometry_msgs::msg::Twist cruise;
    cruise.linear.x = kCapForward;
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(
      std::make_shared<velmora_bench::DiscardingLink>(cruise));
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("velmora_nav2_controller");
    teb_ = std::make_shared<controller::TebController>(node_, grid_map_);
    pid_ = std::make_shared<controller::PidController>(node_, grid_map_);
    straight_only_ = std::make_shared<controller::PidControllerStraightOnly>(node_, grid_map_);
    velmora_bench::placeRobot(*grid_map_, 7.0, 4.4, 0.0);
  }

  // Hands `controller_id` a fresh, capped aisle goal.
  controller::NavControllerBase & start(const std::string & controller_id)
  {
    auto goal = velmora_bench::aisleOneGoal(controller_id);
    goal->max_velocity.linear.x = kCapForward;
    goal->max_velocity.linear.y = kCapSideways;
    goal->max_velocity.angular.z = kCapTurn;
    controller::NavControllerBase & controller = byName(controller_id);
    if (!controller.setPlan(goal)) {
      throw std::runtime_error("the benchmark's " + controller_id + " goal was refused");
    }
    return controller;
  }

private:
  controller::NavControllerBase & byName(const std::string & controller_id)
  {
    if (controller_id == "teb_controller") {
      return *teb_;
    }
    if (controller_id == "pid_controller") {
      return *pid_;
    }
    if (controller_id == "pid_controller_straight_only") {
      return *straight_only_;
    }
    throw std::invalid_argument("no benchmark controller named " + controller_id);
  }

  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<controller::TebController> teb_;
  std::shared_ptr<controller::PidController> pid_;
  std::shared_ptr<controller::PidControllerStraightOnly> straight_only_;
};

std::unique_ptr<TebPidWorld> TebPidWorld::instance_;

void velocityCycle(benchmark::State & state, const std::string & controller_id)
{
  velmora_bench::timeVelocityCycles(state, TebPidWorld::instance_->start(controller_id));
}
BENCHMARK_CAPTURE(velocityCycle, teb, std::string("teb_controller"))
->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(velocityCycle, pid, std::string("pid_controller"))
->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(velocityCycle, pid_straight_only, std::string("pid_controller_straight_only"))
->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  velmora_bench::initWithParameterFile(argc, argv);
  TebPidWorld::instance_ = std::make_unique<TebPidWorld>();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TebPidWorld::instance_.reset();
  velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();
  rclcpp::shutdown();
  return 0;
}
