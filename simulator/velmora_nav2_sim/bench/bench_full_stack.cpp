// Response times of the whole stack on the simulated robot, seen from a real action client and
// from the robot end of the communicator: goal sent -> first command, preempting goal -> first
// command of the new goal, cancel -> zero velocity, and how far the control period strays from
// its nominal value at 20 and 100 Hz. Each figure is given as p50/p99 counters (milliseconds)
// next to the mean that Google Benchmark reports.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "simulated_stack.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_communicator/robot_link.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora/testing/benchmark_percentiles.hpp"

namespace
{
using namespace std::chrono_literals;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using Clock = std::chrono::steady_clock;

constexpr auto kDeadline = 5s;
constexpr int kGoals = 100;
// The control period of the goals at their usual 20 Hz.
constexpr auto kPeriod = 50ms;
constexpr double kAisleMiddleX = 6.5;
constexpr double kAisleY = 4.2;

// Sits between the communicator and the simulated robot: forwards every command and notes when
// it arrived.
class TimingLink : public velmora_communicator::RobotLink
{
public:
  struct Command
  {
    Clock::time_point at;
    double vx;
    double vy;
    double wz;
  };

  explicit TimingLink(velmora_communicator::RobotLink & robot)
  : robot_(robot) {}

  void publishVelocity(const geometry_msgs::msg::Twist & command) override
  {
    note({Clock::now(), command.linear.x, command.linear.y, command.angular.z});
    robot_.publishVelocity(command);
  }
  void publishZeroVelocity() override
  {
    note({Clock::now(), 0.0, 0.0, 0.0});
    robot_.publishZeroVelocity();
  }
  geometry_msgs::msg::TwistStamped getOdom() override {return robot_.getOdom();}
  geometry_msgs::msg::PoseStamped getOdomPose() override {return robot_.getOdomPose();}
  void publishExceptionHandle(int error_code) override {robot_.publishExceptionHandle(error_code);}
  void publishRobotEvent(const velmora_protocol::msg::RobotEvent & event) override
  {
    robot_.publishRobotEvent(event);
  }

  // Waits for the first command at or after `since` that `wanted` accepts.
  Command waitFor(Clock::time_point since, const std::function<bool(const Command &)> & wanted)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t seen = 0;
    Command found{};
    const bool arrived = changed_.wait_for(lock, kDeadline, [&] {
          for (; seen < commands_.size(); ++seen) {
            if (commands_[seen].at >= since && wanted(commands_[seen])) {
              found = commands_[seen];
              return true;
            }
          }
          return false;
        });
    if (!arrived) {
      throw std::runtime_error("the robot did not get the expected command in time");
    }
    return found;
  }

  // Drops what was noted, so that the next wait starts from an empty record.
  void forget()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.clear();
  }

private:
  void note(const Command & command)
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(command);
    }
    changed_.notify_all();
  }

  velmora_communicator::RobotLink & robot_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Command> commands_;
};

bool movingBackward(const TimingLink::Command & command) {return command.vx < 0.0;}
bool movingForward(const TimingLink::Command & command) {return command.vx > 0.0;}
bool standingStill(const TimingLink::Command & command)
{
  return command.vx == 0.0 && command.vy == 0.0 && command.wz == 0.0;
}

// The stack, the timing link in front of its robot and a client, built once for the program
// (main builds it between rclcpp::init and rclcpp::shutdown).
class Bench
{
public:
  Bench()
  : stack_(velmora_sim_robot::PlanarPose{kAisleMiddleX, kAisleY, 0.0})
  {
    link_ = std::make_shared<TimingLink>(stack_.robot());
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(link_);
    node_ = std::make_shared<rclcpp::Node>("bench_client");
    client_ = rclcpp_action::create_client<Action>(node_, "control_to_goal");
    executor_.add_node(node_);
    spinner_ = std::thread([this] {executor_.spin();});
    if (!client_->wait_for_action_server(kDeadline)) {
      throw std::runtime_error("no action server");
    }
  }

  ~Bench()
  {
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    executor_.cancel();
    spinner_.join();
  }

  Bench(const Bench &) = delete;
  Bench & operator=(const Bench &) = delete;

  static Bench & instance() {return *instance_;}
  static std::unique_ptr<Bench> instance_;

  TimingLink & link() {return *link_;}

  // A lateral move along the aisle to `x`, at `frequency` cycles per second.
  static Action::Goal moveTo(double x, int frequency = 20)
  {
    Action::Goal goal;
    goal.controller_id = "lateral_move_controller";
    goal.controller_frequency = frequency;
    goal.nav_path.header.frame_id = "map";
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = x;
    pose.pose.position.y = kAisleY;
    pose.pose.orientation.w = 1.0;
    goal.nav_path.poses = {pose, pose};
    return goal;
  }

  ClientGoalHandle::SharedPtr send(const Action::Goal & goal)
  {
    auto handle = client_->async_send_goal(goal);
    if (handle.wait_for(kDeadline) != std::future_status::ready || !handle.get()) {
      throw std::runtime_error("the goal was not accepted");
    }
    return handle.get();
  }

  // Cancels and waits until the goal has ended and the robot was told to stop.
  void cancel(const ClientGoalHandle::SharedPtr & handle)
  {
    auto result = client_->async_get_result(handle);
    client_->async_cancel_goal(handle);
    if (result.wait_for(kDeadline) != std::future_status::ready) {
      throw std::runtime_error("a cancelled goal did not end");
    }
  }

