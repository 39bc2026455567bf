#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "nav_msgs/msg/odometry.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/time.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"
#include "velmora/testing/log_capture.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_sim_robot/sim_robot.hpp"
#include "velmora/testing/rclcpp_environment.hpp"

namespace velmora_sim_robot
{
namespace
{
using namespace std::chrono_literals;
using velmora_communicator::CallKind;
using velmora_communicator::CommunicatorEngine;

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

::testing::Environment * const kRclcpp =
  ::testing::AddGlobalTestEnvironment(new velmora::testing::RclcppEnvironment);

geometry_msgs::msg::Twist twist(double vx, double vy, double wz)
{
  geometry_msgs::msg::Twist command;
  command.linear.x = vx;
  command.linear.y = vy;
  command.angular.z = wz;
  return command;
}

double yawOf(const geometry_msgs::msg::Quaternion & orientation)
{
  return std::atan2(
    2.0 * (orientation.w * orientation.z + orientation.x * orientation.y),
    1.0 - 2.0 * (orientation.y * orientation.y + orientation.z * orientation.z));
}

void expectPlacedAt(const geometry_msgs::msg::Transform & transform, const PlanarPose & pose)
{
  EXPECT_NEAR(transform.translation.x, pose.x, 1e-9);
  EXPECT_NEAR(transform.translation.y, pose.y, 1e-9);
  EXPECT_NEAR(std::remainder(yawOf(transform.rotation) - pose.yaw, 2.0 * kPi), 0.0, 1e-9);
}

void expectPlacedAt(const geometry_msgs::msg::Pose & placed, const PlanarPose & pose)
{
  EXPECT_NEAR(placed.position.x, pose.x, 1e-9);
  EXPECT_NEAR(placed.position.y, pose.y, 1e-9);
  EXPECT_NEAR(std::remainder(yawOf(placed.orientation) - pose.yaw, 2.0 * kPi), 0.0, 1e-9);
}

// Keeps every odometry message of a topic, received through a subscription spun on its own
// thread like any other ROS consumer.
class OdometryRecorder
{
public:
  explicit OdometryRecorder(const std::string & topic)
  : node_(std::make_shared<rclcpp::Node>("odometry_recorder"))
  {
    subscription_ = node_->create_subscription<nav_msgs::msg::Odometry>(
      topic, rclcpp::QoS(100), [this](nav_msgs::msg::Odometry::ConstSharedPtr message) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          messages_.push_back(*message);
        }
        received_.notify_all();
      });
    executor_.add_node(node_);
    spinner_ = std::thread(
      [this] {
        while (!stopping_) {
          executor_.spin_once(10ms);
        }
      });
  }

  ~OdometryRecorder()
  {
    stopping_ = true;
    spinner_.join();
  }

  // The message stamped `stamp`, once it has arrived.
  std::optional<nav_msgs::msg::Odometry> waitForStamp(const builtin_interfaces::msg::Time & stamp)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<nav_msgs::msg::Odometry> found;
    received_.wait_for(
      lock, 5s, [&] {
        for (const nav_msgs::msg::Odometry & message : messages_) {
          if (message.header.stamp == stamp) {
            found = message;
          }
        }
        return found.has_value();
      });
    return found;
  }

private:
  rclcpp::Node::SharedPtr node_;
  rclcpp::Subscription<nav_msgs::msg::Odometry>::SharedPtr subscription_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::atomic<bool> stopping_{false};
  std::thread spinner_;
  std::mutex mutex_;
  std::condition_variable received_;
  std::vector<nav_msgs::msg::Odometry> messages_;
};

class SimRobotTest : public ::testing::Test
{
protected:
  SimRobotTest()
  : node_(std::make_shared<rclcpp::Node>("sim_robot"))
  {
  }

  std::shared_ptr<SimRobot> makeRobot(SimRobotOptions options = SimRobotOptions())
  {
    return std::make_shared<SimRobot>(node_, options);
  }

  rclcpp::Node::SharedPtr node_;
};

SimRobotOptions unlimitedAcceleration()
{
  SimRobotOptions options;
  options.limits.x = {1.0, kInfinity};
  options.limits.y = {1.0, kInfinity};
  options.limits.yaw = {2.0, kInfinity};
  return options;
}

