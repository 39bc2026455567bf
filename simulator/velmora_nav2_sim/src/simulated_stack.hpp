#ifndef APPS__SIMULATED_STACK_HPP_
#define APPS__SIMULATED_STACK_HPP_

#include <memory>
#include <optional>
#include <thread>

#include "controller/nav_controller_server.hpp"
#include "rclcpp/rclcpp.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace velmora_apps
{

// The whole controller stack on the simulated robot, in one process: the grid-map service, the
// simulated base attached to the communicator, and the controller server configured, activated
// and spun on an executor thread. Parameters come from rclcpp::init (params files, -p), as on a
// robot.
class SimulatedStack
{
public:
  // Starts the robot at `start_pose` in the map frame, or where the "sim_robot" node's
  // parameter "start_pose" ([x, y, yaw]) puts it. Throws when a component cannot be created
  // (bad map, bad parameter) or the server refuses a lifecycle transition.
  explicit SimulatedStack(
    const std::optional<velmora_sim_robot::PlanarPose> & start_pose = std::nullopt);
  // Stops spinning, ends any running goal, detaches and stops the robot.
  ~SimulatedStack();

  SimulatedStack(const SimulatedStack &) = delete;
  SimulatedStack & operator=(const SimulatedStack &) = delete;

  velmora_sim_robot::SimRobot & robot() {return *robot_;}
  controller::NavControllerServer & server() {return *server_;}
  const velmora_nav2_gridmap::GridMapROS & gridMap() const {return *grid_map_;}

private:
  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<velmora_sim_robot::SimRobot> robot_;
  std::shared_ptr<controller::NavControllerServer> server_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

}  // namespace velmora_apps

#endif  // APPS__SIMULATED_STACK_HPP_
