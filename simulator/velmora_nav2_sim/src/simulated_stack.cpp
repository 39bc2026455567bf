#include "simulated_stack.hpp"

#include <stdexcept>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "reporting_controller_server.hpp"
#include "velmora_communicator/communicator_engine.hpp"

namespace velmora_apps
{

namespace
{
// Odometry speeds at or below this count as zero.
constexpr double kDefaultVelocityThreshold = 0.0001;
// The start bay of the built-in world.
const std::vector<double> kDefaultStartPose{1.0, 1.2, 0.0};

velmora_sim_robot::PlanarPose startPoseParameter(rclcpp::Node & node)
{
  const auto values = node.declare_parameter<std::vector<double>>("start_pose", kDefaultStartPose);
  if (values.size() != 3) {
    throw std::invalid_argument("parameter 'start_pose' of node 'sim_robot' must be [x, y, yaw]");
  }
  return velmora_sim_robot::PlanarPose{values[0], values[1], values[2]};
}

void expectState(
  const rclcpp_lifecycle::State & state, uint8_t expected, const std::string & transition,
  const std::string & reason)
{
  if (state.id() != expected) {
    throw std::runtime_error(
            "the controller server did not " + transition + " (now " + state.label() + ")" +
            (reason.empty() ? "" : ": " + reason));
  }
}
}  // namespace

SimulatedStack::SimulatedStack(const std::optional<velmora_sim_robot::PlanarPose> & start_pose)
: grid_map_(std::make_shared<velmora_nav2_gridmap::GridMapROS>())
{
  auto robot_node = std::make_shared<rclcpp::Node>("sim_robot");
  velmora_sim_robot::SimRobotOptions options;
  options.start_pose = start_pose ? *start_pose : startPoseParameter(*robot_node);
  robot_ = std::make_shared<velmora_sim_robot::SimRobot>(robot_node, options);

  auto server = std::make_shared<ReportingControllerServer>(grid_map_, rclcpp::NodeOptions());
  server_ = server;
  // The controllers only read these; whoever creates the node declares them, so that a params
  // file or -p can set them.
  for (const char * name :
    {"min_x_velocity_threshold", "min_y_velocity_threshold", "min_theta_velocity_threshold"})
  {
    server_->declare_parameter(name, kDefaultVelocityThreshold);
  }
  expectState(
    server_->configure(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE, "configure",
    server->configurationError());
  expectState(
    server_->activate(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE, "activate", "");

  // The robot joins last, so that a stack that fails to come up leaves no robot attached.
  velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(robot_);
  robot_->start();
  executor_.add_node(server_->get_node_base_interface());
  spinner_ = std::thread([this] {executor_.spin();});
}

SimulatedStack::~SimulatedStack()
{
  while (spinner_.joinable() && !executor_.is_spinning()) {
    std::this_thread::yield();
  }
  executor_.cancel();
  spinner_.join();
  server_.reset();
  robot_->stop();
  velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();
}

}  // namespace velmora_apps
