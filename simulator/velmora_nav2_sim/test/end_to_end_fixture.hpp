// What the end-to-end suites share: the whole stack on the simulated robot in the built-in
// warehouse world, a real action client on "control_to_goal", and waits on what the robot does,
// each with a deadline, in real time.
#ifndef END_TO_END_FIXTURE_HPP_
#define END_TO_END_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base_robot/base_robot.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "scenario.hpp"
#include "simulated_stack.hpp"
#include "trace_recorder.hpp"
#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace end_to_end_test
{

using namespace std::chrono_literals;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using WrappedResult = ClientGoalHandle::WrappedResult;
using velmora_sim_robot::PlanarPose;

constexpr auto kReplyDeadline = 5s;
// Samples a second of a driven goal: several per command at 20 Hz, so none goes unseen.
constexpr double kSampleRate = 100.0;
// Pose spacing of a filled-in path, as the default scenario hands its DWB goals over.
constexpr double kPathSpacing = 0.05;

// rclcpp for a suite, with the robot outline of the demo's parameter file given the way an
// operator would: -p on the command line (quoted, as the footprint is a string), taken by the
// costmap node, the one node that declares it. The points at mid-side matter: the straight-only
// PID follower checks the outline's points at or ahead of the robot's centre, and with the four
// corners alone that is the front edge, two points, which the collision sweep refuses as no
// outline at all. The controllers plan on the parameter file's rolling window of the map, as
// on the robot, so that a cycle costs what it costs there. `parameters_file`, when given, is
// read first, as --params-file; `more_arguments` (such as "-p", "yaml_filename:=...") last.
inline ::testing::Environment * robotEnvironment(
  const std::string & parameters_file = "", const std::vector<std::string> & more_arguments = {})
{
  std::vector<std::string> arguments{"--ros-args"};
  if (!parameters_file.empty()) {
    arguments.insert(arguments.end(), {"--params-file", parameters_file});
  }
  arguments.insert(arguments.end(), {"-p",
      "footprint:='[[0.30, 0.25], [0.30, -0.25], [0.0, -0.25], [-0.30, -0.25], [-0.30, 0.25], "
      "[0.0, 0.25]]'", "-p", "rolling_window:=true", "-p", "width:=5", "-p", "height:=5",
      "-p", "resolution:=0.05"});
  arguments.insert(arguments.end(), more_arguments.begin(), more_arguments.end());
  return new velmora::testing::RclcppEnvironment(arguments);
}

// A goal for `controller_id` along `poses` in the map frame, at 20 Hz.
inline Action::Goal pathGoal(
  const std::string & controller_id, const std::vector<PlanarPose> & poses)
{
  Action::Goal goal;
  goal.controller_id = controller_id;
  goal.controller_frequency = 20;
  goal.nav_path.header.frame_id = "map";
  for (const auto & planar : poses) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = planar.x;
    pose.pose.position.y = planar.y;
    pose.pose.orientation = BaseRobot().eulerToQuaternion(planar.yaw, 0.0, 0.0);
    goal.nav_path.poses.push_back(pose);
  }
  return goal;
}

// The waypoints with a pose every kPathSpacing metres in between.
inline std::vector<PlanarPose> filledPath(const std::vector<PlanarPose> & waypoints)
{
  return velmora_apps::fillInPath(waypoints, kPathSpacing);
}

// A fresh stack per test, the robot placed at `start`; a goal that runs longer than
// `move_deadline` fails the test.
class EndToEndTest : public ::testing::Test
{
protected:
  EndToEndTest(const PlanarPose & start, std::chrono::milliseconds move_deadline)
  : start_(start), move_deadline_(move_deadline) {}

  void SetUp() override
  {
    stack_ = std::make_unique<velmora_apps::SimulatedStack>(start_);
    whole_map_ =
      velmora_nav2_gridmap::OccupancyMapLoader::load(stack_->gridMap().getMapFile()).toCostmap();
    node_ = std::make_shared<rclcpp::Node>("end_to_end_client");
    client_ = rclcpp_action::create_client<Action>(node_, "control_to_goal");
    executor_.add_node(node_);
    spinner_ = std::thread([this] {executor_.spin();});
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    ASSERT_TRUE(client_->wait_for_action_server(kReplyDeadline));
  }

  void TearDown() override
  {
    executor_.cancel();
    spinner_.join();
    client_.reset();
    // The recorder samples the robot, which goes with the stack.
    recorder_.reset();
    stack_.reset();
  }

  std::shared_future<WrappedResult> send(const Action::Goal & goal)
  {
    auto accepted = client_->async_send_goal(goal);
    EXPECT_EQ(accepted.wait_for(kReplyDeadline), std::future_status::ready);
    handle_ = accepted.get();
    EXPECT_NE(handle_, nullptr);
    return client_->async_get_result(handle_);
  }

