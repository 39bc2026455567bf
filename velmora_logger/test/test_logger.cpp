// The logger reads its environment once per process, so every case runs its statements in a
// forked child with its own environment and checks what the child wrote on standard output.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/systemd_sink.h>
#include <spdlog/spdlog.h>

#include "velmora/logger.hpp"
#include "velmora/testing/log_capture.hpp"

namespace
{

// Values of SPDLOG_STDOUT, SPDLOG_SYSTEMD and SPDLOG_LEVEL; nullopt leaves the variable unset.
struct Environment
{
  std::optional<std::string> stdout_switch;
  std::optional<std::string> systemd_switch;
  std::optional<std::string> level;
};

void applyVariable(const char * variable, const std::optional<std::string> & value)
{
  if (value) {
    setenv(variable, value->c_str(), 1);
  } else {
    unsetenv(variable);
  }
}

// Runs `body` in a child process with the given environment; returns its standard output.
std::string runInChild(const Environment & environment, const std::function<void()> & body)
{
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    dup2(pipe_ends[1], STDOUT_FILENO);
    close(pipe_ends[1]);
    applyVariable("SPDLOG_STDOUT", environment.stdout_switch);
    applyVariable("SPDLOG_SYSTEMD", environment.systemd_switch);
    applyVariable("SPDLOG_LEVEL", environment.level);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  close(pipe_ends[1]);
  std::string output;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = read(pipe_ends[0], buffer, sizeof(buffer))) > 0) {
    output.append(buffer, static_cast<std::size_t>(count));
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed: " << status;
  return output;
}

std::vector<std::string> splitLines(const std::string & text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line); ) {
    lines.push_back(line);
  }
  return lines;
}

void logThreeLevels()
{
  VLOG_INFO("info {}", 1);
  VLOG_WARN("warn {} {}", "two", 2.5);
  VLOG_ERROR("error without arguments");
}

const char * const kThreeLevelLines =
  "  1 [INFO] info 1\n"
  "  2 [WARN] warn two 2.5\n"
  "  3 [ERROR] error without arguments\n";

struct NoticeCase
{
  const char * description;
  Environment environment;
  std::string expected_output;
};

void PrintTo(const NoticeCase & test_case, std::ostream * stream)
{
  *stream << test_case.description;
}

class LoggerEnvironment : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(LoggerEnvironment, PrintsNoticesOnceThenTheLines)
{
  const NoticeCase & test_case = GetParam();
  const std::string output = runInChild(
    test_case.environment, [] {
      logThreeLevels();
      // Later names and statements do not construct again: no second round of notices.
      velmora::Logger::Instance("other");
    });
  EXPECT_EQ(output, test_case.expected_output);
}

const std::string kStdoutUnset = "environment variable SPDLOG_STDOUT is not set, and set true\n";
const std::string kStdoutInvalid = "environment variable SPDLOG_STDOUT is invalid, and set true\n";
const std::string kSystemdUnset =
  "environment variable SPDLOG_SYSTEMD is not set, and set false\n";
const std::string kSystemdInvalid =
  "environment variable SPDLOG_SYSTEMD is invalid, and set false\n";
const std::string kLevelUnset =
  "environment variable SPDLOG_LEVEL is not set, and set default level\n";
const std::string kLevelInvalid =
  "environment variable SPDLOG_LEVEL is invalid, and set default level\n";

