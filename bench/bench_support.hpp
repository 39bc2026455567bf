// What the benchmark programs share: a robot end that discards every call and the percentile
// counters the bench script prints.
#ifndef BENCH_SUPPORT_HPP_
#define BENCH_SUPPORT_HPP_

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "velmora_communicator/robot_link.hpp"

namespace velmora_bench
{

// A robot end that takes every call and keeps nothing, so the figures hold the sender's cost
// only and memory stays flat over millions of cycles.
class DiscardingLink : public velmora_communicator::RobotLink
{
public:
  void publishVelocity(const geometry_msgs::msg::Twist & command) override
  {
    benchmark::DoNotOptimize(command.linear.x);
  }
  void publishZeroVelocity() override {}
  geometry_msgs::msg::TwistStamped getOdom() override
  {
    return geometry_msgs::msg::TwistStamped();
  }
  geometry_msgs::msg::PoseStamped getOdomPose() override
  {
    return geometry_msgs::msg::PoseStamped();
  }
  void publishExceptionHandle(int /*error_code*/) override {}
  void publishRobotEvent(const velmora_protocol::msg::RobotEvent & /*event*/) override {}
};

// Sets p50 and p99 (and the maximum) of `samples`, in milliseconds, as the benchmark's counters.
inline void reportPercentiles(benchmark::State & state, std::vector<double> samples)
{
  if (samples.empty()) {
    return;
  }
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double share) {
      return samples[std::min(
                 samples.size() - 1,
                 static_cast<std::size_t>(share * static_cast<double>(samples.size())))];
    };
  state.counters["p50_ms"] = at(0.50);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = samples.back();
}

}  // namespace velmora_bench

#endif  // BENCH_SUPPORT_HPP_
