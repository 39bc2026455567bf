// Runs a scenario of goals against the controller server on the simulated robot and checks that
// each ends as the scenario expects:
//   velmora_nav2_sim [SCENARIO.yaml] [--output DIR] [--ros-args --params-file FILE ...]
// Without a scenario file it runs the built-in default scenario. While it runs, the robot's pose
// and command are sampled; at the end they are written to DIR (default: the current directory)
// as velmora_nav2_sim_trace.csv, and drawn with the map and the goals' paths in
// velmora_nav2_sim.svg. Exits 0 when every goal ended as expected, 1 when one did not, 2 on
// unusable input or output.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "rclcpp/rclcpp.hpp"
#include "scenario.hpp"
#include "scenario_runner.hpp"
#include "simulated_stack.hpp"
#include "trace_csv_writer.hpp"
#include "trace_recorder.hpp"
#include "trace_svg_writer.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

namespace
{
namespace fs = std::filesystem;

constexpr const char * kUsage =
  "usage: velmora_nav2_sim [SCENARIO.yaml] [--output DIR] [--ros-args ...]";
constexpr const char * kTraceFile = "velmora_nav2_sim_trace.csv";
constexpr const char * kPictureFile = "velmora_nav2_sim.svg";

struct Options
{
  std::string scenario;
  std::string output_directory{"."};
};

// The built-in scenario, installed with this package.
std::string defaultScenarioFile()
{
  return ament_index_cpp::get_package_share_directory("velmora_nav2_sim") +
         "/scenarios/default.yaml";
}

// The runner's own arguments: those before "--ros-args", which rclcpp::init reads.
Options parseOptions(int argc, char ** argv)
{
  Options options;
  bool scenario_given = false;
  for (int index = 1; index < argc && std::string(argv[index]) != "--ros-args"; ++index) {
    const std::string argument = argv[index];
    if (argument == "--output") {
      if (index + 1 >= argc || std::string(argv[index + 1]) == "--ros-args") {
        throw std::invalid_argument("--output needs a directory\n" + std::string(kUsage));
      }
      options.output_directory = argv[++index];
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw std::invalid_argument("unknown option " + argument + "\n" + kUsage);
    } else if (scenario_given) {
      throw std::invalid_argument("more than one scenario file given\n" + std::string(kUsage));
    } else {
      options.scenario = argument;
      scenario_given = true;
    }
  }
  if (!scenario_given) {
    options.scenario = defaultScenarioFile();
  }
  return options;
}

// The trace and the picture, opened before the run so that an unusable directory is reported
// before the robot moves rather than after.
struct OutputFiles
{
  fs::path trace_path;
  fs::path picture_path;
  std::ofstream trace;
  std::ofstream picture;
};

void openFile(const fs::path & path, std::ofstream & file)
{
  file.open(path);
  if (!file) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

void openOutputFiles(const std::string & directory, OutputFiles & files)
{
  std::error_code error;
  if (!fs::exists(directory, error)) {
    throw std::runtime_error("output directory " + directory + " does not exist");
  }
  if (!fs::is_directory(directory, error)) {
    throw std::runtime_error("output " + directory + " is not a directory");
  }
  const fs::path absolute = fs::absolute(directory, error);
  const fs::path base = error ? fs::path(directory) : absolute.lexically_normal();
  files.trace_path = base / kTraceFile;
  files.picture_path = base / kPictureFile;
  openFile(files.trace_path, files.trace);
  openFile(files.picture_path, files.picture);
}

void closeFile(const fs::path & path, std::ofstream & file, const char * what)
{
  file.close();
  if (!file) {
    throw std::runtime_error("writing " + path.string() + " failed");
  }
  std::cout << what << " written to " << path.string() << std::endl;
}

void writeOutputs(
  const velmora_apps::Scenario & scenario, velmora_apps::SimulatedStack & stack,
  const velmora_apps::Trace & trace, OutputFiles & files)
{
  velmora_apps::writeTraceCsv(trace.samples, files.trace);
  closeFile(files.trace_path, files.trace, "trace");
  const velmora_apps::TraceSvgWriter picture(
    velmora_nav2_gridmap::OccupancyMapLoader::load(stack.gridMap().getMapFile()));
  picture.write(
    stack.robot().options().start_pose, velmora_apps::drawnGoals(scenario, trace), trace.samples,
    files.picture);
  closeFile(files.picture_path, files.picture, "picture");
}
}  // namespace

int main(int argc, char ** argv)
{
  velmora_apps::Scenario scenario;
  OutputFiles files;
  try {
    const Options options = parseOptions(argc, argv);
    rclcpp::init(argc, argv);
    scenario = velmora_apps::loadScenario(options.scenario);
    openOutputFiles(options.output_directory, files);
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_sim: " << error.what() << std::endl;
    return 2;
  }
  int status = 0;
  try {
    velmora_apps::SimulatedStack stack(scenario.start_pose);
    velmora_apps::TraceRecorder recorder(stack.robot());
    velmora_apps::ScenarioRunner runner(stack.robot(), std::cout, &recorder);
    recorder.start();
    status = runner.run(scenario) ? 0 : 1;
    recorder.stop();
    writeOutputs(scenario, stack, recorder.trace(), files);
  } catch (const std::exception & error) {
    std::cerr << "velmora_nav2_sim: " << error.what() << std::endl;
    status = 2;
  }
  rclcpp::shutdown();
  return status;
}
