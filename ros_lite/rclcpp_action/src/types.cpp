#include "rclcpp_action/types.hpp"

#include <algorithm>
#include <sstream>

namespace rclcpp_action
{

std::string to_string(const GoalUUID & goal_id)
{
  std::ostringstream stream;
  stream << std::hex;
  for (const auto byte : goal_id) {
    stream << static_cast<int>(byte);
  }
  return stream.str();
}

void convert(const GoalUUID & goal_id, rcl_action_goal_info_t * info)
{
  std::copy(goal_id.begin(), goal_id.end(), info->goal_id.uuid);
}

void convert(const rcl_action_goal_info_t & info, GoalUUID * goal_id)
{
  std::copy(info.goal_id.uuid, info.goal_id.uuid + UUID_SIZE, goal_id->begin());
}

}  // namespace rclcpp_action

namespace std
{

size_t hash<rclcpp_action::GoalUUID>::operator()(const rclcpp_action::GoalUUID & uuid) const noexcept
{
  // FNV-1a: UUIDs are random already, this only has to fold 16 bytes into one word evenly.
  uint64_t value = 14695981039346656037ULL;
  for (const auto byte : uuid) {
    value = (value ^ byte) * 1099511628211ULL;
  }
  return static_cast<size_t>(value);
}

}  // namespace std
