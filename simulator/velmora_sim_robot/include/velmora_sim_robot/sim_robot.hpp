#ifndef VELMORA_SIM_ROBOT__SIM_ROBOT_HPP_
#define VELMORA_SIM_ROBOT__SIM_ROBOT_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmora_communicator/robot_link.hpp"
#include "velmora_protocol/msg/robot_event.hpp"
#include "velmora_sim_robot/holonomic_base.hpp"
#include "velmora_sim_robot/odometry_broadcaster.hpp"
#include "velmora_sim_robot/odometry_messages.hpp"
#include "velmora_sim_robot/planar_motion.hpp"
#include "velmora_sim_robot/robot_report_log.hpp"

namespace velmora_sim_robot
{

struct SimRobotOptions
{
  // Where the robot stands in the map when it is created. The odometry frame is fixed there, so
  // the odometry pose starts at the origin.
  PlanarPose start_pose;
  BaseLimits limits;
  // Updates per second of the update thread (integration and publication).
  double update_rate{100.0};
  std::string odom_topic{"odom"};
  FrameIds frames;
};

// A simulated holonomic robot behind the communicator: attached to the CommunicatorEngine it
// takes the velocity commands, answers the odometry reads, records error codes and events, and
// publishes odometry and transforms through `node` like a real base driver.
//
// Time runs in one of two ways. After start() an update thread integrates the command over the
// real time passed on the steady clock, `update_rate` times a second, and publishes each update;
// a new command first integrates the old one up to the moment it arrives. Without start(),
// nothing moves until step() is called, which lets tests advance time deterministically.
//
// The node need not be spun: publishing needs no executor. Every call is thread-safe.
class SimRobot : public velmora_communicator::RobotLink
{
public:
  // Sends map -> odom once and publishes the start state. Throws std::invalid_argument for
  // invalid limits, start pose or update rate.
  explicit SimRobot(rclcpp::Node::SharedPtr node, SimRobotOptions options = SimRobotOptions());
  ~SimRobot() override;

  SimRobot(const SimRobot &) = delete;
  SimRobot & operator=(const SimRobot &) = delete;

  // Starts the update thread; from here on the robot moves in real time. Throws
  // std::logic_error when already running.
  void start();
  // Stops the update thread; the robot keeps its state and stands still in time until restarted
  // or stepped. Does nothing when not running.
  void stop();
  bool running() const;

  // Advances time by `seconds` and publishes the result. Throws std::logic_error while the update
  // thread runs, as simulated and real time cannot be mixed.
  void step(double seconds);

  // Robot link: what the communicator's units call.
  void publishVelocity(const geometry_msgs::msg::Twist & command) override;
  void publishZeroVelocity() override;
  geometry_msgs::msg::TwistStamped getOdom() override;
  geometry_msgs::msg::PoseStamped getOdomPose() override;
  void publishExceptionHandle(int error_code) override;
  void publishRobotEvent(const velmora_protocol::msg::RobotEvent & event) override;

  // The state at the last update: odometry pose, measured velocity and their stamp.
  OdometrySample odometry() const;
  // The robot's pose in the map at the last update.
  PlanarPose mapPose() const;
  // The command being followed, after clamping to the velocity limits.
  BodyTwist command() const;
  // Commands refused for a component that was not a finite number.
  std::uint64_t refusedCommands() const;

  // Updates published since construction, by step() or by the update thread.
  std::uint64_t updateCount() const;
  // Waits until at least `count` updates have been published; false when the timeout passed.
  bool waitForUpdates(std::uint64_t count, std::chrono::milliseconds timeout) const;

  const RobotReportLog & reports() const {return reports_;}
  const SimRobotOptions & options() const {return options_;}

private:
  using SteadyClock = std::chrono::steady_clock;

  // Integrates the command over the steady time passed since the last integration.
  void catchUpLocked();
  OdometrySample sampleLocked() const;
  // Runs `advance` on the base under the state lock, then publishes the new state.
  template<typename Advance>
  void update(Advance && advance);
  void setCommand(const geometry_msgs::msg::Twist & command);
  void run();

  const SimRobotOptions options_;
  const rclcpp::Node::SharedPtr node_;
  OdometryBroadcaster broadcaster_;
  RobotReportLog reports_;

  // Serialises updates, so samples are published in the order they were taken.
  std::mutex update_mutex_;

  mutable std::mutex state_mutex_;
  mutable std::condition_variable updated_;
  HolonomicBase base_;
  builtin_interfaces::msg::Time stamp_;
  SteadyClock::time_point last_integration_;
  bool running_{false};
  std::uint64_t refused_commands_{0};
  std::uint64_t update_count_{0};

  // Serialises start() and stop().
  std::mutex lifecycle_mutex_;
  std::mutex worker_mutex_;
  std::condition_variable worker_wake_;
  bool stop_requested_{false};
  std::thread worker_;
};

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__SIM_ROBOT_HPP_
