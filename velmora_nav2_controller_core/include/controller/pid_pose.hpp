#ifndef CONTROLLER__PID_POSE_HPP_
#define CONTROLLER__PID_POSE_HPP_

namespace controller
{

// A discrete PID law without a time step: each call takes one error sample (set point minus
// measurement, as the caller defines it) and returns one command. The gains are tuned for one
// evaluation per control cycle. The integral term sums the earlier errors only and has no
// anti-windup.
//
// The command is always a finite number: a sample that is not finite is rejected (neutral
// command, history untouched), a result that is not finite becomes the neutral command, and the
// history only ever holds finite values. The neutral command is 0, brought into the output range
// when the output is limited.
class PID_pose
{
public:
  PID_pose(
    double kp, double ki, double kd, double target, double output_max, double output_min,
    bool limit_output);

  // Replaces gains, target and limits and clears the history; `limit_output` stays.
  void set_param(
    double kp, double ki, double kd, double target, double output_max, double output_min);

  // The set point is kept for the owner; the law itself never reads it.
  void set_target(double target);

  void reset_error();

  // One step of the law for the error sample `error`.
  double cal_output(double error);

  double kp;
  double ki;
  double kd;
  double target;
  double output_max;
  double output_min;
  bool limit_output;
  double error;       // sample of the latest accepted call
  double last_error;  // sample of the call before (0 after a reset)
  double error_sum;   // sum of the accepted samples since the last reset

private:
  // Clamps to the output range when limiting is on; the lower bound is tested first.
  double limited(double command) const;
  // `command` limited, or the neutral command when that is not finite.
  double finiteCommand(double command) const;
};

}  // namespace controller

#endif  // CONTROLLER__PID_POSE_HPP_
