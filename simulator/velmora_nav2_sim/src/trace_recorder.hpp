#ifndef APPS__TRACE_RECORDER_HPP_
#define APPS__TRACE_RECORDER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "goal_observer.hpp"
#include "velmora_sim_robot/planar_motion.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace velmora_apps
{

// The robot's state at one moment of a run.
struct TraceSample
{
  double time{0.0};  // seconds since the recording started
  std::size_t goal{0};  // number (index + 1) of the goal being worked on; 0 before the first
  velmora_sim_robot::PlanarPose pose;  // in the map frame
  velmora_sim_robot::BodyTwist command;  // as the robot follows it
};

// What a run left behind: the samples in time order and, per goal number, where the robot was
// when the goal was sent (the origin of a goal given relative to the robot), its final status,
// and when it was sent and when it ended (seconds since the recording started, as sample times).
struct Trace
{
  std::vector<TraceSample> samples;
  std::map<std::size_t, velmora_sim_robot::PlanarPose> goal_origins;
  std::map<std::size_t, std::string> statuses;
  std::map<std::size_t, double> sent_times;
  std::map<std::size_t, double> end_times;
};

// Samples the simulated robot's map pose and command at a fixed rate on a thread of its own,
// tagging each sample with the goal the scenario runner last sent.
class TraceRecorder : public GoalObserver
{
public:
  // Throws std::invalid_argument for a rate that is not a positive finite number.
  explicit TraceRecorder(const velmora_sim_robot::SimRobot & robot, double rate_hz = 20.0);
  // Stops sampling.
  ~TraceRecorder() override;

  TraceRecorder(const TraceRecorder &) = delete;
  TraceRecorder & operator=(const TraceRecorder &) = delete;

  // Takes a first sample at once, then one every period. Throws std::logic_error when already
  // recording or when recording already ended: a trace has one time base.
  void start();
  // Takes a last sample and no further ones; does nothing when not recording.
  void stop();

  void goalSent(std::size_t index) override;
  void goalFinished(std::size_t index, const std::string & status) override;

  // A copy of what was recorded so far.
  Trace trace() const;

private:
  using Clock = std::chrono::steady_clock;

  void run();
  void takeSample();
  double secondsSinceStart(Clock::time_point moment) const;

  const velmora_sim_robot::SimRobot & robot_;
  const Clock::duration period_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool started_{false};
  bool stop_requested_{false};
  Clock::time_point start_time_;
  std::size_t current_goal_{0};
  Trace trace_;
  std::thread worker_;
};

}  // namespace velmora_apps

#endif  // APPS__TRACE_RECORDER_HPP_
