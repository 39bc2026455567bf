#ifndef VELMORA_SIM_ROBOT__ROBOT_REPORT_LOG_HPP_
#define VELMORA_SIM_ROBOT__ROBOT_REPORT_LOG_HPP_

#include <cstdint>
#include <mutex>
#include <optional>

#include "velmora_protocol/msg/robot_event.hpp"

namespace velmora_sim_robot
{

// What the navigation stack reported to the robot: error codes and supervision events. Each is
// logged, counted and the last one kept, so a test or an operator sees what reached the robot.
// Safe to use from several threads.
class RobotReportLog
{
public:
  void recordErrorCode(int error_code);
  void recordEvent(const velmora_protocol::msg::RobotEvent & event);

  std::uint64_t errorCodeCount() const;
  std::optional<int> lastErrorCode() const;
  std::uint64_t eventCount() const;
  std::optional<velmora_protocol::msg::RobotEvent> lastEvent() const;

private:
  mutable std::mutex mutex_;
  std::uint64_t error_code_count_{0};
  std::optional<int> last_error_code_;
  std::uint64_t event_count_{0};
  std::optional<velmora_protocol::msg::RobotEvent> last_event_;
};

}  // namespace velmora_sim_robot

#endif  // VELMORA_SIM_ROBOT__ROBOT_REPORT_LOG_HPP_
