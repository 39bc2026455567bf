// The protocol's generated types must keep the layout and the rosidl wrapper types the robot
// side relies on.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <type_traits>

#include "action_msgs/srv/cancel_goal.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora_protocol/msg/move_ment_status.hpp"
#include "velmora_protocol/msg/robot_event.hpp"

TEST(GeneratedMessages, ControllerActionKeepsFieldOrderAndWrapperTypes)
{
  using Controller = velmora_nav2_protocol::action::Controller;
  Controller::Goal goal;
  EXPECT_TRUE(goal.controller_id.empty());
  EXPECT_EQ(goal.controller_frequency, 0);
  EXPECT_FALSE(goal.precise_goal_reaching);
  // The three goal-check options are consecutive one-byte fields.
  EXPECT_EQ(reinterpret_cast<const char *>(&goal.goal_check_flag_2) -
    reinterpret_cast<const char *>(&goal.precise_goal_reaching), 1);
  EXPECT_EQ(reinterpret_cast<const char *>(&goal.goal_check_flag_3) -
    reinterpret_cast<const char *>(&goal.goal_check_flag_2), 1);
  // The unused block between the frequency and the speed limit occupies twelve bytes.
  EXPECT_EQ(reinterpret_cast<const char *>(&goal.speed_limit_percent) -
    reinterpret_cast<const char *>(&goal.controller_frequency), 4 + 12);

  Controller::Result result_a;
  Controller::Result result_b;
  EXPECT_EQ(result_a, result_b);
  EXPECT_FALSE(result_a.result);
  EXPECT_FALSE(Controller::Feedback().running);

  Controller::Impl::SendGoalService::Request request;
  request.goal.controller_id = "lateral_move_controller";
  static_assert(std::is_same_v<decltype(request.goal_id.uuid), std::array<uint8_t, 16>>);
  Controller::Impl::GetResultService::Response response;
  EXPECT_EQ(response.status, 0);
  static_assert(std::is_same_v<decltype(response.result), Controller::Result>);
  static_assert(std::is_same_v<Controller::Impl::FeedbackMessage::_feedback_type,
    Controller::Feedback>);
  static_assert(std::is_same_v<Controller::Impl::CancelGoalService, action_msgs::srv::CancelGoal>);
}

TEST(GeneratedMessages, MovementStatusIsASignedByteWithNamedStates)
{
  static_assert(std::is_same_v<velmora_protocol::msg::MoveMentStatus::_status_type, int8_t>);
  EXPECT_EQ(velmora_protocol::msg::MoveMentStatus::STILL, 0);
  EXPECT_EQ(velmora_protocol::msg::MoveMentStatus::TRANSLATING, 1);
  EXPECT_EQ(velmora_protocol::msg::MoveMentStatus::MOVING_IN_RUN_MODE_502, 2);
  EXPECT_EQ(velmora_protocol::msg::MoveMentStatus::ROTATING, 3);
  velmora_protocol::msg::MoveMentStatus status;
  EXPECT_EQ(status.status, velmora_protocol::msg::MoveMentStatus::STILL);
}

TEST(GeneratedMessages, RobotEventCarriesKindCodeAndStrings)
{
  velmora_protocol::msg::RobotEvent event;
  event.event_type = 5;
  event.event_code = 70007;
  EXPECT_TRUE(event.params.empty());
  static_assert(std::is_same_v<decltype(event.event_type), int32_t>);
  static_assert(std::is_same_v<decltype(event.event_code), int32_t>);
}
