#ifndef DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_
#define DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_

#include <algorithm>
#include <cmath>

namespace dwb_plugins
{

const double EPSILON = 1E-5;

// The velocity reached from v0 after dt seconds of heading for `target` at the given
// acceleration (when below the target) or deceleration (negative, when above it); never past
// the target.
inline double projectVelocity(double v0, double accel, double decel, double dt, double target)
{
  if (v0 < target) {
    return std::min(target, v0 + accel * dt);
  }
  return std::max(target, v0 + decel * dt);
}

// Evenly spaced samples of one velocity component over the window reachable from the current
// velocity in acc_time, both ends included: exactly max(2, num_samples) of them, or one when the
// window is narrower than EPSILON. A window whose lower end lies above its upper end (a minimum
// above the maximum) has no samples; its velocity then stays at the lower end.
class OneDVelocityIterator
{
public:
  OneDVelocityIterator(
    double current, double min, double max, double acc_limit, double decel_limit,
    double acc_time, int num_samples)
  {
    if (current < min) {
      current = min;
    } else if (current > max) {
      current = max;
    }
    max_vel_ = projectVelocity(current, acc_limit, decel_limit, acc_time, max);
    min_vel_ = projectVelocity(current, acc_limit, decel_limit, acc_time, min);
    if (std::fabs(min_vel_ - max_vel_) < EPSILON) {
      samples_ = 1;
    } else if (min_vel_ > max_vel_) {
      samples_ = 0;
    } else {
      samples_ = std::max(2, num_samples);
      increment_ = (max_vel_ - min_vel_) / (samples_ - 1);
    }
    reset();
  }

  double getVelocity() const {return current_;}

  OneDVelocityIterator & operator++()
  {
    ++index_;
    current_ += increment_;
    return *this;
  }

  void reset()
  {
    index_ = 0;
    current_ = min_vel_;
  }

  bool isFinished() const {return index_ >= samples_;}

protected:
  double min_vel_{0.0};
  double max_vel_{0.0};
  double increment_{0.0};
  double current_{0.0};
  int samples_{1};
  int index_{0};
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_
