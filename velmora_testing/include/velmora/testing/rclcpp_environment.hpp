#ifndef VELMORA__TESTING__RCLCPP_ENVIRONMENT_HPP_
#define VELMORA__TESTING__RCLCPP_ENVIRONMENT_HPP_

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rclcpp/rclcpp.hpp"

namespace velmora
{
namespace testing
{

// Test aid: initialises rclcpp once for a test program, with the command-line arguments an
// operator would give (e.g. {"--ros-args", "-p", "name:=value"}), and shuts it down at the end.
// Register it with ::testing::AddGlobalTestEnvironment.
class RclcppEnvironment : public ::testing::Environment
{
public:
  explicit RclcppEnvironment(std::vector<std::string> arguments = {})
  : arguments_(std::move(arguments)) {}

  void SetUp() override
  {
    std::vector<const char *> argv{"test"};
    for (const auto & argument : arguments_) {
      argv.push_back(argument.c_str());
    }
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
  }

  void TearDown() override {rclcpp::shutdown();}

private:
  std::vector<std::string> arguments_;
};

}  // namespace testing
}  // namespace velmora

#endif  // VELMORA__TESTING__RCLCPP_ENVIRONMENT_HPP_
