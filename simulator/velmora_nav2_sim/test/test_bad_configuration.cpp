// The launcher and the simulator runner given configuration they cannot use: each must exit with
// a non-zero status (never a signal, never by running on with a default), its last word on
// standard error one line that names the file, the parameter or the argument at fault.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A failing start-up takes well under a second; a program still running after this has taken
// the bad input and carried on.
constexpr auto kExitDeadline = 30s;

struct Outcome
{
  bool exited{false};
  int exit_code{-1};
  int signal{0};
  bool still_running{false};
  std::string error_output;
};

// Runs `program` with `arguments`, standard output discarded and standard error kept.
Outcome run(const std::string & program, const std::vector<std::string> & arguments,
  const fs::path & error_file)
{
  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const auto & argument : arguments) {
    argv.push_back(const_cast<char *>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    const int errors = open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null, STDOUT_FILENO);
    dup2(errors, STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + kExitDeadline;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      outcome.still_running = true;
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  if (!outcome.still_running) {
    outcome.exited = WIFEXITED(status);
    outcome.exit_code = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  std::ifstream errors(error_file);
  outcome.error_output.assign(std::istreambuf_iterator<char>(errors), {});
  return outcome;
}

std::vector<std::string> lines(const std::string & text)
{
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line); ) {
    if (!line.empty()) {
      result.push_back(line);
    }
  }
  return result;
}

