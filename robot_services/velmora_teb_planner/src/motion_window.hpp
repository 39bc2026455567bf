#ifndef TEB_LOCAL_PLANNER__MOTION_WINDOW_HPP_
#define TEB_LOCAL_PLANNER__MOTION_WINDOW_HPP_

#include <vector>

#include "collision/planar_pose.hpp"

namespace teb_local_planner
{

// The velocity commands one control period can reach from the robot's current velocity (the
// dynamic window), ranked by how closely the motion they produce follows a wanted motion.
//
// The wanted motion is given in the map frame: a command (robot frame) moves the robot along
// its velocity rotated by the heading the robot has half-way through the period, so that is the
// heading a candidate is compared at. A command that turns therefore keeps the driven line
// straight, where comparing in the robot frame at the current heading would bend it.
class MotionWindow
{
public:
  struct Axis
  {
    double current;    // the velocity now
    double reach;      // the change one period allows (acceleration x period)
    double low;        // the most negative velocity allowed
    double high;       // the most positive velocity allowed
  };

  // Map-frame velocity (m/s) and turn rate (rad/s) the robot should have.
  struct Wanted
  {
    double vx;
    double vy;
    double wz;
  };

  MotionWindow(const Axis & x, const Axis & y, const Axis & theta, double period);

  // Every sampled command, the one realising `wanted` most closely first. `yaw` is the robot's
  // heading now.
  std::vector<Collision::Velocity2> ranked(const Wanted & wanted, double yaw) const;

private:
  struct Range
  {
    double from;
    double to;
  };

  // Cosine and sine of a heading.
  struct Heading
  {
    double c;
    double s;
  };

  static Range rangeOf(const Axis & axis);
  // How far the motion of `command`, driven at `heading`, is from `wanted`.
  static double costOf(
    const Collision::Velocity2 & command, const Wanted & wanted, const Heading & heading);

  Range x_;
  Range y_;
  Range theta_;
  double period_;
};

}  // namespace teb_local_planner

#endif  // TEB_LOCAL_PLANNER__MOTION_WINDOW_HPP_
