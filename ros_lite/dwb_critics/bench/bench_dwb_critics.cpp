// The cost of the standard trajectory critics on a 400 x 300 costmap of 0.05 m cells: preparing
// the distance grids once per cycle (each fills the whole costmap), and scoring one cycle's worth
// of trajectories.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "dwb_core/exceptions.hpp"
#include "dwb_critics/base_obstacle.hpp"
#include "dwb_critics/goal_align.hpp"
#include "dwb_critics/goal_dist.hpp"
#include "dwb_critics/obstacle_footprint.hpp"
#include "dwb_critics/oscillation.hpp"
#include "dwb_critics/path_align.hpp"
#include "dwb_critics/path_dist.hpp"
#include "dwb_critics/rotate_to_goal.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"

namespace
{

geometry_msgs::msg::Pose2D pose(double x, double y, double theta = 0.0)
{
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

// A 20 m x 15 m costmap with shelf rows (lethal with an inscribed rim), a plan along the aisle
// between two rows and the critics of a usual configuration.
class Scene
{
public:
  Scene()
  : costmap_ros_(std::make_shared<nav2_costmap_2d::Costmap2DROS>("bench_costmap")),
    node_(std::make_shared<nav2_util::LifecycleNode>("bench_planner"))
  {
    costmap_ros_->set_parameter(rclcpp::Parameter("width", 20));
    costmap_ros_->set_parameter(rclcpp::Parameter("height", 15));
    costmap_ros_->set_parameter(rclcpp::Parameter("resolution", 0.05));
    costmap_ros_->set_parameter(
      rclcpp::Parameter("footprint", "[[0.3, 0.25], [-0.3, 0.25], [-0.3, -0.25], [0.3, -0.25]]"));
    costmap_ros_->configure();
    auto & grid = *costmap_ros_->getCostmap();
    for (unsigned int row = 40; row < 300; row += 80) {
      for (unsigned int y = row; y < row + 20 && y < 300; ++y) {
        for (unsigned int x = 30; x < 370; ++x) {
          const bool rim = y == row || y == row + 19 || x == 30 || x == 369;
          grid.setCost(
            x, y, rim ? nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE :
            nav2_costmap_2d::LETHAL_OBSTACLE);
        }
      }
    }
    for (double x = 1.0; x <= 19.0; x += 0.5) {
      plan_.poses.push_back(pose(x, 5.0));
    }
    robot_ = pose(3.0, 5.0);
    goal_ = plan_.poses.back();
    velocity_.x = 0.4;

    add<dwb_critics::RotateToGoalCritic>("RotateToGoal");
    add<dwb_critics::OscillationCritic>("Oscillation");
    add<dwb_critics::BaseObstacleCritic>("BaseObstacle");
    add<dwb_critics::ObstacleFootprintCritic>("ObstacleFootprint");
    add<dwb_critics::GoalAlignCritic>("GoalAlign");
    add<dwb_critics::PathAlignCritic>("PathAlign");
    add<dwb_critics::PathDistCritic>("PathDist");
    add<dwb_critics::GoalDistCritic>("GoalDist");

    // 600 arcs of 30 poses, 0.05 s apart, fanning out from the robot.
    for (int v = 0; v < 20; ++v) {
      for (int w = 0; w < 30; ++w) {
        dwb_msgs::msg::Trajectory2D traj;
        traj.velocity.x = 0.05 * (v + 1);
        traj.velocity.theta = -1.0 + w * (2.0 / 29.0);
        geometry_msgs::msg::Pose2D p = robot_;
        for (int i = 0; i < 30; ++i) {
          traj.poses.push_back(p);
          p.x += traj.velocity.x * std::cos(p.theta) * 0.05;
          p.y += traj.velocity.x * std::sin(p.theta) * 0.05;
          p.theta += traj.velocity.theta * 0.05;
        }
        trajectories_.push_back(traj);
      }
    }
  }

  template<class Critic>
  void add(const std::string & name)
  {
    auto critic = std::make_shared<Critic>();
    critic->initialize(node_, name, "FollowPath", costmap_ros_);
    critics_.push_back(critic);
  }

  void prepareAll()
  {
    for (auto & critic : critics_) {
      critic->prepare(robot_, velocity_, goal_, plan_);
    }
  }

  // Scores every trajectory with every critic; returns the number of legal ones.
  int scoreAll()
  {
    int legal = 0;
    for (const auto & traj : trajectories_) {
      try {
        double total = 0.0;
        for (auto & critic : critics_) {
          total += critic->getScale() * critic->scoreTrajectory(traj);
        }
        benchmark::DoNotOptimize(total);
        ++legal;
      } catch (const dwb_core::IllegalTrajectoryException &) {
        // Refused: the planner records it and moves on, so do we.
      }
    }
    return legal;
  }

  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  nav2_util::LifecycleNode::SharedPtr node_;
  std::vector<std::shared_ptr<dwb_core::TrajectoryCritic>> critics_;
  std::vector<dwb_msgs::msg::Trajectory2D> trajectories_;
  nav_2d_msgs::msg::Path2D plan_;
  geometry_msgs::msg::Pose2D robot_, goal_;
  nav_2d_msgs::msg::Twist2D velocity_;
};

Scene & scene()
{
  static Scene instance;
  return instance;
}

void BM_PathDistPrepare(benchmark::State & state)
{
  dwb_critics::PathDistCritic & critic =
    static_cast<dwb_critics::PathDistCritic &>(*scene().critics_[6]);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
      critic.prepare(scene().robot_, scene().velocity_, scene().goal_, scene().plan_));
  }
}
BENCHMARK(BM_PathDistPrepare)->Unit(benchmark::kMicrosecond);

