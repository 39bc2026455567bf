#include "motion_window.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace teb_local_planner
{

namespace
{

// Samples per axis of the window; the wanted motion brought into the window is added for every
// sampled turn rate, so the grid only has to cover the window's corners and middle.
constexpr int kSamplesPerAxis = 5;
// Weight of the turn rate error (rad/s) against the velocity error (m/s) in the ranking.
constexpr double kTurnWeight = 0.3;

double sample(double from, double to, int index)
{
  return from + (to - from) * index / (kSamplesPerAxis - 1);
}

}  // namespace

MotionWindow::MotionWindow(const Axis & x, const Axis & y, const Axis & theta, double period)
: x_(rangeOf(x)), y_(rangeOf(y)), theta_(rangeOf(theta)), period_(period)
{
}

MotionWindow::Range MotionWindow::rangeOf(const Axis & axis)
{
  // A limit lowered below the current velocity is obeyed at once, whatever the acceleration.
  return {std::clamp(axis.current - axis.reach, axis.low, axis.high),
    std::clamp(axis.current + axis.reach, axis.low, axis.high)};
}

double MotionWindow::costOf(
  const Collision::Velocity2 & command, const Wanted & wanted, const Heading & heading)
{
  const double ex = command.vx * heading.c - command.vy * heading.s - wanted.vx;
  const double ey = command.vx * heading.s + command.vy * heading.c - wanted.vy;
  const double ew = command.wz - wanted.wz;
  return ex * ex + ey * ey + kTurnWeight * ew * ew;
}

std::vector<Collision::Velocity2> MotionWindow::ranked(const Wanted & wanted, double yaw) const
{
  std::vector<double> turns;
  for (int i = 0; i < kSamplesPerAxis; ++i) {
    turns.push_back(sample(theta_.from, theta_.to, i));
  }
  turns.push_back(std::clamp(wanted.wz, theta_.from, theta_.to));

  std::vector<std::pair<double, Collision::Velocity2>> scored;
  scored.reserve(turns.size() * (kSamplesPerAxis * kSamplesPerAxis + 1));
  for (double wz : turns) {
    // Every command of this turn rate is compared at the heading it gives mid-period.
    const double mid_period = yaw + wz * period_ / 2.0;
    const Heading heading{std::cos(mid_period), std::sin(mid_period)};
    auto add = [&](const Collision::Velocity2 & command) {
        scored.emplace_back(costOf(command, wanted, heading), command);
      };
    // The wanted map-frame velocity seen from that heading, brought into the window.
    add({std::clamp(heading.c * wanted.vx + heading.s * wanted.vy, x_.from, x_.to),
        std::clamp(-heading.s * wanted.vx + heading.c * wanted.vy, y_.from, y_.to), wz});
    for (int i = 0; i < kSamplesPerAxis; ++i) {
      for (int j = 0; j < kSamplesPerAxis; ++j) {
        add({sample(x_.from, x_.to, i), sample(y_.from, y_.to, j), wz});
      }
    }
  }
  std::stable_sort(
    scored.begin(), scored.end(),
    [](const auto & a, const auto & b) {return a.first < b.first;});
  std::vector<Collision::Velocity2> commands;
  commands.reserve(scored.size());
  for (const auto & entry : scored) {
    commands.push_back(entry.second);
  }
  return commands;
}

}  // namespace teb_local_planner
