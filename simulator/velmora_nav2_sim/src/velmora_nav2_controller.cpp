// The controller server on the simulated robot, configured the ROS 2 way:
//   ros2 run velmora_nav2_sim velmora_nav2_controller --ros-args --params-file FILE
// It serves "control_to_goal" until interrupted (Ctrl-C).
#include <exception>
#include <iostream>

#include "rclcpp/rclcpp.hpp"
#include "simulated_stack.hpp"

int main(int argc, char ** argv)
{
  try {
    rclcpp::init(argc, argv);
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_controller: " << error.what() << std::endl;
    return 2;
  }
  int status = 0;
  try {
    velmora_apps::SimulatedStack stack;
    std::cout << "velmora_nav2_controller: serving \"control_to_goal\"; Ctrl-C stops" << std::endl;
    while (rclcpp::ok()) {
      rclcpp::sleep_for(std::chrono::milliseconds(100));
    }
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_controller: " << error.what() << std::endl;
    status = 1;
  }
  rclcpp::shutdown();
  return status;
}
