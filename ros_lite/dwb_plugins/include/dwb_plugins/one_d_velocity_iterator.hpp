#ifndef DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_
#define DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_

#include <algorithm>
#include <cmath>

namespace dwb_plugins
{

const double EPSILON = 1E-5;

// The velocity reached from v0 after dt seconds of heading for `target` at the given
// acceleration (when speeding up) or deceleration (negative, when slowing down); never past
// the target.
inline double projectVelocity(double v0, double accel, double decel, double dt, double target)
{
  if (v0 < target) {
    return std::min(target, v0 + accel * dt);
  }
  return std::max(target, v0 + decel * dt);
}

// Evenly spaced samples of one velocity component over the window reachable from the current
// velocity in acc_time, both ends included. Zero is tried as well when the window spans it, so
// the search can always consider stopping that axis.
class OneDVelocityIterator
{
public:
  // A minimum above the maximum collapses the range onto the maximum; a non-finite current
  // velocity counts as standing still.
  OneDVelocityIterator(
    double current, double min, double max, double acc_limit, double decel_limit,
    double acc_time, int num_samples)
  {
    min = std::min(min, max);
    if (!std::isfinite(current)) {
      current = 0.0;
    }
    current = std::clamp(current, min, max);
    max_vel_ = projectVelocity(current, acc_limit, decel_limit, acc_time, max);
    min_vel_ = projectVelocity(current, acc_limit, decel_limit, acc_time, min);
    if (std::fabs(max_vel_ - min_vel_) < EPSILON) {
      samples_ = 1;
      increment_ = 0.0;
    } else {
      samples_ = std::max(2, num_samples);
      increment_ = (max_vel_ - min_vel_) / (samples_ - 1);
    }
    reset();
  }

  double getVelocity() const
  {
    if (return_zero_now_) {
      return 0.0;
    }
    return index_ + 1 == samples_ ? max_vel_ : min_vel_ + index_ * increment_;
  }

  OneDVelocityIterator & operator++()
  {
    const double current = getVelocity();
    if (return_zero_ && current < -EPSILON && index_ + 1 < samples_ &&
      min_vel_ + (index_ + 1) * increment_ > EPSILON)
    {
      return_zero_now_ = true;
      return_zero_ = false;
    } else {
      return_zero_now_ = false;
      ++index_;
    }
    return *this;
  }

  void reset()
  {
    index_ = 0;
    return_zero_ = true;
    return_zero_now_ = false;
  }

  bool isFinished() const {return index_ >= samples_;}

protected:
  bool return_zero_{true};
  bool return_zero_now_{false};
  double min_vel_{0.0};
  double max_vel_{0.0};
  double increment_{0.0};
  int samples_{1};
  int index_{0};
};

}  // namespace dwb_plugins

#endif  // DWB_PLUGINS__ONE_D_VELOCITY_ITERATOR_HPP_
