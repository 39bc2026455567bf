// What the benchmark programs share: a robot end that discards every call, rclcpp started on the parameter file, the robot placed in
// the world and a goal along an aisle, and the timing of one velocity cycle after another.
#ifndef BENCH_SUPPORT_HPP_
#define BENCH_SUPPORT_HPP_

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "base_robot/base_robot.hpp"
#include "controller/nav_controller_base.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmora_communicator/robot_link.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora/testing/benchmark_percentiles.hpp"

namespace velmora_bench
{

using velmora::testing::reportPercentiles;

// A robot end that takes every call and keeps nothing, so the figures hold the sender's cost
// only and memory stays flat over millions of cycles. Its odometry reports a base moving with
// the velocity it was given (standing by default), for planners that search around it.
class DiscardingLink : public velmora_communicator::RobotLink
{
public:
  explicit DiscardingLink(const geometry_msgs::msg::Twist & velocity = geometry_msgs::msg::Twist())
  {
    odometry_.twist = velocity;
  }

  void publishVelocity(const geometry_msgs::msg::Twist & command) override
  {
    benchmark::DoNotOptimize(command.linear.x);
  }
  void publishZeroVelocity() override {}
  geometry_msgs::msg::TwistStamped getOdom() override {return odometry_;}
  geometry_msgs::msg::PoseStamped getOdomPose() override
  {
    return geometry_msgs::msg::PoseStamped();
  }
  void publishExceptionHandle(int /*error_code*/) override {}
  void publishRobotEvent(const velmora_protocol::msg::RobotEvent & /*event*/) override {}

private:
  geometry_msgs::msg::TwistStamped odometry_;
};

// Starts rclcpp with the parameter file of the demo, so the controllers are configured as on
// the robot. The program's own arguments follow it, so `--ros-args -p rolling_window:=false`
// (say) measures another configuration.
inline void initWithParameterFile(int argc, char ** argv)
{
  std::vector<std::string> arguments{
    argv[0], "--ros-args", "--params-file",
    ament_index_cpp::get_package_share_directory("velmora_nav2_controller_core") +
    "/config/velmora_nav2_controller.yaml"};
  arguments.insert(arguments.end(), argv + 1, argv + argc);
  std::vector<char *> pointers;
  for (auto & argument : arguments) {
    pointers.push_back(argument.data());
  }
  rclcpp::init(static_cast<int>(pointers.size()), pointers.data());
}

// Puts the robot at (x, y, yaw) in the map for every later robot-pose lookup: the controllers
// see a robot that stands there, cycle after cycle.
inline void placeRobot(velmora_nav2_gridmap::GridMapROS & grid_map, double x, double y, double yaw)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = "map";
  transform.child_frame_id = "base_footprint";
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  transform.transform.rotation = BaseRobot().eulerToQuaternion(yaw, 0.0, 0.0);
  grid_map.getCostmapROS()->getTfBuffer()->setTransform(transform, "bench", true);
  // A rolling window must have moved onto the robot before anything plans on it.
  if (!grid_map.waitForCostmap(std::chrono::seconds(5))) {
    throw std::runtime_error("the costmap did not take the robot's place within 5 s");
  }
}

// A final goal for `controller_id` east along the centre of aisle 1 (y 4.4) from x 7 to 11, a
// pose every 5 cm, as a global planner hands a path over.
inline std::shared_ptr<controller::NavControllerBase::Goal> aisleOneGoal(
  const std::string & controller_id)
{
  auto goal = std::make_shared<controller::NavControllerBase::Goal>();
  goal->controller_id = controller_id;
  goal->controller_frequency = 20;
  goal->finished = true;
  goal->nav_path.header.frame_id = "map";
  for (int i = 0; i <= 80; ++i) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = 7.0 + 0.05 * i;
    pose.pose.position.y = 4.4;
    pose.pose.orientation.w = 1.0;
    goal->nav_path.poses.push_back(pose);
  }
  return goal;
}

// Times every computeAndPublishVelocity() of `controller` as one sample; a cycle that sends no
// command ends the benchmark with an error, as its figures would not be a cycle's.
inline void timeVelocityCycles(
  benchmark::State & state, controller::NavControllerBase & controller)
{
  std::vector<double> samples;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    const bool sent = controller.computeAndPublishVelocity();
    samples.push_back(
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    if (!sent) {
      state.SkipWithError("the cycle sent no command");
      break;
    }
  }
  reportPercentiles(state, samples);
}

}  // namespace velmora_bench

#endif  // BENCH_SUPPORT_HPP_
