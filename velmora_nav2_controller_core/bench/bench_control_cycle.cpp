// Cost of one control cycle and its parts, on the warehouse world with the robot placed in an
// aisle: the lateral-move cycle through the controller base, the robot-pose lookup, the collision
// look-ahead and the send; the PID law, the goal checker; and a log statement next to the same
// line written through spdlog directly on the same sink.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include "base_robot/base_robot.hpp"
#include "bench_support.hpp"
#include "controller/lateral_move_controller.hpp"
#include "controller/pid_pose.hpp"
#include "nav2_controller/simple_goal_checker.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "velmora/logger.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"

namespace
{

// A sink that formats each line like a real sink and throws the text away.
class FormattingSink : public spdlog::sinks::base_sink<std::mutex>
{
protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    spdlog::memory_buf_t line;
    formatter_->format(message, line);
    benchmark::DoNotOptimize(line.data());
  }
  void flush_() override {}
};

// The world every cycle benchmark shares, built once: the grid-map service, the controllers'
// node and a lateral move 2 m along aisle 1 that the robot, placed at its start, never finishes.
class CycleWorld
{
public:
  // Built by main between rclcpp::init and rclcpp::shutdown.
  static std::unique_ptr<CycleWorld> instance_;
  static CycleWorld & instance() {return *instance_;}

  controller::LateralMoveController & controller() {return *controller_;}

  CycleWorld()
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>();
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(
      std::make_shared<velmora_bench::DiscardingLink>());
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("velmora_nav2_controller");
    controller_ = std::make_shared<controller::LateralMoveController>(node_, grid_map_);

    velmora_bench::placeRobot(*grid_map_, 6.5, 4.2, 0.0);

    auto goal = std::make_shared<controller::NavControllerBase::Goal>();
    goal->controller_id = "lateral_move_controller";
    goal->controller_frequency = 20;
    goal->nav_path.header.frame_id = "map";
    geometry_msgs::msg::PoseStamped target;
    target.header.frame_id = "map";
    target.pose.position.x = 8.5;
    target.pose.position.y = 4.2;
    target.pose.orientation.w = 1.0;
    goal->nav_path.poses = {target, target};
    if (!controller_->setPlan(goal)) {
      throw std::runtime_error("the benchmark's lateral move was refused");
    }
  }

private:
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<controller::LateralMoveController> controller_;
};

std::unique_ptr<CycleWorld> CycleWorld::instance_;

void lateralMoveCycle(benchmark::State & state)
{
  auto & controller = CycleWorld::instance().controller();
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.computeAndPublishVelocity());
  }
}
BENCHMARK(lateralMoveCycle)->Unit(benchmark::kMicrosecond);

void robotPoseLookup(benchmark::State & state)
{
  auto & controller = CycleWorld::instance().controller();
  geometry_msgs::msg::PoseStamped pose;
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.getRobotPose(pose));
  }
}
BENCHMARK(robotPoseLookup)->Unit(benchmark::kMicrosecond);

void collisionLookAhead(benchmark::State & state)
{
  auto & controller = CycleWorld::instance().controller();
  // The verdict is on the command of the last cycle: one cycle leaves a moving command there.
  controller.computeAndPublishVelocity();
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.isCollisionFree());
  }
}
BENCHMARK(collisionLookAhead)->Unit(benchmark::kMicrosecond);

void sendCommand(benchmark::State & state)
{
  const auto & unit = velmora_communicator::CommunicatorEngine::GetInstance()->cmdVelUnit();
  geometry_msgs::msg::Twist command;
  command.linear.y = 0.2;
  for (auto _ : state) {
    unit->publishVelocity(command);
  }
}
BENCHMARK(sendCommand)->Unit(benchmark::kMicrosecond);

void pidPoseOutput(benchmark::State & state)
{
  controller::PID_pose pid(1.2, 0.01, 0.3, 0.0, 0.5, -0.5, true);
  double error = 0.4;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pid.cal_output(error));
    error = -error * 0.999;
  }
}
BENCHMARK(pidPoseOutput);

void goalChecker(benchmark::State & state)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("bench_goal_checker");
  nav2_controller::SimpleGoalChecker checker;
  checker.initialize(node, "goal_checker", nullptr);
  geometry_msgs::msg::Pose robot;
  robot.position.x = 1.0;
  robot.orientation = BaseRobot().eulerToQuaternion(0.3, 0.0, 0.0);
  geometry_msgs::msg::Pose goal;
  goal.position.x = 1.005;
  goal.orientation = BaseRobot().eulerToQuaternion(0.31, 0.0, 0.0);
  const geometry_msgs::msg::Twist velocity;
  for (auto _ : state) {
    benchmark::DoNotOptimize(checker.isGoalReached(robot, goal, velocity));
  }
}
BENCHMARK(goalChecker);

// Both loggers write to one formatting sink, so the difference is what the project's statement
// adds: the compile-time format check, the number and tag prefix, the level mapping.
std::shared_ptr<spdlog::logger> & rawLoggerOnProjectSink()
{
  static std::shared_ptr<spdlog::logger> raw = [] {
      auto project = velmora::Logger::Instance("spdlog").spdlogLogger();
      auto sink = std::make_shared<FormattingSink>();
      project->sinks().assign({sink});
      return std::make_shared<spdlog::logger>("raw_spdlog", sink);
    }();
  return raw;
}

void logStatement(benchmark::State & state)
{
  rawLoggerOnProjectSink();
  const std::string name = "lateral_move_controller";
  for (auto _ : state) {
    VLOG_INFO("current_controller is {}", name);
  }
}
BENCHMARK(logStatement);

void rawSpdlogStatement(benchmark::State & state)
{
  const auto & raw = rawLoggerOnProjectSink();
  const std::string name = "lateral_move_controller";
  for (auto _ : state) {
    raw->log(
      spdlog::source_loc{__FILE__, __LINE__, static_cast<const char *>(__func__)},
      spdlog::level::info, "current_controller is {}", name);
  }
}
BENCHMARK(rawSpdlogStatement);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  rclcpp::init(argc, argv);
  CycleWorld::instance_ = std::make_unique<CycleWorld>();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CycleWorld::instance_.reset();
  velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();
  rclcpp::shutdown();
  return 0;
}