// The share of preparing that clears the grid and the queue.
void BM_MapGridReset(benchmark::State & state)
{
  auto & critic = *scene().critics_[6];
  for (auto _ : state) {
    critic.reset();
  }
}
BENCHMARK(BM_MapGridReset)->Unit(benchmark::kMicrosecond);

void BM_GoalDistPrepare(benchmark::State & state)
{
  auto & critic = *scene().critics_[7];
  for (auto _ : state) {
    benchmark::DoNotOptimize(
      critic.prepare(scene().robot_, scene().velocity_, scene().goal_, scene().plan_));
  }
}
BENCHMARK(BM_GoalDistPrepare)->Unit(benchmark::kMicrosecond);

void BM_PrepareAllCritics(benchmark::State & state)
{
  for (auto _ : state) {
    scene().prepareAll();
  }
}
BENCHMARK(BM_PrepareAllCritics)->Unit(benchmark::kMicrosecond);

// One planning cycle of every critic: prepare, then score all 600 trajectories.
void BM_Cycle(benchmark::State & state)
{
  int legal = 0;
  for (auto _ : state) {
    scene().prepareAll();
    legal = scene().scoreAll();
  }
  state.counters["legal"] = legal;
}
BENCHMARK(BM_Cycle)->Unit(benchmark::kMicrosecond);

// The same without the footprint critic, which a usual configuration leaves out.
void BM_CycleWithoutFootprint(benchmark::State & state)
{
  auto & critics = scene().critics_;
  const auto footprint = critics[3];
  critics.erase(critics.begin() + 3);
  int legal = 0;
  for (auto _ : state) {
    scene().prepareAll();
    legal = scene().scoreAll();
  }
  critics.insert(critics.begin() + 3, footprint);
  state.counters["legal"] = legal;
}
BENCHMARK(BM_CycleWithoutFootprint)->Unit(benchmark::kMicrosecond);

// One distance critic's cycle: fill its grid, then score every trajectory on it.
void BM_DistanceCriticCycle(benchmark::State & state)
{
  auto & critic = *scene().critics_[static_cast<size_t>(state.range(0))];
  state.SetLabel(critic.getName());
  for (auto _ : state) {
    critic.prepare(scene().robot_, scene().velocity_, scene().goal_, scene().plan_);
    for (const auto & traj : scene().trajectories_) {
      try {
        benchmark::DoNotOptimize(critic.scoreTrajectory(traj));
      } catch (const dwb_core::IllegalTrajectoryException &) {
        // Refused trajectories cost what they cost up to the refusal.
      }
    }
  }
}
BENCHMARK(BM_DistanceCriticCycle)->DenseRange(4, 7)->Unit(benchmark::kMicrosecond);

// One critic alone over the same 600 trajectories, the argument indexing the critic list.
void BM_Score600TrajectoriesOneCritic(benchmark::State & state)
{
  scene().prepareAll();
  auto & critic = *scene().critics_[static_cast<size_t>(state.range(0))];
  state.SetLabel(critic.getName());
  for (auto _ : state) {
    for (const auto & traj : scene().trajectories_) {
      try {
        benchmark::DoNotOptimize(critic.scoreTrajectory(traj));
      } catch (const dwb_core::IllegalTrajectoryException &) {
        // Refused trajectories cost what they cost up to the refusal.
      }
    }
  }
}
BENCHMARK(BM_Score600TrajectoriesOneCritic)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char ** argv)
{
  rclcpp::init(0, nullptr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rclcpp::shutdown();
  return 0;
}
