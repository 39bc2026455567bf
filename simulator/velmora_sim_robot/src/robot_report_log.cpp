#include "velmora_sim_robot/robot_report_log.hpp"

#include "velmora/logger.hpp"

namespace velmora_sim_robot
{

void RobotReportLog::recordErrorCode(int error_code)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++error_code_count_;
    last_error_code_ = error_code;
  }
  VLOG_WARN("sim robot received error code {}", error_code);
}

void RobotReportLog::recordEvent(const velmora_protocol::msg::RobotEvent & event)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++event_count_;
    last_event_ = event;
  }
  VLOG_INFO(
    "sim robot received event type {} code {} ({} parameters)", event.event_type,
    event.event_code, event.params.size());
}

std::uint64_t RobotReportLog::errorCodeCount() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return error_code_count_;
}

std::optional<int> RobotReportLog::lastErrorCode() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return last_error_code_;
}

std::uint64_t RobotReportLog::eventCount() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return event_count_;
}

std::optional<velmora_protocol::msg::RobotEvent> RobotReportLog::lastEvent() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return last_event_;
}

}  // namespace velmora_sim_robot
