#include "controller/pid_pose.hpp"

#include <cmath>
#include <limits>

namespace controller
{

PID_pose::PID_pose(
  double kp, double ki, double kd, double target, double output_max, double output_min,
  bool limit_output)
: kp(kp), ki(ki), kd(kd), target(target), output_max(output_max), output_min(output_min),
  limit_output(limit_output), error(0.0), last_error(0.0), error_sum(0.0)
{
}

void PID_pose::set_param(
  double kp, double ki, double kd, double target, double output_max, double output_min)
{
  this->kp = kp;
  this->ki = ki;
  this->kd = kd;
  this->target = target;
  this->output_max = output_max;
  this->output_min = output_min;
  reset_error();
}

void PID_pose::set_target(double target)
{
  this->target = target;
}

void PID_pose::reset_error()
{
  error = 0.0;
  last_error = 0.0;
  error_sum = 0.0;
}

double PID_pose::cal_output(double error)
{
  // A lost measurement must neither move the robot nor poison the integral for the rest of
  // the goal.
  if (!std::isfinite(error)) {
    return finiteCommand(0.0);
  }
  this->error = error;
  const double command = kp * error + ki * error_sum + kd * (error - last_error);

  last_error = error;
  error_sum += error;
  if (!std::isfinite(error_sum)) {
    // Held at the largest finite sum so that a zero integral gain still gives a zero term.
    error_sum = std::copysign(std::numeric_limits<double>::max(), error_sum);
  }
  return finiteCommand(command);
}

double PID_pose::limited(double command) const
{
  if (!limit_output) {
    return command;
  }
  if (output_min > command) {
    return output_min;
  }
  if (output_max < command) {
    return output_max;
  }
  return command;
}

double PID_pose::finiteCommand(double command) const
{
  const double bounded = limited(command);
  if (std::isfinite(bounded)) {
    return bounded;
  }
  const double neutral = limited(0.0);
  return std::isfinite(neutral) ? neutral : 0.0;
}

}  // namespace controller