TEST_F(SimRobotTest, OdometryAndTransformsAgree)
{
  SimRobotOptions options = unlimitedAcceleration();
  options.start_pose = {1.0, 2.0, kPi / 2.0};
  options.odom_topic = "sim/odom";
  const auto robot = makeRobot(options);
  // Created after the robot: the map -> odom transform has to be latched for it.
  tf2_ros::Buffer buffer(node_->get_clock());
  tf2_ros::TransformListener listener(buffer);
  OdometryRecorder recorder("sim/odom");

  robot->publishVelocity(twist(0.5, 0.2, 0.4));
  for (int update = 0; update < 4; ++update) {
    robot->step(0.5);
    const OdometrySample sample = robot->odometry();
    const std::optional<nav_msgs::msg::Odometry> odometry = recorder.waitForStamp(sample.stamp);
    ASSERT_TRUE(odometry.has_value()) << "update " << update;
    EXPECT_EQ(odometry->header.frame_id, "odom");
    EXPECT_EQ(odometry->child_frame_id, "base_footprint");
    expectPlacedAt(odometry->pose.pose, sample.pose);
    EXPECT_DOUBLE_EQ(odometry->twist.twist.linear.x, 0.5);
    EXPECT_DOUBLE_EQ(odometry->twist.twist.linear.y, 0.2);
    EXPECT_DOUBLE_EQ(odometry->twist.twist.angular.z, 0.4);

    const tf2::TimePoint time = tf2_ros::fromMsg(sample.stamp);
    ASSERT_TRUE(buffer.canTransform("map", "base_footprint", time, tf2::durationFromSec(5.0)));
    const auto odom_to_base = buffer.lookupTransform("odom", "base_footprint", time);
    expectPlacedAt(odom_to_base.transform, sample.pose);
    EXPECT_EQ(odom_to_base.header.stamp, odometry->header.stamp);
    const auto map_to_base = buffer.lookupTransform("map", "base_footprint", time);
    expectPlacedAt(map_to_base.transform, robot->mapPose());
  }
  // 2 s of a held arc from the start pose, seen in the map.
  const PlanarPose expected = compose(
    options.start_pose, integrateTwist({}, {0.5, 0.2, 0.4}, 2.0));
  const PlanarPose map_pose = robot->mapPose();
  EXPECT_NEAR(map_pose.x, expected.x, 1e-9);
  EXPECT_NEAR(map_pose.y, expected.y, 1e-9);
  EXPECT_NEAR(map_pose.yaw, expected.yaw, 1e-9);
}

TEST_F(SimRobotTest, StartPoseIsTheOdometryFrameInTheMap)
{
  SimRobotOptions options;
  options.start_pose = {-3.0, 4.0, -kPi / 4.0};
  const auto robot = makeRobot(options);
  tf2_ros::Buffer buffer(node_->get_clock());
  tf2_ros::TransformListener listener(buffer);
  ASSERT_TRUE(
    buffer.canTransform("map", "odom", tf2::TimePointZero, tf2::durationFromSec(5.0)));
  expectPlacedAt(
    buffer.lookupTransform("map", "odom", tf2::TimePointZero).transform, options.start_pose);
  const geometry_msgs::msg::PoseStamped odom_pose = robot->getOdomPose();
  EXPECT_EQ(odom_pose.header.frame_id, "odom");
  expectPlacedAt(odom_pose.pose, PlanarPose{});
}

class SimRobotOnCommunicator : public SimRobotTest
{
protected:
  void TearDown() override {engine_->detachLink();}

  const std::shared_ptr<CommunicatorEngine> engine_ = CommunicatorEngine::GetInstance();
};

TEST_F(SimRobotOnCommunicator, AnswersTheUnitsWhileAttached)
{
  BaseLimits limits;
  limits.x = {0.6, 1.2};
  SimRobotOptions options;
  options.limits = limits;
  const auto robot = makeRobot(options);
  engine_->attachLink(robot);

  engine_->cmdVelUnit()->publishVelocity(twist(1.0, 0.0, 0.0));
  EXPECT_EQ(robot->command(), (BodyTwist{0.6, 0.0, 0.0}));  // clamped to the limit
  robot->step(0.25);
  geometry_msgs::msg::TwistStamped odom = engine_->odomUnit()->getOdom();
  EXPECT_EQ(odom.header.frame_id, "base_footprint");
  EXPECT_NEAR(odom.twist.linear.x, 0.3, 1e-12);  // ramping at 1.2 m/s^2
  robot->step(1.0);
  odom = engine_->odomUnit()->getOdom();
  EXPECT_DOUBLE_EQ(odom.twist.linear.x, 0.6);
  const geometry_msgs::msg::PoseStamped pose = engine_->odomUnit()->getOdomPose();
  EXPECT_EQ(pose.header.frame_id, "odom");
  EXPECT_EQ(pose.header.stamp, odom.header.stamp);
  // 0.5 s of ramp (0.15 m), then 0.75 s at 0.6 m/s.
  EXPECT_NEAR(pose.pose.position.x, 0.15 + 0.45, 1e-9);

  engine_->cmdVelUnit()->publishZeroVelocity();
  EXPECT_EQ(robot->command(), BodyTwist{});
  robot->step(1.0);
  EXPECT_EQ(engine_->odomUnit()->getOdom().twist, geometry_msgs::msg::Twist());

  engine_->errCodeUnit()->publishExceptionHandle(101100002);
  engine_->errCodeUnit()->publishExceptionHandle(7);
  EXPECT_EQ(robot->reports().errorCodeCount(), 2u);
  EXPECT_EQ(robot->reports().lastErrorCode(), 7);
  velmora_protocol::msg::RobotEvent event;
  event.event_type = 5;
  event.event_code = 2;
  event.params = {"left"};
  engine_->robotEventUnit()->publishRobotEvent(event);
  EXPECT_EQ(robot->reports().eventCount(), 1u);
  EXPECT_EQ(robot->reports().lastEvent(), event);
}

