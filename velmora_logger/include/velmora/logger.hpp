#ifndef VELMORA__LOGGER_HPP_
#define VELMORA__LOGGER_HPP_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include <fmt/format.h>
#include <spdlog/logger.h>

namespace velmora
{

// The program logs at these three levels only; each has its tag in the line prefix.
enum class LogLevel
{
  info,
  warning,
  error
};

namespace detail
{
// Appended by the statement macros after the caller's arguments, so that a statement without
// arguments still hands the preprocessor a non-empty argument list.
struct EndOfArguments
{
};
}  // namespace detail

// Process-wide logger over spdlog. The first statement of the process builds it from the
// environment: SPDLOG_STDOUT (console sink, default on), SPDLOG_SYSTEMD (journal sink, default
// off) and SPDLOG_LEVEL (default info). Every emitted line reads "NNN [TAG] message", NNN being
// a running number of the emitted statements modulo 128.
class Logger
{
public:
  // Builds the instance on the first call, with `name` as the spdlog logger name; later names
  // are ignored.
  static Logger & Instance(const std::string & name);

  Logger(const Logger &) = delete;
  Logger & operator=(const Logger &) = delete;

  // A statement's line is built in two steps around its message: beginLine numbers it when it
  // passes the level and writes the prefix; endLine hands the line to spdlog together with the
  // caller's source location.
  void beginLine(fmt::memory_buffer & line, LogLevel level);
  void endLine(
    const fmt::memory_buffer & line, LogLevel level, const spdlog::source_loc & location);

  // Statement entry used by the VLOG_* macros: `format` is checked against the arguments at
  // compile time; the last argument is the macros' end marker and is not formatted.
  template<typename Format, typename... Args>
  static void log(
    LogLevel level, const spdlog::source_loc & location, const Format & format,
    Args &&... arguments_and_end)
  {
    static_assert(sizeof...(Args) >= 1, "statements end with detail::EndOfArguments");
    logFormatted(
      level, location, format, std::forward_as_tuple(std::forward<Args>(arguments_and_end)...),
      std::make_index_sequence<sizeof...(Args) - 1>{});
  }

  // The spdlog logger the statements write to (its sinks in order: console, journal).
  std::shared_ptr<spdlog::logger> spdlogLogger() const {return logger_;}

  // The active level as an spdlog level number.
  int level() const {return level_;}

private:
  explicit Logger(const std::string & name);

  template<typename Format, typename Tuple, std::size_t... Index>
  static void logFormatted(
    LogLevel level, const spdlog::source_loc & location, const Format & format, Tuple && arguments,
    std::index_sequence<Index...>)
  {
    using Last = std::decay_t<std::tuple_element_t<sizeof...(Index), std::decay_t<Tuple>>>;
    static_assert(
      std::is_same<Last, detail::EndOfArguments>::value,
      "statements end with detail::EndOfArguments");
    // Prefix and message go straight into one stack buffer; the message is formatted whatever
    // the level filter says, as every statement is.
    static Logger & logger = Instance("spdlog");
    fmt::memory_buffer line;
    logger.beginLine(line, level);
    fmt::format_to(std::back_inserter(line), format, std::get<Index>(arguments)...);
    logger.endLine(line, level, location);
  }

  std::shared_ptr<spdlog::logger> logger_;
  // Every emitted statement takes the next number, whichever thread it comes from.
  std::atomic<std::uint8_t> counter_{0};
  int level_{2};
};

}  // namespace velmora

#define VLOG_STATEMENT_(level, format, ...) \
  ::velmora::Logger::log( \
    level, ::spdlog::source_loc{__FILE__, __LINE__, static_cast<const char *>(__func__)}, \
    FMT_STRING(format), __VA_ARGS__)

#define VLOG_INFO(...) \
  VLOG_STATEMENT_(::velmora::LogLevel::info, __VA_ARGS__, ::velmora::detail::EndOfArguments{})
#define VLOG_WARN(...) \
  VLOG_STATEMENT_(::velmora::LogLevel::warning, __VA_ARGS__, ::velmora::detail::EndOfArguments{})
#define VLOG_ERROR(...) \
  VLOG_STATEMENT_(::velmora::LogLevel::error, __VA_ARGS__, ::velmora::detail::EndOfArguments{})

#endif  // VELMORA__LOGGER_HPP_
