// Runs a scenario of goals against the controller server on the simulated robot and checks that
// each ends as the scenario expects:
//   velmora_nav2_sim [SCENARIO.yaml] [--ros-args --params-file FILE ...]
// Without a scenario file it runs the built-in default scenario. Exits 0 when every goal ended
// as expected, 1 when one did not, 2 on unusable input.
#include <exception>
#include <iostream>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "scenario.hpp"
#include "scenario_runner.hpp"
#include "simulated_stack.hpp"

namespace
{
// The scenario file: the first argument before the ROS arguments, if any.
std::string scenarioPath(int argc, char ** argv)
{
  if (argc > 1 && std::string(argv[1]) != "--ros-args") {
    return argv[1];
  }
  return VELMORA_DEFAULT_SCENARIO;
}
}  // namespace

int main(int argc, char ** argv)
{
  velmora_apps::Scenario scenario;
  try {
    rclcpp::init(argc, argv);
    scenario = velmora_apps::loadScenario(scenarioPath(argc, argv));
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_sim: " << error.what() << std::endl;
    return 2;
  }
  int status = 0;
  try {
    velmora_apps::SimulatedStack stack(scenario.start_pose);
    velmora_apps::ScenarioRunner runner(stack.robot(), std::cout);
    status = runner.run(scenario) ? 0 : 1;
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_sim: " << error.what() << std::endl;
    status = 2;
  }
  rclcpp::shutdown();
  return status;
}