TEST_F(SimRobotOnCommunicator, DetachedRobotNoLongerHearsCommands)
{
  const auto robot = makeRobot(unlimitedAcceleration());
  engine_->attachLink(robot);
  engine_->cmdVelUnit()->publishVelocity(twist(0.4, 0.0, 0.0));
  engine_->detachLink();
  const std::uint64_t dropped = engine_->droppedCalls(CallKind::velocity);

  engine_->cmdVelUnit()->publishVelocity(twist(0.0, 0.0, 1.0));
  EXPECT_EQ(engine_->droppedCalls(CallKind::velocity), dropped + 1);
  EXPECT_EQ(robot->command(), (BodyTwist{0.4, 0.0, 0.0}));
  engine_->errCodeUnit()->publishExceptionHandle(3);
  EXPECT_EQ(robot->reports().errorCodeCount(), 0u);
  // The odometry unit falls back to defaults, whatever the robot's state.
  robot->step(1.0);
  EXPECT_EQ(engine_->odomUnit()->getOdomPose().pose.position.x, 0.0);
  EXPECT_NEAR(robot->odometry().pose.x, 0.4, 1e-12);
}

TEST_F(SimRobotOnCommunicator, RefusesNonFiniteCommands)
{
  const auto robot = makeRobot(unlimitedAcceleration());
  engine_->attachLink(robot);
  engine_->cmdVelUnit()->publishVelocity(twist(0.5, 0.0, 0.0));
  robot->step(1.0);

  velmora::testing::LogCapture capture;
  geometry_msgs::msg::Twist broken = twist(0.5, 0.0, 0.0);
  broken.linear.z = std::numeric_limits<double>::quiet_NaN();  // even a component it ignores
  engine_->cmdVelUnit()->publishVelocity(broken);
  engine_->cmdVelUnit()->publishVelocity(twist(0.5, 0.0, kInfinity));
  EXPECT_EQ(robot->refusedCommands(), 2u);
  EXPECT_EQ(robot->command(), BodyTwist{});
  robot->step(1.0);
  EXPECT_NEAR(robot->odometry().pose.x, 0.5, 1e-12);
  const auto refusals = capture.linesContaining("refused velocity command");
  ASSERT_EQ(refusals.size(), 2u);
  for (const auto & statement : capture.statements()) {
    if (statement.text.find("refused velocity command") != std::string::npos) {
      EXPECT_EQ(statement.level, spdlog::level::err);
    }
  }

  // A good command afterwards is followed again.
  engine_->cmdVelUnit()->publishVelocity(twist(0.0, 0.3, 0.0));
  EXPECT_EQ(robot->command(), (BodyTwist{0.0, 0.3, 0.0}));
  EXPECT_EQ(robot->refusedCommands(), 2u);
}

TEST_F(SimRobotTest, RunsInRealTimeOnItsUpdateThread)
{
  const auto robot = makeRobot(unlimitedAcceleration());
  robot->publishVelocity(twist(0.5, 0.0, 0.0));
  robot->start();
  EXPECT_TRUE(robot->running());
  EXPECT_THROW(robot->start(), std::logic_error);
  EXPECT_THROW(robot->step(0.1), std::logic_error);

  ASSERT_TRUE(robot->waitForUpdates(robot->updateCount() + 2, 5s));
  const OdometrySample first = robot->odometry();
  ASSERT_TRUE(robot->waitForUpdates(robot->updateCount() + 10, 5s));
  const OdometrySample later = robot->odometry();
  robot->stop();
  EXPECT_FALSE(robot->running());

  // The pose advanced by speed times the time between the two stamps; the tolerance covers the
  // gap between reading the steady clock and stamping.
  const double elapsed = (rclcpp::Time(later.stamp) - rclcpp::Time(first.stamp)).seconds();
  EXPECT_GT(elapsed, 0.0);
  EXPECT_NEAR(later.pose.x - first.pose.x, 0.5 * elapsed, 0.01);

  // Stopped, it is stepped by hand again.
  const double x = robot->odometry().pose.x;
  robot->step(1.0);
  EXPECT_NEAR(robot->odometry().pose.x, x + 0.5, 1e-9);
}

TEST_F(SimRobotTest, RejectsInvalidOptions)
{
  SimRobotOptions slow;
  slow.update_rate = 0.0;
  EXPECT_THROW(makeRobot(slow), std::invalid_argument);
  SimRobotOptions lost;
  lost.start_pose.x = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(makeRobot(lost), std::invalid_argument);
  SimRobotOptions stuck;
  stuck.limits.x.max_acceleration = 0.0;
  EXPECT_THROW(makeRobot(stuck), std::invalid_argument);
}

}  // namespace
}  // namespace velmora_sim_robot
