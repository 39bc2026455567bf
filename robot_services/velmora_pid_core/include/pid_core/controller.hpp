#ifndef PID_CORE__CONTROLLER_HPP_
#define PID_CORE__CONTROLLER_HPP_

#include <cstddef>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "pid_core/followed_path.hpp"

// Follows a path of poses with a forward-driving (or, for paths planned backwards, reversing)
// base: it steers its heading with a PID law at a point a look-ahead distance further along
// the path, ramps the speed up at a bounded acceleration and down so that it can stop at the
// end, and reports arrival once the robot is within the arrival tolerance of the last pose or
// has passed it.
//
// Sharp bends split the path into legs. Each leg is driven straight to its end: the steering
// point never lies past the bend (beyond it, it runs on along the leg's last direction), the
// speed ramps down to stop there, and the robot then turns in place onto the next leg. So the
// robot never cuts a corner into the wall of a narrow corridor, and it keeps its centre on the
// path where clearance is tight, as in a door.
//
// A heading error above kTurnInPlaceError is turned away in place until it is below
// kAlignedError, so that the robot leaves a turn facing along the path and does not swing off
// it; smaller errors are steered out while driving, along arcs of bounded curvature.
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
  // A heading error above this (rad) is turned away in place, down to kAlignedError (rad). The
  // same angle makes a bend sharp: a turn of the path's direction over kBendStretch (m) before
  // and after a pose by more than this stops the robot there to turn in place.
  static constexpr double kTurnInPlaceError = 0.4;
  static constexpr double kAlignedError = 0.1;
  static constexpr double kBendStretch = 0.2;
  // Distance along the path to the point steered at, m.
  static constexpr double kLookAhead = 0.4;
  // Within this distance of the last pose the path is done, and of a bend the bend is reached, m.
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
  using Point = pid_core::FollowedPath::Point;

  // The point steered at for a robot projected `along` metres down the current leg.
  Point steeringPoint(double along) const;
  // The heading of the path's poses at the point `along` metres down the current leg.
  double posesHeading(double along) const;
  // Sets reverse_ for a stretch of path running in the direction `travel` (rad) whose poses face
  // `poses_heading`.
  void chooseDirection(double travel, double poses_heading);
  double cycleTime(const geometry_msgs::msg::PoseStamped & pose);
  double headingLaw(double error, double dt);
  void resetHeadingLaw();
  void stop(geometry_msgs::msg::Twist & cmd_vel);

  pid_core::FollowedPath path_;
  std::size_t leg_{0};        // the leg being driven
  std::size_t segment_{0};    // progress: projections never go back before this segment
  double speed_{0.0};         // magnitude of the last commanded speed
  double integral_{0.0};
  double last_error_{0.0};
  bool has_last_error_{false};
  double last_stamp_{0.0};
  bool has_last_stamp_{false};
  bool reverse_{false};       // driving the path backwards
  bool turning_{false};       // turning in place until aligned with the path
};

#endif  // PID_CORE__CONTROLLER_HPP_
