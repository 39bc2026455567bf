#ifndef RCLCPP_ACTION__EXCEPTIONS_HPP_
#define RCLCPP_ACTION__EXCEPTIONS_HPP_

#include <stdexcept>
#include <string>

namespace rclcpp_action
{
namespace exceptions
{

class UnknownGoalHandleError : public std::invalid_argument
{
public:
  UnknownGoalHandleError()
  : std::invalid_argument("Goal handle is not known to this client.")
  {}
};

class UnawareGoalHandleError : public std::runtime_error
{
public:
  UnawareGoalHandleError(const std::string & message = "Goal handle is not tracking the goal result.")
  : std::runtime_error(message)
  {}
};

}  // namespace exceptions
}  // namespace rclcpp_action

#endif  // RCLCPP_ACTION__EXCEPTIONS_HPP_
