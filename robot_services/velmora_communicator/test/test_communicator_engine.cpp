#include <atomic>
#include <chrono>
#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_communicator/recording_robot_link.hpp"

namespace velmora_communicator
{
namespace
{

using ::testing::ElementsAre;

geometry_msgs::msg::Twist twist(double vx, double vy, double vz, double wx, double wy, double wz)
{
  geometry_msgs::msg::Twist command;
  command.linear.x = vx;
  command.linear.y = vy;
  command.linear.z = vz;
  command.angular.x = wx;
  command.angular.y = wy;
  command.angular.z = wz;
  return command;
}

velmora_protocol::msg::RobotEvent turnSignal(int code)
{
  velmora_protocol::msg::RobotEvent event;
  event.header.stamp.sec = 1700000000;
  event.header.stamp.nanosec = 250;
  event.event_type = 5;
  event.event_code = code;
  return event;
}

std::vector<CallKind> kindsOf(const std::vector<RecordedCall> & calls)
{
  std::vector<CallKind> kinds;
  for (const RecordedCall & call : calls) {
    kinds.push_back(call.kind);
  }
  return kinds;
}

TEST(CommunicatorEngineInstance, IsOneEngineForEveryThread)
{
  constexpr int kThreads = 8;
  std::vector<std::shared_ptr<CommunicatorEngine>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int index = 0; index < kThreads; ++index) {
    threads.emplace_back([&seen, index] {seen[index] = CommunicatorEngine::GetInstance();});
  }
  for (auto & thread : threads) {
    thread.join();
  }
  const auto engine = CommunicatorEngine::GetInstance();
  ASSERT_NE(engine, nullptr);
  for (const auto & copy : seen) {
    EXPECT_EQ(copy, engine);
  }
  EXPECT_NE(engine->cmdVelUnit(), nullptr);
  EXPECT_NE(engine->odomUnit(), nullptr);
  EXPECT_NE(engine->errCodeUnit(), nullptr);
  EXPECT_NE(engine->robotEventUnit(), nullptr);
  EXPECT_EQ(engine->cmdVelUnit(), CommunicatorEngine::GetInstance()->cmdVelUnit());
}

class CommunicatorEngineWithLink : public ::testing::Test
{
protected:
  CommunicatorEngineWithLink()
  {
    engine_->attachLink(link_);
  }

