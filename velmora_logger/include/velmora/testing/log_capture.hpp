#ifndef VELMORA__TESTING__LOG_CAPTURE_HPP_
#define VELMORA__TESTING__LOG_CAPTURE_HPP_

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <spdlog/details/log_msg.h>
#include <spdlog/sinks/base_sink.h>

#include "velmora/logger.hpp"

namespace velmora
{
namespace testing
{

// One statement as spdlog received it.
struct LoggedStatement
{
  spdlog::level::level_enum level;
  std::string text;  // prefix and message, e.g. "  3 [WARN] error code is 101100002"
  std::string file;
  int line;
  std::string function;
};

// Test aid: while alive, keeps every statement that passes the logger's level, in order.
// spdlog's sink list is not guarded, so construct and destroy a capture while no other thread
// logs (before starting and after stopping the threads under test).
class LogCapture
{
public:
  LogCapture()
  : logger_(Logger::Instance("spdlog").spdlogLogger()), sink_(std::make_shared<Sink>())
  {
    logger_->sinks().push_back(sink_);
  }

  ~LogCapture()
  {
    auto & sinks = logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  LogCapture(const LogCapture &) = delete;
  LogCapture & operator=(const LogCapture &) = delete;

  std::vector<LoggedStatement> statements() const
  {
    std::lock_guard<std::mutex> lock(sink_->statements_mutex);
    return sink_->statements;
  }

  // The text of every captured statement that contains `fragment`.
  std::vector<std::string> linesContaining(const std::string & fragment) const
  {
    std::vector<std::string> lines;
    for (const LoggedStatement & statement : statements()) {
      if (statement.text.find(fragment) != std::string::npos) {
        lines.push_back(statement.text);
      }
    }
    return lines;
  }

  // Waits until a statement containing `fragment` has been captured or the timeout passed.
  bool waitForLine(const std::string & fragment, std::chrono::milliseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(sink_->statements_mutex);
    return sink_->captured.wait_for(
      lock, timeout, [&] {
        return std::any_of(
          sink_->statements.begin(), sink_->statements.end(),
          [&](const LoggedStatement & statement) {
            return statement.text.find(fragment) != std::string::npos;
          });
      });
  }

private:
  struct Sink : spdlog::sinks::base_sink<std::mutex>
  {
    mutable std::mutex statements_mutex;
    std::condition_variable captured;
    std::vector<LoggedStatement> statements;

    void sink_it_(const spdlog::details::log_msg & message) override
    {
      {
        std::lock_guard<std::mutex> lock(statements_mutex);
        statements.push_back(
          {message.level, std::string(message.payload.data(), message.payload.size()),
            message.source.filename ? message.source.filename : "", message.source.line,
            message.source.funcname ? message.source.funcname : ""});
      }
      captured.notify_all();
    }

    void flush_() override {}
  };

  std::shared_ptr<spdlog::logger> logger_;
  std::shared_ptr<Sink> sink_;
};

}  // namespace testing
}  // namespace velmora

#endif  // VELMORA__TESTING__LOG_CAPTURE_HPP_