class BadConfiguration : public ::testing::Test
{
protected:
  void SetUp() override
  {
    directory_ = fs::temp_directory_path() /
      ("velmora_bad_configuration_" + std::to_string(::getpid()) + "_" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }

  void TearDown() override {fs::remove_all(directory_);}

  fs::path write(const std::string & name, const std::string & content)
  {
    const fs::path path = directory_ / name;
    std::ofstream(path) << content;
    return path;
  }

  // A params file setting `settings` (already indented YAML lines) on the server node.
  fs::path serverParams(const std::string & settings)
  {
    return write("server.yaml",
             "velmora_nav2_controller:\n  ros__parameters:\n" + settings);
  }

  // A params file pointing the costmap node at `map_yaml`.
  fs::path mapParams(const fs::path & map_yaml)
  {
    return write("map_params.yaml",
             "global_costmap:\n  global_costmap:\n    ros__parameters:\n      yaml_filename: " +
             map_yaml.string() + "\n");
  }

  fs::path mapYaml(const std::string & image)
  {
    return write("map.yaml", "image: " + image +
             "\nresolution: 0.05\norigin: [0.0, 0.0, 0.0]\nnegate: 0\n"
             "occupied_thresh: 0.65\nfree_thresh: 0.25\n");
  }

  // Runs `program`, expects the refusal described at the top, naming `culprit`.
  void expectRefusal(
    const std::string & program, const std::vector<std::string> & arguments,
    const std::string & culprit)
  {
    const Outcome outcome = run(program, arguments, directory_ / "stderr.txt");
    const std::string name = fs::path(program).filename().string();
    SCOPED_TRACE(name + " said:\n" + outcome.error_output);
    ASSERT_FALSE(outcome.still_running) << "it went on running";
    ASSERT_EQ(outcome.signal, 0) << "it died of signal " << outcome.signal;
    ASSERT_TRUE(outcome.exited);
    EXPECT_NE(outcome.exit_code, 0);
    const auto said = lines(outcome.error_output);
    ASSERT_FALSE(said.empty()) << "it said nothing";
    EXPECT_EQ(said.back().rfind(name + ": ", 0), 0u) << "last line: " << said.back();
    EXPECT_NE(said.back().find(culprit), std::string::npos) << "last line: " << said.back();
    int own_lines = 0;
    for (const auto & line : said) {
      own_lines += line.rfind(name + ": ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(own_lines, 1) << "one line, not a cascade";
  }

  // Each case is tried on both programs: both read the same configuration the same way.
  void expectBothRefuse(const std::vector<std::string> & ros_arguments, const std::string & culprit)
  {
    std::vector<std::string> arguments{"--ros-args"};
    arguments.insert(arguments.end(), ros_arguments.begin(), ros_arguments.end());
    {
      SCOPED_TRACE("launcher");
      expectRefusal(VELMORA_LAUNCHER, arguments, culprit);
    }
    {
      SCOPED_TRACE("simulator runner");
      std::vector<std::string> runner_arguments{"--output", directory_.string()};
      runner_arguments.insert(runner_arguments.end(), arguments.begin(), arguments.end());
      expectRefusal(VELMORA_SIM_RUNNER, runner_arguments, culprit);
    }
  }

  fs::path directory_;
};

TEST_F(BadConfiguration, UnreadableOrMalformedParamsFilesAreNamed)
{
  expectBothRefuse({"--params-file", (directory_ / "absent.yaml").string()}, "absent.yaml");
  expectBothRefuse(
    {"--params-file", write("unclosed.yaml",
      "velmora_nav2_controller:\n  ros__parameters:\n    x_kp: [0.5\n").string()},
    "unclosed.yaml");
  expectBothRefuse(
    {"--params-file", write("list.yaml", "- velmora_nav2_controller\n- x_kp\n").string()},
    "list.yaml");
  expectBothRefuse(
    {"--params-file", write("no_parameters.yaml", "velmora_nav2_controller:\n  x_kp: 0.5\n")
      .string()}, "no_parameters.yaml");
}

TEST_F(BadConfiguration, OutOfRangeServerParametersAreNamed)
{
  expectBothRefuse(
    {"--params-file", serverParams("    result_service_qos_depth: -1\n").string()},
    "result_service_qos_depth");
  expectBothRefuse(
    {"--params-file", serverParams("    result_service_qos_depth: 0\n").string()},
    "result_service_qos_depth");
  expectBothRefuse(
    {"--params-file", serverParams("    result_timeout_seconds: -3\n").string()},
    "result_timeout_seconds");
}

TEST_F(BadConfiguration, WrongTypedParametersAreNamed)
{
  expectBothRefuse(
    {"--params-file", serverParams("    result_timeout_seconds: two\n").string()},
    "result_timeout_seconds");
  expectBothRefuse(
    {"--params-file", serverParams("    result_timeout_seconds: 2.5\n").string()},
    "result_timeout_seconds");
  expectBothRefuse({"-p", "result_service_qos_depth:=true"}, "result_service_qos_depth");
  expectBothRefuse(
    {"--params-file", serverParams("    x_kp: fast\n").string()}, "x_kp");
}

TEST_F(BadConfiguration, UnusableMapFilesAreNamed)
{
  expectBothRefuse(
    {"--params-file", mapParams(directory_ / "absent_map.yaml").string()}, "absent_map.yaml");
  expectBothRefuse(
    {"--params-file", mapParams(mapYaml("missing_image.pgm")).string()}, "missing_image.pgm");
  write("corrupt.pgm", "P5\n40 30\n255\nnot enough pixels");
  expectBothRefuse({"--params-file", mapParams(mapYaml("corrupt.pgm")).string()}, "corrupt.pgm");
  write("garbage.pgm", std::string(64, '\x7f'));
  expectBothRefuse({"--params-file", mapParams(mapYaml("garbage.pgm")).string()}, "garbage.pgm");
}

TEST_F(BadConfiguration, CommandLineGarbageIsNamed)
{
  expectBothRefuse({"-p", "nonsense"}, "nonsense");
  expectBothRefuse({"-p", ":=3"}, ":=3");
  expectBothRefuse({"-p"}, "-p");
  expectBothRefuse({"--params-file"}, "--params-file");
  expectBothRefuse({"-p", "max_vel:=[0.3,"}, "max_vel");
}

// The runner opens its report before the robot moves, so a report it cannot write is named at
// once rather than after the whole scenario.
TEST_F(BadConfiguration, AnUnwritableReportIsNamedBeforeTheRun)
{
  const std::string report = (directory_ / "absent" / "report.csv").string();
  expectRefusal(
    VELMORA_SIM_RUNNER, {"--output", directory_.string(), "--report", report}, report);
}

}  // namespace
