#ifndef RCLCPP_ACTION__TYPES_HPP_
#define RCLCPP_ACTION__TYPES_HPP_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status.hpp"
#include "rcl_action/types.h"

namespace rclcpp_action
{

using GoalUUID = std::array<uint8_t, UUID_SIZE>;
using GoalStatus = action_msgs::msg::GoalStatus;
using GoalInfo = action_msgs::msg::GoalInfo;

// Hex digits of each byte, without zero padding (so "0a" prints as "a").
std::string to_string(const GoalUUID & goal_id);

void convert(const GoalUUID & goal_id, rcl_action_goal_info_t * info);

void convert(const rcl_action_goal_info_t & info, GoalUUID * goal_id);

}  // namespace rclcpp_action

namespace std
{

template<>
struct less<rclcpp_action::GoalUUID>
{
  bool operator()(const rclcpp_action::GoalUUID & lhs, const rclcpp_action::GoalUUID & rhs) const
  {
    return lhs < rhs;
  }
};

template<>
struct hash<rclcpp_action::GoalUUID>
{
  size_t operator()(const rclcpp_action::GoalUUID & uuid) const noexcept;
};

}  // namespace std

#endif  // RCLCPP_ACTION__TYPES_HPP_
