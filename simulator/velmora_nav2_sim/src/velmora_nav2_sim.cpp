// Runs a scenario of goals against the controller server on the simulated robot and checks that
// each ends as the scenario expects:
//   velmora_nav2_sim [SCENARIO.yaml] [--output DIR] [--report FILE]
//                    [--ros-args --params-file FILE ...]
// Without a scenario file it runs the built-in default scenario. While it runs, the robot's pose
// and command are sampled; at the end they are written to DIR (default: the current directory)
// as velmora_nav2_sim_trace.csv, and drawn with the map and the goals' paths in
// velmora_nav2_sim.svg. A table of per-goal figures (status, duration, largest distance from the
// path, smallest clearance of the outline from the map's obstacles) ends the output; --report
// also writes it to FILE as CSV. Exits 0 when every goal ended as expected, 1 when one did not,
// 2 on unusable input or output.
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "goal_report.hpp"
#include "outline_clearance.hpp"
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
  "usage: velmora_nav2_sim [SCENARIO.yaml] [--output DIR] [--report FILE] [--ros-args ...]";
constexpr const char * kTraceFile = "velmora_nav2_sim_trace.csv";
constexpr const char * kPictureFile = "velmora_nav2_sim.svg";

struct Options
{
  std::string scenario;
  std::string output_directory{"."};
  std::string report_file;  // none when empty
};

// The built-in scenario, installed with this package.
std::string defaultScenarioFile()
{
  return ament_index_cpp::get_package_share_directory("velmora_nav2_sim") +
         "/scenarios/default.yaml";
}

// The value following the option at `index`, which moves past it.
std::string optionValue(int argc, char ** argv, int & index, const char * what)
{
  if (index + 1 >= argc || std::string(argv[index + 1]) == "--ros-args") {
    throw std::invalid_argument(
            std::string(argv[index]) + " needs " + what + "\n" + std::string(kUsage));
  }
  return argv[++index];
}

// The runner's own arguments: those before "--ros-args", which rclcpp::init reads.
Options parseOptions(int argc, char ** argv)
{
  Options options;
  bool scenario_given = false;
  for (int index = 1; index < argc && std::string(argv[index]) != "--ros-args"; ++index) {
    const std::string argument = argv[index];
    if (argument == "--output") {
      options.output_directory = optionValue(argc, argv, index, "a directory");
    } else if (argument == "--report") {
      options.report_file = optionValue(argc, argv, index, "a file");
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

// The trace, the picture and the report when asked for, opened before the run so that an
// unusable directory or file is reported before the robot moves rather than after.
struct OutputFiles
{
  fs::path trace_path;
  fs::path picture_path;
  fs::path report_path;  // empty when no report is asked for
  std::ofstream trace;
  std::ofstream picture;
  std::ofstream report;
};

void openFile(const fs::path & path, std::ofstream & file)
{
  file.open(path);
  if (!file) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

void openOutputFiles(const Options & options, OutputFiles & files)
{
  const std::string & directory = options.output_directory;
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
  if (!options.report_file.empty()) {
    files.report_path = options.report_file;
    openFile(files.report_path, files.report);
  }
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
  const auto map = velmora_nav2_gridmap::OccupancyMapLoader::load(stack.gridMap().getMapFile());
  const velmora_apps::TraceSvgWriter picture(map);
  picture.write(
    stack.robot().options().start_pose, velmora_apps::drawnGoals(scenario, trace), trace.samples,
    files.picture);
  closeFile(files.picture_path, files.picture, "picture");

  // Clearance is judged on the map as loaded, not on the controllers' rolling window, with the
  // padded outline the controllers plan with.
  const velmora_apps::OutlineClearance clearance(
    map.toCostmap(), stack.gridMap().getCostmapROS()->getRobotFootprint());
  const auto figures = velmora_apps::goalFigures(scenario, trace, clearance);
  velmora_apps::writeGoalReportTable(figures, std::cout);
  if (!files.report_path.empty()) {
    velmora_apps::writeGoalReportCsv(figures, files.report);
    closeFile(files.report_path, files.report, "report");
  }
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
    openOutputFiles(options, files);
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