INSTANTIATE_TEST_SUITE_P(
  Variables, LoggerEnvironment,
  ::testing::Values(
    NoticeCase{"all_unset", {std::nullopt, std::nullopt, std::nullopt},
      kStdoutUnset + kSystemdUnset + kLevelUnset + kThreeLevelLines},
    NoticeCase{"all_valid", {"true", "false", "info"}, kThreeLevelLines},
    NoticeCase{"stdout_empty", {"", "false", "info"}, kStdoutInvalid + kThreeLevelLines},
    NoticeCase{"stdout_capitalised", {"True", "false", "info"}, kStdoutInvalid + kThreeLevelLines},
    NoticeCase{"stdout_false_systemd_unset", {"false", std::nullopt, "info"}, kSystemdUnset},
    NoticeCase{"both_off_level_unset", {"false", "false", std::nullopt}, kLevelUnset},
    NoticeCase{"systemd_empty", {"true", "", "info"}, kSystemdInvalid + kThreeLevelLines},
    NoticeCase{"systemd_other", {"true", "1", "info"}, kSystemdInvalid + kThreeLevelLines},
    NoticeCase{"level_empty", {"true", "false", ""}, kLevelInvalid + kThreeLevelLines},
    NoticeCase{"level_capitalised", {"true", "false", "Warning"}, kLevelInvalid + kThreeLevelLines},
    NoticeCase{"level_upper_case", {"true", "false", "ERROR"}, kLevelInvalid + kThreeLevelLines},
    NoticeCase{"level_spdlog_short_name", {"true", "false", "warn"},
      kLevelInvalid + kThreeLevelLines},
    NoticeCase{"level_trace", {"true", "false", "trace"}, kThreeLevelLines},
    NoticeCase{"level_warning", {"true", "false", "warning"},
      "  1 [WARN] warn two 2.5\n  2 [ERROR] error without arguments\n"},
    NoticeCase{"level_error", {"true", "false", "error"}, "  1 [ERROR] error without arguments\n"},
    NoticeCase{"level_critical", {"true", "false", "critical"}, ""}),
  [](const ::testing::TestParamInfo<NoticeCase> & info) {return info.param.description;});

const Environment kConsoleOnly{"true", "false", "info"};

TEST(LoggerNumbering, WrapsModulo128WithAThreeCharacterField)
{
  const std::vector<std::string> lines = splitLines(
    runInChild(
      kConsoleOnly, [] {
        for (int statement = 1; statement <= 300; ++statement) {
          VLOG_INFO("statement {}", statement);
        }
      }));
  ASSERT_EQ(lines.size(), 300U);
  EXPECT_EQ(lines[0], "  1 [INFO] statement 1");
  EXPECT_EQ(lines[8], "  9 [INFO] statement 9");
  EXPECT_EQ(lines[9], " 10 [INFO] statement 10");
  EXPECT_EQ(lines[99], "100 [INFO] statement 100");
  EXPECT_EQ(lines[126], "127 [INFO] statement 127");
  EXPECT_EQ(lines[127], "  0 [INFO] statement 128");
  EXPECT_EQ(lines[128], "  1 [INFO] statement 129");
  EXPECT_EQ(lines[255], "  0 [INFO] statement 256");
  EXPECT_EQ(lines[256], "  1 [INFO] statement 257");
}

TEST(LoggerNumbering, SuppressedStatementsAreNotCounted)
{
  const std::string output = runInChild(
    {"true", "false", "warning"}, [] {
      VLOG_INFO("hidden");
      VLOG_INFO("hidden");
      VLOG_WARN("first {}", "warning");
      VLOG_INFO("hidden");
      VLOG_ERROR("then an error");
    });
  EXPECT_EQ(output, "  1 [WARN] first warning\n  2 [ERROR] then an error\n");
}

TEST(LoggerNumbering, StatementsWithoutSinksAreStillCounted)
{
  const std::string output = runInChild(
    {"false", "false", "info"}, [] {
      VLOG_INFO("nowhere");
      VLOG_WARN("nowhere");
      {
        velmora::testing::LogCapture capture;
        VLOG_ERROR("captured");
        for (const auto & statement : capture.statements()) {
          std::printf("%s\n", statement.text.c_str());
        }
      }
      std::printf(
        "sinks after the capture: %zu\n",
        velmora::Logger::Instance("spdlog").spdlogLogger()->sinks().size());
    });
  EXPECT_EQ(output, "  3 [ERROR] captured\nsinks after the capture: 0\n");
}