  std::shared_ptr<CommunicatorEngine> engine_ = std::make_shared<CommunicatorEngine>();
  std::shared_ptr<RecordingRobotLink> link_ = std::make_shared<RecordingRobotLink>();
};

TEST_F(CommunicatorEngineWithLink, ForwardsEveryCallWithItsArgumentsInOrder)
{
  const auto command = twist(0.4, -0.1, 0.01, 0.02, 0.03, -0.7);
  const auto event = turnSignal(70007);

  engine_->cmdVelUnit()->publishVelocity(command);
  engine_->robotEventUnit()->publishRobotEvent(event);
  engine_->errCodeUnit()->publishExceptionHandle(101100033);
  engine_->cmdVelUnit()->publishZeroVelocity();

  EXPECT_THAT(
    kindsOf(link_->calls()),
    ElementsAre(
      CallKind::velocity, CallKind::robot_event, CallKind::error_code, CallKind::zero_velocity));
  EXPECT_THAT(link_->velocities(), ElementsAre(command));
  EXPECT_THAT(link_->robotEvents(), ElementsAre(event));
  EXPECT_THAT(link_->errorCodes(), ElementsAre(101100033));
  EXPECT_TRUE(engine_->hasLink());
  EXPECT_EQ(engine_->droppedCalls(CallKind::velocity), 0U);
}

TEST_F(CommunicatorEngineWithLink, OdometryReadsAnswerWhatTheLinkMeasures)
{
  geometry_msgs::msg::TwistStamped odom;
  odom.header.frame_id = "odom";
  odom.twist = twist(0.3, 0.05, 0.0, 0.0, 0.0, 0.2);
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "odom";
  pose.pose.position.x = 1.5;
  pose.pose.position.y = -2.0;
  pose.pose.orientation.z = 0.6;
  pose.pose.orientation.w = 0.8;
  link_->setOdom(odom);
  link_->setOdomPose(pose);

  EXPECT_EQ(engine_->odomUnit()->getOdom(), odom);
  EXPECT_EQ(engine_->odomUnit()->getOdomPose(), pose);
  EXPECT_THAT(kindsOf(link_->calls()), ElementsAre(CallKind::odometry, CallKind::odometry_pose));
}

TEST(CommunicatorEngineWithoutLink, CountsAndDropsEveryKindOfCall)
{
  CommunicatorEngine engine;
  EXPECT_FALSE(engine.hasLink());

  engine.cmdVelUnit()->publishVelocity(twist(1, 0, 0, 0, 0, 0));
  engine.cmdVelUnit()->publishVelocity(twist(2, 0, 0, 0, 0, 0));
  engine.cmdVelUnit()->publishZeroVelocity();
  const auto odom = engine.odomUnit()->getOdom();
  const auto pose = engine.odomUnit()->getOdomPose();
  engine.odomUnit()->getOdomPose();
  engine.errCodeUnit()->publishExceptionHandle(101100033);

  EXPECT_EQ(odom, geometry_msgs::msg::TwistStamped());
  EXPECT_EQ(pose, geometry_msgs::msg::PoseStamped());
  EXPECT_EQ(engine.droppedCalls(CallKind::velocity), 2U);
  EXPECT_EQ(engine.droppedCalls(CallKind::zero_velocity), 1U);
  EXPECT_EQ(engine.droppedCalls(CallKind::odometry), 1U);
  EXPECT_EQ(engine.droppedCalls(CallKind::odometry_pose), 2U);
  EXPECT_EQ(engine.droppedCalls(CallKind::error_code), 1U);
  EXPECT_EQ(engine.droppedCalls(CallKind::robot_event), 0U);
}

TEST(CommunicatorEngineLinks, AttachReplaceAndDetachTakeEffectOnTheNextCall)
{
  CommunicatorEngine engine;
  auto first = std::make_shared<RecordingRobotLink>();
  auto second = std::make_shared<RecordingRobotLink>();

  engine.errCodeUnit()->publishExceptionHandle(1);
  engine.attachLink(first);
  engine.errCodeUnit()->publishExceptionHandle(2);
  engine.attachLink(second);
  engine.errCodeUnit()->publishExceptionHandle(3);
  engine.detachLink();
  engine.errCodeUnit()->publishExceptionHandle(4);

  EXPECT_THAT(first->errorCodes(), ElementsAre(2));
  EXPECT_THAT(second->errorCodes(), ElementsAre(3));
  EXPECT_EQ(engine.droppedCalls(CallKind::error_code), 2U);
  EXPECT_FALSE(engine.hasLink());
}

class ThrowingRobotLink : public RobotLink
{
public:
  MOCK_METHOD(void, publishVelocity, (const geometry_msgs::msg::Twist &), (override));
  MOCK_METHOD(void, publishZeroVelocity, (), (override));
  MOCK_METHOD(geometry_msgs::msg::TwistStamped, getOdom, (), (override));
  MOCK_METHOD(geometry_msgs::msg::PoseStamped, getOdomPose, (), (override));
  MOCK_METHOD(void, publishExceptionHandle, (int), (override));
  MOCK_METHOD(
    void, publishRobotEvent, (const velmora_protocol::msg::RobotEvent &), (override));
};

TEST(CommunicatorEngineLinks, ALinkFailureReachesTheCaller)
{
  CommunicatorEngine engine;
  auto link = std::make_shared<ThrowingRobotLink>();
  EXPECT_CALL(*link, publishZeroVelocity()).WillOnce(::testing::Throw(std::runtime_error("bus")));
  engine.attachLink(link);
  EXPECT_THROW(engine.cmdVelUnit()->publishZeroVelocity(), std::runtime_error);
}

TEST(CommunicatorEngineLinks, CallsDuringAttachAndDetachAreEitherForwardedOrCounted)
{
  CommunicatorEngine engine;
  auto link = std::make_shared<RecordingRobotLink>();
  constexpr int kCalls = 5000;
  std::atomic<bool> calling{true};
  std::atomic<int> switches{0};
  std::thread switcher(
    [&] {
      while (calling.load()) {
        engine.attachLink(link);
        engine.detachLink();
        switches.fetch_add(1);
      }
    });
  while (switches.load() == 0) {
    std::this_thread::yield();
  }
  for (int call = 0; call < kCalls; ++call) {
    engine.errCodeUnit()->publishExceptionHandle(call);
  }
  calling.store(false);
  switcher.join();

  const auto forwarded = link->errorCodes();
  EXPECT_EQ(
    forwarded.size() + engine.droppedCalls(CallKind::error_code),
    static_cast<std::size_t>(kCalls));
  EXPECT_TRUE(std::is_sorted(forwarded.begin(), forwarded.end()));
}

TEST(RecordingRobotLinkTest, WaitsForCallsFromOtherThreadsAndKeepsEachThreadsOrder)
{
  RecordingRobotLink link;
  constexpr int kThreads = 3;
  constexpr int kPerThread = 200;
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back(
      [&link, thread] {
        for (int call = 0; call < kPerThread; ++call) {
          link.publishExceptionHandle(thread * kPerThread + call);
        }
      });
  }
  ASSERT_TRUE(
    link.waitForCount(CallKind::error_code, kThreads * kPerThread, std::chrono::seconds(10)));
  for (auto & thread : threads) {
    thread.join();
  }

  std::vector<int> last_of_thread(kThreads, -1);
  for (int code : link.errorCodes()) {
    const int thread = code / kPerThread;
    EXPECT_GT(code, last_of_thread[thread]);
    last_of_thread[thread] = code;
  }
  EXPECT_EQ(link.count(CallKind::error_code), static_cast<std::size_t>(kThreads * kPerThread));
  link.clear();
  EXPECT_TRUE(link.calls().empty());
}

}  // namespace
}  // namespace velmora_communicator
