#ifndef PID_CORE__CONTROLLER_HPP_
#define PID_CORE__CONTROLLER_HPP_

#include <cstddef>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"

// Follows a path of poses with a forward-driving (or, for paths planned backwards, reversing)
// base: it steers its heading with a PID law at a point a look-ahead distance further along
// the path, ramps the speed up at a bounded acceleration and down so that it can stop at the
// end, and reports arrival once the robot is within the arrival tolerance of the last pose or
// has passed it.
//
// The tuning is fixed (the constants below): the core has no node to read parameters from, and
// the controllers that host it declare none, so the values live where they are documented.
//
// Robot poses and path poses are taken in the same frame; only x, y and yaw are used.
class Controller
{
public:
  // Fastest forward (and reverse) speed, m/s, and the slowest speed kept while still short of
  // the end, so that the last centimetres are covered.
  static constexpr double kMaxSpeed = 0.4;
  static constexpr double kMinSpeed = 0.05;
  // Speed-up and slow-down rates, m/s^2.
  static constexpr double kAcceleration = 0.3;
  static constexpr double kDeceleration = 0.3;
  // Fastest turn rate, rad/s; while travelling, turn rate = curvature x speed is kept at or below
  // kMaxCurvature (1/m) so the base drives arcs, never pivots, except to face the path.
  static constexpr double kMaxTurnRate = 0.6;
  static constexpr double kMaxCurvature = 1.5;
  // A heading error above this (rad) is first turned away in place.
  static constexpr double kTurnInPlaceError = 0.8;
  // Distance along the path to the point steered at, m.
  static constexpr double kLookAhead = 0.4;
  // Within this distance of the last pose the path is done, m.
  static constexpr double kArrivalTolerance = 0.05;
  // Heading PID gains (per rad of error) and the bound of its integral term (rad s).
  static constexpr double kHeadingKp = 1.5;
  static constexpr double kHeadingKi = 0.05;
  static constexpr double kHeadingKd = 0.05;
  static constexpr double kIntegralBound = 0.5;
  // Cycle time assumed when the pose stamps do not give a usable one, s.
  static constexpr double kNominalCycle = 0.05;
  // The direction of travel at a point of the path is that of the stretch of this length (m)
  // leading to it; a stretch shorter than kShortestChord (m) has none.
  static constexpr double kDirectionStretch = 0.05;
  static constexpr double kShortestChord = 0.01;
  // How far (rad) past square to the direction of travel the poses must turn before the choice
  // between driving forwards and backwards changes.
  static constexpr double kDirectionHysteresis = 0.2;

  Controller();

  // Forgets the path and the motion state.
  void init();
  // Follows `path` from now on. A path holding a pose that is not finite is refused: the core
  // then has no path and commands a standstill.
  void setStraightCB(const nav_msgs::msg::Path & path);
  // Writes the command for a robot at `pose` into `cmd_vel` (always finite, zero without a
  // path, for a non-finite pose or at the end); true once the end of the path is reached.
  bool getVelocityCommands(geometry_msgs::msg::PoseStamped pose, geometry_msgs::msg::Twist & cmd_vel);

private:
  struct Point
  {
    double x;
    double y;
    double yaw;
  };

  // Where the robot projects onto the path.
  struct Projection
  {
    std::size_t segment;  // index of the segment's first pose
    double along;         // arc length from the start of the path to the projection, m
    bool past_end;        // beyond the last pose, along the last segment
  };

  Projection project(double x, double y) const;
  Point pointAt(double along) const;
  // Sets reverse_ for the stretch of path from the point `from` to the point `target`.
  void chooseDirection(const Point & from, const Point & target, double bearing);
  double cycleTime(const geometry_msgs::msg::PoseStamped & pose);
  double headingLaw(double error, double dt);
  void stop(geometry_msgs::msg::Twist & cmd_vel);

  std::vector<Point> path_;
  std::vector<double> arc_;  // arc length at each pose
  std::size_t segment_{0};    // progress: projections never go back before this segment
  double speed_{0.0};         // magnitude of the last commanded speed
  double integral_{0.0};
  double last_error_{0.0};
  bool has_last_error_{false};
  double last_stamp_{0.0};
  bool has_last_stamp_{false};
  bool reverse_{false};       // driving the path backwards
};

#endif  // PID_CORE__CONTROLLER_HPP_