  // The target that keeps the robot near the middle of the aisle: the far side of the middle.
  double awayTarget()
  {
    return stack_.robot().mapPose().x < kAisleMiddleX ? kAisleMiddleX + 1.0 : kAisleMiddleX - 1.0;
  }

  double robotX() {return stack_.robot().mapPose().x;}

private:
  velmora_apps::SimulatedStack stack_;
  std::shared_ptr<TimingLink> link_;
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

std::unique_ptr<Bench> Bench::instance_;

// The preempting goal and the cancel arrive at a random point of the control period, as they
// would from a real client; sent right after a command they would always wait a whole period.
void waitRandomShareOfPeriod(std::chrono::milliseconds period)
{
  static std::mt19937 random(7);
  std::this_thread::sleep_for(std::chrono::microseconds(
      std::uniform_int_distribution<std::int64_t>(
        0, std::chrono::duration_cast<std::chrono::microseconds>(period).count())(random)));
}

double milliseconds(Clock::duration duration)
{
  return std::chrono::duration<double, std::milli>(duration).count();
}

void goalToFirstCommand(benchmark::State & state)
{
  auto & bench = Bench::instance();
  std::vector<double> samples;
  for (auto _ : state) {
    const double target = bench.awayTarget();
    const auto wanted = target > bench.robotX() ? movingForward : movingBackward;
    bench.link().forget();
    const auto sent = Clock::now();
    const auto handle = bench.send(Bench::moveTo(target));
    const auto first = bench.link().waitFor(sent, wanted);
    samples.push_back(milliseconds(first.at - sent));
    state.SetIterationTime(samples.back() / 1000.0);
    bench.cancel(handle);
  }
  velmora::testing::reportPercentiles(state, samples);
}
BENCHMARK(goalToFirstCommand)->Iterations(kGoals)->UseManualTime()->Unit(benchmark::kMillisecond);

void preemptToFirstNewCommand(benchmark::State & state)
{
  auto & bench = Bench::instance();
  std::vector<double> samples;
  for (auto _ : state) {
    bench.link().forget();
    const double x = bench.robotX();
    const auto started = Clock::now();
    bench.send(Bench::moveTo(x + 1.0));
    bench.link().waitFor(started, movingForward);
    waitRandomShareOfPeriod(kPeriod);
    // The new goal reverses the direction, so its first command is told apart by its sign.
    const auto sent = Clock::now();
    const auto handle = bench.send(Bench::moveTo(x - 1.0));
    const auto first = bench.link().waitFor(sent, movingBackward);
    samples.push_back(milliseconds(first.at - sent));
    state.SetIterationTime(samples.back() / 1000.0);
    bench.cancel(handle);
  }
  velmora::testing::reportPercentiles(state, samples);
}
BENCHMARK(preemptToFirstNewCommand)->Iterations(kGoals)->UseManualTime()
->Unit(benchmark::kMillisecond);

void cancelToZeroVelocity(benchmark::State & state)
{
  auto & bench = Bench::instance();
  std::vector<double> samples;
  for (auto _ : state) {
    bench.link().forget();
    const double target = bench.awayTarget();
    const auto started = Clock::now();
    const auto handle = bench.send(Bench::moveTo(target));
    bench.link().waitFor(started, target > bench.robotX() ? movingForward : movingBackward);
    waitRandomShareOfPeriod(kPeriod);
    const auto cancelled = Clock::now();
    bench.cancel(handle);
    const auto stop = bench.link().waitFor(cancelled, standingStill);
    samples.push_back(milliseconds(stop.at - cancelled));
    state.SetIterationTime(samples.back() / 1000.0);
  }
  velmora::testing::reportPercentiles(state, samples);
}
BENCHMARK(cancelToZeroVelocity)->Iterations(kGoals)->UseManualTime()
->Unit(benchmark::kMillisecond);

// |period - nominal| over consecutive commands of one long move at `frequency` Hz.
void controlPeriodJitter(benchmark::State & state)
{
  auto & bench = Bench::instance();
  const int frequency = static_cast<int>(state.range(0));
  const double nominal_ms = 1000.0 / frequency;
  std::vector<double> samples;
  for (auto _ : state) {
    bench.link().forget();
    const double target = bench.awayTarget();
    const auto wanted = target > bench.robotX() ? movingForward : movingBackward;
    const auto started = Clock::now();
    const auto handle = bench.send(Bench::moveTo(target, frequency));
    auto previous = bench.link().waitFor(started, wanted);
    // A quarter of a second of cycles, or fewer if the move ends first.
    for (int cycle = 0; cycle < frequency / 4; ++cycle) {
      const auto next = bench.link().waitFor(previous.at + 1ns, [](const auto &) {return true;});
      if (standingStill(next)) {
        break;
      }
      samples.push_back(std::abs(milliseconds(next.at - previous.at) - nominal_ms));
      previous = next;
    }
    state.SetIterationTime(1.0 / frequency);
    bench.cancel(handle);
  }
  velmora::testing::reportPercentiles(state, samples);
}
BENCHMARK(controlPeriodJitter)->Arg(20)->Arg(100)->Iterations(8)->UseManualTime()
->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  benchmark::Initialize(&argc, argv);
  rclcpp::init(argc, argv);
  Bench::instance_ = std::make_unique<Bench>();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Bench::instance_.reset();
  rclcpp::shutdown();
  return 0;
}