TEST(LoggerNumbering, ConcurrentStatementsGetDistinctConsecutiveNumbers)
{
  constexpr int kThreads = 4;
  constexpr int kPerThread = 30;
  const std::vector<std::string> lines = splitLines(
    runInChild(
      kConsoleOnly, [] {
        std::vector<std::thread> threads;
        for (int thread = 0; thread < kThreads; ++thread) {
          threads.emplace_back(
            [thread] {
              for (int statement = 0; statement < kPerThread; ++statement) {
                VLOG_INFO("thread {} statement {}", thread, statement);
              }
            });
        }
        for (auto & thread : threads) {
          thread.join();
        }
      }));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kPerThread));
  std::set<int> numbers;
  for (const std::string & line : lines) {
    ASSERT_THAT(
      line, ::testing::MatchesRegex("[ 0-9]{3} \\[INFO\\] thread [0-3] statement [0-9]+"));
    numbers.insert(std::stoi(line.substr(0, 3)));
  }
  ASSERT_EQ(numbers.size(), lines.size());
  EXPECT_EQ(*numbers.begin(), 1);
  EXPECT_EQ(*numbers.rbegin(), kThreads * kPerThread);
}

int g_statement_line = 0;

void statementSite()
{
  g_statement_line = __LINE__ + 1;
  VLOG_WARN("value {:.2f} and {{braces}}", 1.0 / 3.0);
}

TEST(LoggerStatement, PassesLevelAndSourceLocationToSpdlog)
{
  const std::vector<std::string> lines = splitLines(
    runInChild(
      {"false", "false", "info"}, [] {
        velmora::testing::LogCapture capture;
        statementSite();
        for (const auto & statement : capture.statements()) {
          std::printf(
            "%d|%s|%s|%d|%s\n", static_cast<int>(statement.level), statement.text.c_str(),
            statement.file.c_str(), statement.line, statement.function.c_str());
        }
        std::printf("%d\n", g_statement_line);
      }));
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(
    lines[0], std::to_string(spdlog::level::warn) +
    "|  1 [WARN] value 0.33 and {braces}|./test/test_logger.cpp|" + lines[1] + "|statementSite");
}

TEST(LoggerConstruction, BuildsOneUnregisteredLoggerWithSinksInOrder)
{
  const std::string output = runInChild(
    {"true", "true", "error"}, [] {
      velmora::Logger & first = velmora::Logger::Instance("first_name");
      velmora::Logger & second = velmora::Logger::Instance("second_name");
      const auto logger = first.spdlogLogger();
      const auto & sinks = logger->sinks();
      std::printf(
        "same=%d name=%s level=%d/%d registered=%d sinks=%zu console=%d journal=%d\n",
        &first == &second, logger->name().c_str(), first.level(),
        static_cast<int>(logger->level()), spdlog::get("first_name") != nullptr, sinks.size(),
        sinks.size() == 2 &&
        std::dynamic_pointer_cast<spdlog::sinks::ansicolor_stdout_sink_mt>(sinks[0]) != nullptr,
        sinks.size() == 2 &&
        std::dynamic_pointer_cast<spdlog::sinks::systemd_sink_mt>(sinks[1]) != nullptr);
    });
  EXPECT_EQ(
    output, "same=1 name=first_name level=4/4 registered=0 sinks=2 console=1 journal=1\n");
}

TEST(LoggerConstruction, JournalOnlyHasNoConsoleSink)
{
  const std::string output = runInChild(
    {"false", "true", "info"}, [] {
      const auto & sinks = velmora::Logger::Instance("spdlog").spdlogLogger()->sinks();
      std::printf(
        "sinks=%zu journal=%d\n", sinks.size(),
        sinks.size() == 1 &&
        std::dynamic_pointer_cast<spdlog::sinks::systemd_sink_mt>(sinks[0]) != nullptr);
    });
  EXPECT_EQ(output, "sinks=1 journal=1\n");
}

}  // namespace
