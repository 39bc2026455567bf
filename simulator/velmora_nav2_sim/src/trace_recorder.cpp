#include "trace_recorder.hpp"

#include <cmath>
#include <stdexcept>

namespace velmora_apps
{

namespace
{
std::chrono::steady_clock::duration periodOf(double rate_hz)
{
  if (!std::isfinite(rate_hz) || rate_hz <= 0.0) {
    throw std::invalid_argument("the trace rate must be a positive number of samples a second");
  }
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
    std::chrono::duration<double>(1.0 / rate_hz));
}
}  // namespace

TraceRecorder::TraceRecorder(const velmora_sim_robot::SimRobot & robot, double rate_hz)
: robot_(robot), period_(periodOf(rate_hz))
{
}

TraceRecorder::~TraceRecorder()
{
  stop();
}

void TraceRecorder::start()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_ || stop_requested_) {
    throw std::logic_error("the trace recorder records once");
  }
  started_ = true;
  start_time_ = Clock::now();
  worker_ = std::thread([this] {run();});
}

void TraceRecorder::stop()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_requested_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) {
    worker_.join();
  }
}

void TraceRecorder::goalSent(std::size_t index)
{
  const velmora_sim_robot::PlanarPose origin = robot_.mapPose();
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  current_goal_ = index + 1;
  trace_.goal_origins[current_goal_] = origin;
  trace_.sent_times[current_goal_] = secondsSinceStart(now);
}

void TraceRecorder::goalFinished(std::size_t index, const std::string & status)
{
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  trace_.statuses[index + 1] = status;
  trace_.end_times[index + 1] = secondsSinceStart(now);
}

Trace TraceRecorder::trace() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return trace_;
}

void TraceRecorder::run()
{
  // Ticks are counted from the start, so a late wake-up does not shift the ones after it; ticks
  // missed altogether are skipped rather than sampled in a burst.
  std::unique_lock<std::mutex> lock(mutex_);
  Clock::time_point next = start_time_;
  // The last sample is taken on stop, so the trace ends where the robot came to rest, even when
  // the last goal ended between two ticks.
  bool stopping = false;
  while (!stopping) {
    stopping = wake_.wait_until(lock, next, [this] {return stop_requested_;});
    lock.unlock();
    takeSample();
    lock.lock();
    next += period_;
    const Clock::time_point now = Clock::now();
    if (next < now) {
      next += ((now - next) / period_ + 1) * period_;
    }
  }
}

void TraceRecorder::takeSample()
{
  TraceSample sample;
  sample.pose = robot_.mapPose();
  sample.command = robot_.command();
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  sample.time = secondsSinceStart(now);
  sample.goal = current_goal_;
  trace_.samples.push_back(sample);
}

// Called with the mutex held: start_time_ is set under it.
double TraceRecorder::secondsSinceStart(Clock::time_point moment) const
{
  return std::chrono::duration<double>(moment - start_time_).count();
}

}  // namespace velmora_apps
