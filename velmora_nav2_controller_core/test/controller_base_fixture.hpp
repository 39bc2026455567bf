// What the controller-base suites share: a real lifecycle node, the grid-map service on a small
// generated map, a recording robot link on the process-wide communicator, a probe on
// "/movement_status" and a controller whose computeVelocity() does what the test scripts.
#ifndef CONTROLLER_BASE_FIXTURE_HPP_
#define CONTROLLER_BASE_FIXTURE_HPP_

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "controller/nav_controller_base.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_communicator/recording_robot_link.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_protocol/msg/move_ment_status.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace controller_base_test
{

using namespace std::chrono_literals;
using MovementStatus = velmora_protocol::msg::MoveMentStatus;
using velmora_communicator::CallKind;

constexpr auto kDeadline = 5s;

inline geometry_msgs::msg::Twist twist(double vx, double vy, double wz)
{
  geometry_msgs::msg::Twist command;
  command.linear.x = vx;
  command.linear.y = vy;
  command.angular.z = wz;
  return command;
}

// A 6 m x 4 m map at 0.1 m: an open room (x 0.1..2.9 m) and, east of it, a 0.6 m corridor
// (y 1.7..2.3 m) that is a narrow passage for a passage width of 1 m; everything else is wall.
class TestMap : public ::testing::Environment
{
public:
  static std::string yamlPath() {return (directory() / "map.yaml").string();}

  void SetUp() override
  {
    std::filesystem::create_directories(directory());
    constexpr int kWidth = 60;
    constexpr int kHeight = 40;
    std::ofstream image(directory() / "map.pgm");
    image << "P2\n" << kWidth << ' ' << kHeight << "\n255\n";
    for (int row = kHeight - 1; row >= 0; --row) {  // the image starts with the top row
      for (int column = 0; column < kWidth; ++column) {
        const bool room = column >= 1 && column <= 29 && row >= 1 && row <= 38;
        const bool corridor = column >= 30 && column <= 58 && row >= 17 && row <= 22;
        image << (room || corridor ? 254 : 0) << ' ';
      }
      image << '\n';
    }
    std::ofstream yaml(yamlPath());
    yaml << "image: map.pgm\nresolution: 0.1\norigin: [0.0, 0.0, 0.0]\n"
         << "occupied_thresh: 0.65\nfree_thresh: 0.196\nnegate: 0\n";
  }

  void TearDown() override {std::filesystem::remove_all(directory());}

private:
  static std::filesystem::path directory()
  {
    return std::filesystem::temp_directory_path() /
           ("velmora_controller_base_test_" + std::to_string(::getpid()));
  }
};

inline ::testing::Environment * const kRclcppEnvironment =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);
inline ::testing::Environment * const kTestMapEnvironment =
  ::testing::AddGlobalTestEnvironment(new TestMap);

// Holds computeVelocity() until the test opens it, so that a cycle lasts as long as the test
// decides.
class CycleGate
{
public:
  void pass()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_at_ = std::chrono::steady_clock::now();
    entered_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kDeadline, [this] {return open_;});
  }

  // Waits for the cycle to reach the gate and tells when it did; false when it never came.
  bool waitEntered(std::chrono::steady_clock::time_point & entered_at)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, kDeadline, [this] {return entered_;})) {
      return false;
    }
    entered_at = entered_at_;
    return true;
  }

  void open()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_{false};
  bool open_{false};
  std::chrono::steady_clock::time_point entered_at_;
};

// The controller under test: its command, collision verdict and speed rate are the test's.
class ScriptedController : public controller::NavControllerBase
{
public:
  using NavControllerBase::NavControllerBase;
  using NavControllerBase::reportCycleTime;

  geometry_msgs::msg::Twist command;
  bool compute_succeeds{true};
  bool announce_rotation{false};
  bool collision_free{true};
  double speed_rate{1.0};
  CycleGate * gate{nullptr};

  bool computeVelocity() override
  {
    if (gate) {
      gate->pass();
    }
    if (!compute_succeeds) {
      return false;
    }
    cmd_vel_ = command;
    if (announce_rotation) {
      setMovementStatusRotationIntent(true);
    }
    return true;
  }
  bool isCollisionFree() override {return collision_free;}
  double computeSpeedRate() override {return speed_rate;}

