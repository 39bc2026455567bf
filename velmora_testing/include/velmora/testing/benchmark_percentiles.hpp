// Percentile counters for Google Benchmark programs, in the form the bench script prints.
#ifndef VELMORA__TESTING__BENCHMARK_PERCENTILES_HPP_
#define VELMORA__TESTING__BENCHMARK_PERCENTILES_HPP_

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace velmora
{
namespace testing
{

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

}  // namespace testing
}  // namespace velmora

#endif  // VELMORA__TESTING__BENCHMARK_PERCENTILES_HPP_
