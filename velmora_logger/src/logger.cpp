#include "velmora/logger.hpp"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/sinks/systemd_sink.h>

namespace velmora
{

namespace
{

// Reads one logging setting from the environment. An unset or unknown value falls back to the
// default and says so on standard output: the console sink may be off, so the notice cannot go
// through the logger itself.
template<typename Value>
Value readSetting(
  const char * variable, const std::map<std::string, Value> & accepted, Value fallback,
  const char * fallback_text)
{
  const char * text = std::getenv(variable);
  if (text == nullptr) {
    std::printf("environment variable %s is not set, and set %s\n", variable, fallback_text);
    return fallback;
  }
  const auto found = accepted.find(text);
  if (found == accepted.end()) {
    std::printf("environment variable %s is invalid, and set %s\n", variable, fallback_text);
    return fallback;
  }
  return found->second;
}

const std::map<std::string, bool> & switchValues()
{
  static const std::map<std::string, bool> values{{"true", true}, {"false", false}};
  return values;
}

const std::map<std::string, int> & levelValues()
{
  static const std::map<std::string, int> values{
    {"trace", spdlog::level::trace}, {"debug", spdlog::level::debug},
    {"info", spdlog::level::info}, {"warning", spdlog::level::warn},
    {"error", spdlog::level::err}, {"critical", spdlog::level::critical}};
  return values;
}

spdlog::level::level_enum toSpdlog(LogLevel level)
{
  switch (level) {
    case LogLevel::warning:
      return spdlog::level::warn;
    case LogLevel::error:
      return spdlog::level::err;
    case LogLevel::info:
      break;
  }
  return spdlog::level::info;
}

// "<number, 3 wide> [<LEVEL>] ", written by hand: it heads every line, and a format string
// would cost more than the rest of the statement's own work.
void appendPrefix(fmt::memory_buffer & line, LogLevel level, unsigned int number)
{
  const char digits[3] = {
    number >= 100 ? static_cast<char>('0' + number / 100) : ' ',
    number >= 10 ? static_cast<char>('0' + number / 10 % 10) : ' ',
    static_cast<char>('0' + number % 10)};
  line.append(digits, digits + 3);
  const fmt::string_view tag = level == LogLevel::warning ? " [WARN] " :
    level == LogLevel::error ? " [ERROR] " : " [INFO] ";
  line.append(tag.data(), tag.data() + tag.size());
}

}  // namespace

Logger & Logger::Instance(const std::string & name)
{
  static Logger instance(name);
  return instance;
}

Logger::Logger(const std::string & name)
{
  std::vector<spdlog::sink_ptr> sinks;
  if (readSetting("SPDLOG_STDOUT", switchValues(), true, "true")) {
    sinks.push_back(std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>());
  }
  if (readSetting("SPDLOG_SYSTEMD", switchValues(), false, "false")) {
    sinks.push_back(std::make_shared<spdlog::sinks::systemd_sink_mt>());
  }
  logger_ = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());

  level_ = readSetting("SPDLOG_LEVEL", levelValues(), int{spdlog::level::info}, "default level");
  logger_->set_level(static_cast<spdlog::level::level_enum>(level_));
  // The prefix carries everything a line needs; spdlog adds nothing of its own.
  logger_->set_pattern("%v");
  // With the console sink off or a pipe behind stdout the notices would otherwise wait for exit.
  std::fflush(stdout);
}

void Logger::beginLine(fmt::memory_buffer & line, LogLevel level)
{
  std::uint8_t number = counter_.load(std::memory_order_relaxed);
  if (level_ <= static_cast<int>(toSpdlog(level))) {
    number = static_cast<std::uint8_t>(counter_.fetch_add(1, std::memory_order_relaxed) + 1);
  }
  appendPrefix(line, level, number % 128U);
}

void Logger::endLine(
  const fmt::memory_buffer & line, LogLevel level, const spdlog::source_loc & location)
{
  logger_->log(location, toSpdlog(level), spdlog::string_view_t(line.data(), line.size()));
}

}  // namespace velmora