  geometry_msgs::msg::Twist & cmdVel() {return cmd_vel_;}
  void setEndPose(const geometry_msgs::msg::PoseStamped & pose) {end_pose_ = pose;}
  void useGoalChecker(std::shared_ptr<nav2_core::GoalChecker> checker)
  {
    goal_checker_ = std::move(checker);
  }
  nav_2d_msgs::msg::Twist2D odometryTwist() const {return odom_sub_->latestTwist();}
};

// Collects what is published on "/movement_status". A sentinel published behind the messages
// under test marks the end of what the controller sent, so "nothing" can be asserted too.
class MovementStatusProbe
{
public:
  MovementStatusProbe()
  : node_(std::make_shared<rclcpp::Node>("movement_status_probe")),
    sentinel_publisher_(node_->create_publisher<MovementStatus>("/movement_status", 10)),
    subscription_(node_->create_subscription<MovementStatus>(
        "/movement_status", 10,
        [this](MovementStatus::ConstSharedPtr message) {received_.push_back(message->status);}))
  {
    executor_.add_node(node_);
  }

  // The statuses published since the previous call, in order.
  std::vector<int> take()
  {
    MovementStatus sentinel;
    sentinel.status = kSentinel;
    sentinel_publisher_->publish(sentinel);
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    std::vector<int> statuses;
    while (std::chrono::steady_clock::now() < deadline) {
      executor_.spin_some();
      for (std::size_t i = 0; i < received_.size(); ++i) {
        if (received_[i] == kSentinel) {
          statuses.assign(received_.begin(), received_.begin() + i);
          received_.erase(received_.begin(), received_.begin() + i + 1);
          return statuses;
        }
      }
      std::this_thread::yield();
    }
    ADD_FAILURE() << "the probe's own sentinel never arrived";
    return statuses;
  }

private:
  static constexpr int kSentinel = 99;
  std::shared_ptr<rclcpp::Node> node_;
  rclcpp::Publisher<MovementStatus>::SharedPtr sentinel_publisher_;
  rclcpp::Subscription<MovementStatus>::SharedPtr subscription_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::vector<int> received_;
};

class ControllerBaseTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    static int instance = 0;
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>(
      "base_test_costmap_" + std::to_string(instance++),
      std::vector<rclcpp::Parameter>{
        rclcpp::Parameter("yaml_filename", TestMap::yamlPath()),
        rclcpp::Parameter("narrow_passage_width", 1.0)});
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(link_);
  }

  void TearDown() override {velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();}

  // The controllers' node; a test declares parameters on it before making a controller, as
  // the server does.
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node()
  {
    if (!node_) {
      node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("velmora_nav2_controller");
    }
    return node_;
  }

  std::shared_ptr<ScriptedController> makeController()
  {
    return std::make_shared<ScriptedController>(node(), grid_map_);
  }

  // Puts the robot at (x, y, yaw) in the map frame, as a transform map -> base_footprint.
  void placeRobot(double x, double y, double yaw)
  {
    setTransform("map", "base_footprint", x, y, yaw);
  }

  void setTransform(
    const std::string & parent, const std::string & child, double x, double y, double yaw)
  {
    geometry_msgs::msg::TransformStamped transform;
    transform.header.frame_id = parent;
    transform.child_frame_id = child;
    transform.transform.translation.x = x;
    transform.transform.translation.y = y;
    tf2::Quaternion rotation;
    rotation.setRPY(0.0, 0.0, yaw);
    transform.transform.rotation.x = rotation.x();
    transform.transform.rotation.y = rotation.y();
    transform.transform.rotation.z = rotation.z();
    transform.transform.rotation.w = rotation.w();
    grid_map_->getCostmapROS()->getTfBuffer()->setTransform(transform, "test", true);
  }

  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<velmora_communicator::RecordingRobotLink> link_ =
    std::make_shared<velmora_communicator::RecordingRobotLink>();
};

}  // namespace controller_base_test

#endif  // CONTROLLER_BASE_FIXTURE_HPP_