  ResultCode codeOf(const std::shared_future<WrappedResult> & result) const
  {
    if (result.wait_for(move_deadline_) != std::future_status::ready) {
      ADD_FAILURE() << "the goal did not end in time";
      return ResultCode::UNKNOWN;
    }
    return result.get().code;
  }

  ResultCode run(const Action::Goal & goal) {return codeOf(send(goal));}

  // Runs `goal` while sampling the robot; its final status. Whatever the status, the robot must
  // end stopped, having followed finite commands only (none refused as not finite), its
  // outline clear of obstacles. The samples stay for the test: driven(), commanded().
  ResultCode drive(const Action::Goal & goal)
  {
    recorder_ = std::make_unique<velmora_apps::TraceRecorder>(stack_->robot(), kSampleRate);
    recorder_->start();
    const auto code = run(goal);
    EXPECT_TRUE(robotStops());
    recorder_->stop();
    samples_ = recorder_->trace().samples;
    for (const auto & command : commanded()) {
      EXPECT_TRUE(
        std::isfinite(command.vx) && std::isfinite(command.vy) && std::isfinite(command.wz));
    }
    EXPECT_EQ(stack_->robot().refusedCommands(), 0U) << "a non-finite command reached the robot";
    if (const auto hit = firstCollision()) {
      ADD_FAILURE() << "the outline touched an obstacle at (" << hit->x << ", " << hit->y << ")";
    }
    return code;
  }

  // The map poses the robot went through in the last goal driven.
  std::vector<PlanarPose> driven() const
  {
    std::vector<PlanarPose> poses;
    for (const auto & sample : samples_) {
      poses.push_back(sample.pose);
    }
    return poses;
  }

  // The commands the robot followed in the last goal driven.
  std::vector<velmora_sim_robot::BodyTwist> commanded() const
  {
    std::vector<velmora_sim_robot::BodyTwist> commands;
    for (const auto & sample : samples_) {
      commands.push_back(sample.command);
    }
    return commands;
  }

  // Waits until the robot is commanded to stand still and does.
  bool robotStops()
  {
    const auto deadline = std::chrono::steady_clock::now() + kReplyDeadline;
    const velmora_sim_robot::BodyTwist standstill;
    while (std::chrono::steady_clock::now() < deadline) {
      if (stack_->robot().command() == standstill &&
        stack_->robot().odometry().twist == standstill)
      {
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  // Waits until the robot has moved `distance` from the start.
  bool robotMoved(double distance)
  {
    const auto deadline = std::chrono::steady_clock::now() + move_deadline_;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto pose = stack_->robot().mapPose();
      if (std::hypot(pose.x - start_.x, pose.y - start_.y) >= distance) {
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  void expectRobotAt(
    const PlanarPose & expected, double position_tolerance, double heading_tolerance)
  {
    const auto pose = stack_->robot().mapPose();
    EXPECT_NEAR(pose.x, expected.x, position_tolerance);
    EXPECT_NEAR(pose.y, expected.y, position_tolerance);
    EXPECT_NEAR(BaseRobot().calDelAngle(pose.yaw, expected.yaw), 0.0, heading_tolerance);
  }

  const PlanarPose start_;
  const std::chrono::milliseconds move_deadline_;
  std::unique_ptr<velmora_apps::SimulatedStack> stack_;
  // The map as loaded, on which collisions are judged.
  nav2_costmap_2d::Costmap2D whole_map_;
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  ClientGoalHandle::SharedPtr handle_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;

private:
  // The first pose driven at which the robot's outline covers an obstacle cell or leaves the
  // map. Only lethal cells count: the inflated ones round an obstacle are a margin the
  // controllers keep, not a collision. Judged on the whole map as loaded: the controllers'
  // costmap may be a rolling window that trails the robot.
  std::optional<PlanarPose> firstCollision()
  {
    const auto footprint = stack_->gridMap().getCostmapROS()->getRobotFootprint();
    for (const auto & pose : driven()) {
      std::vector<geometry_msgs::msg::Point> outline;
      nav2_costmap_2d::transformFootprint(pose.x, pose.y, pose.yaw, footprint, outline);
      std::vector<nav2_costmap_2d::MapLocation> vertices;
      for (const auto & point : outline) {
        nav2_costmap_2d::MapLocation vertex{};
        if (!whole_map_.worldToMap(point.x, point.y, vertex.x, vertex.y)) {
          return pose;
        }
        vertices.push_back(vertex);
      }
      std::vector<nav2_costmap_2d::MapLocation> cells;
      whole_map_.convexFillCells(vertices, cells);
      for (const auto & cell : cells) {
        if (whole_map_.getCost(cell.x, cell.y) == nav2_costmap_2d::LETHAL_OBSTACLE) {
          return pose;
        }
      }
    }
    return std::nullopt;
  }

  std::unique_ptr<velmora_apps::TraceRecorder> recorder_;
  std::vector<velmora_apps::TraceSample> samples_;
};

}  // namespace end_to_end_test

#endif  // END_TO_END_FIXTURE_HPP_
