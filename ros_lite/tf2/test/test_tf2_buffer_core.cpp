#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "tf2/buffer_core.h"
#include "tf2/exceptions.h"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"

namespace
{

constexpr double kTol = 1e-9;

builtin_interfaces::msg::Time stampAt(double sec)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(std::floor(sec));
  stamp.nanosec = static_cast<uint32_t>(std::llround((sec - std::floor(sec)) * 1e9));
  return stamp;
}

geometry_msgs::msg::TransformStamped link(
  const std::string & parent, const std::string & child, double x, double y, double yaw,
  double sec)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp = stampAt(sec);
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  t.transform.rotation.x = q.x();
  t.transform.rotation.y = q.y();
  t.transform.rotation.z = q.z();
  t.transform.rotation.w = q.w();
  return t;
}

double yawOf(const geometry_msgs::msg::TransformStamped & t)
{
  const auto & r = t.transform.rotation;
  return tf2::getYaw(tf2::Quaternion(r.x, r.y, r.z, r.w));
}

double secondsOf(const geometry_msgs::msg::TransformStamped & t)
{
  return t.header.stamp.sec + t.header.stamp.nanosec * 1e-9;
}

template<class ExceptionT>
std::string messageOf(const std::function<void()> & action)
{
  try {
    action();
  } catch (const ExceptionT & e) {
    return e.what();
  }
  return "<no exception>";
}

// map -(static)-> odom -(dynamic)-> base_link -(static)-> laser
class BufferCoreTree : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(buffer_.setTransform(link("map", "odom", 1.0, 0.0, 0.0, 0.0), "test", true));
    ASSERT_TRUE(buffer_.setTransform(link("odom", "base_link", 0.0, 0.0, 0.0, 10.0), "test"));
    ASSERT_TRUE(buffer_.setTransform(link("odom", "base_link", 2.0, 0.0, M_PI / 2.0, 12.0), "test"));
    ASSERT_TRUE(buffer_.setTransform(link("base_link", "laser", 0.5, 0.0, 0.0, 0.0), "test", true));
  }

  tf2::BufferCore buffer_;
};

TEST_F(BufferCoreTree, ChainsThroughParentsAndInverts)
{
  const auto t = buffer_.lookupTransform("map", "laser", tf2::timeFromSec(12.0));
  EXPECT_EQ(t.header.frame_id, "map");
  EXPECT_EQ(t.child_frame_id, "laser");
  EXPECT_DOUBLE_EQ(secondsOf(t), 12.0);
  // laser origin: base at (2, 0) turned left, laser 0.5 ahead -> (2, 0.5) in odom, +1 in map.
  EXPECT_NEAR(t.transform.translation.x, 3.0, kTol);
  EXPECT_NEAR(t.transform.translation.y, 0.5, kTol);
  EXPECT_NEAR(yawOf(t), M_PI / 2.0, kTol);

  const auto inv = buffer_.lookupTransform("laser", "map", tf2::timeFromSec(12.0));
  // map origin seen from the laser: 3 m to its right and 0.5 m behind.
  EXPECT_NEAR(inv.transform.translation.x, -0.5, kTol);
  EXPECT_NEAR(inv.transform.translation.y, 3.0, kTol);
  EXPECT_NEAR(yawOf(inv), -M_PI / 2.0, kTol);
}

TEST_F(BufferCoreTree, SiblingsMeetAtTheirCommonAncestor)
{
  ASSERT_TRUE(buffer_.setTransform(link("odom", "dock", 5.0, 5.0, 0.0, 0.0), "test", true));
  const auto t = buffer_.lookupTransform("dock", "laser", tf2::timeFromSec(12.0));
  EXPECT_NEAR(t.transform.translation.x, -3.0, kTol);
  EXPECT_NEAR(t.transform.translation.y, -4.5, kTol);
}

TEST_F(BufferCoreTree, InterpolatesBetweenStamps)
{
  const auto t = buffer_.lookupTransform("odom", "base_link", tf2::timeFromSec(11.0));
  EXPECT_NEAR(t.transform.translation.x, 1.0, kTol);
  EXPECT_NEAR(yawOf(t), M_PI / 4.0, kTol);
  EXPECT_DOUBLE_EQ(secondsOf(t), 11.0);
}

TEST_F(BufferCoreTree, ZeroTimeMeansLatestCommonTime)
{
  auto t = buffer_.lookupTransform("map", "base_link", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(secondsOf(t), 12.0);
  EXPECT_NEAR(t.transform.translation.x, 3.0, kTol);

  // A second moving link whose newest sample is older bounds the common time.
  ASSERT_TRUE(buffer_.setTransform(link("laser", "target", 1.0, 0.0, 0.0, 9.0), "test"));
  ASSERT_TRUE(buffer_.setTransform(link("laser", "target", 1.0, 0.0, 0.0, 11.0), "test"));
  t = buffer_.lookupTransform("odom", "target", tf2::TimePointZero);
  EXPECT_DOUBLE_EQ(secondsOf(t), 11.0);
  // base at x = 1 heading pi/4; target 0.5 + 1 m ahead of it.
  EXPECT_NEAR(t.transform.translation.x, 1.0 + 1.5 * std::sqrt(0.5), kTol);
  EXPECT_NEAR(t.transform.translation.y, 1.5 * std::sqrt(0.5), kTol);

  // Only static links: the result is stamped zero.
  t = buffer_.lookupTransform("map", "odom", tf2::TimePointZero);
  EXPECT_EQ(t.header.stamp.sec, 0);
  EXPECT_EQ(t.header.stamp.nanosec, 0u);
}

TEST_F(BufferCoreTree, StaticLinksHoldAtAnyTimeDynamicOnesDoNotExtrapolate)
{
  const auto t = buffer_.lookupTransform("base_link", "laser", tf2::timeFromSec(1000.0));
  EXPECT_DOUBLE_EQ(secondsOf(t), 1000.0);
  EXPECT_NEAR(t.transform.translation.x, 0.5, kTol);

  const std::string future = messageOf<tf2::ExtrapolationException>(
    [&] {buffer_.lookupTransform("map", "base_link", tf2::timeFromSec(13.0));});
  EXPECT_NE(future.find("extrapolation into the future"), std::string::npos) << future;
  EXPECT_NE(future.find("when looking up transform from frame [base_link] to frame [map]"),
    std::string::npos) << future;

  const std::string past = messageOf<tf2::ExtrapolationException>(
    [&] {buffer_.lookupTransform("map", "laser", tf2::timeFromSec(9.5));});
  EXPECT_NE(past.find("extrapolation into the past"), std::string::npos) << past;

  std::string error;
  EXPECT_FALSE(buffer_.canTransform("map", "base_link", tf2::timeFromSec(13.0), &error));
  EXPECT_NE(error.find("extrapolation into the future"), std::string::npos) << error;
  EXPECT_TRUE(buffer_.canTransform("map", "laser", tf2::timeFromSec(10.5)));
  EXPECT_TRUE(buffer_.canTransform("map", "laser", tf2::TimePointZero));
}

TEST_F(BufferCoreTree, ErrorsNameTheFrames)
{
  tf2::BufferCore empty;
  EXPECT_EQ(
    messageOf<tf2::LookupException>(
      [&] {empty.lookupTransform("map", "base_link", tf2::TimePointZero);}),
    "\"map\" passed to lookupTransform argument target_frame does not exist. ");
  EXPECT_EQ(
    messageOf<tf2::LookupException>(
      [&] {buffer_.lookupTransform("map", "wheel", tf2::TimePointZero);}),
    "\"wheel\" passed to lookupTransform argument source_frame does not exist. ");
  EXPECT_NE(
    messageOf<tf2::InvalidArgumentException>(
      [&] {buffer_.lookupTransform("/map", "odom", tf2::TimePointZero);}).find("\"/map\""),
    std::string::npos);
  EXPECT_NE(
    messageOf<tf2::InvalidArgumentException>(
      [&] {buffer_.lookupTransform("map", "", tf2::TimePointZero);}).find("cannot be empty"),
    std::string::npos);

  ASSERT_TRUE(buffer_.setTransform(link("world", "island", 0.0, 0.0, 0.0, 0.0), "test", true));
  const std::string unconnected = messageOf<tf2::ConnectivityException>(
    [&] {buffer_.lookupTransform("map", "island", tf2::TimePointZero);});
  EXPECT_NE(unconnected.find("'map' and 'island'"), std::string::npos) << unconnected;
  EXPECT_THROW(
    buffer_.lookupTransform("map", "island", tf2::timeFromSec(12.0)), tf2::ConnectivityException);

  std::string error;
  EXPECT_FALSE(buffer_.canTransform("ghost", "spirit", tf2::TimePointZero, &error));
  EXPECT_EQ(error,
    "canTransform: target_frame ghost does not exist. canTransform: source_frame spirit does not exist.");
  EXPECT_FALSE(buffer_.canTransform("map", "/odom", tf2::TimePointZero));

  // Every error is a TransformException for callers that do not care which.
  EXPECT_THROW(buffer_.lookupTransform("map", "wheel", tf2::TimePointZero), tf2::TransformException);
}

TEST_F(BufferCoreTree, SameFrameIsIdentityEvenWhenUnknown)
{
  const auto t = buffer_.lookupTransform("nowhere", "nowhere", tf2::timeFromSec(3.0));
  EXPECT_DOUBLE_EQ(t.transform.translation.x, 0.0);
  EXPECT_DOUBLE_EQ(t.transform.rotation.w, 1.0);
  EXPECT_DOUBLE_EQ(secondsOf(t), 3.0);
  EXPECT_TRUE(buffer_.canTransform("nowhere", "nowhere", tf2::TimePointZero));
  EXPECT_DOUBLE_EQ(
    secondsOf(buffer_.lookupTransform("base_link", "base_link", tf2::TimePointZero)), 12.0);
}

TEST_F(BufferCoreTree, FixedFrameLookupMeasuresMotionBetweenTimes)
{
  // Where the base is at t = 12, seen from the base at t = 10, through the odom frame.
  const auto t = buffer_.lookupTransform(
    "base_link", tf2::timeFromSec(10.0), "base_link", tf2::timeFromSec(12.0), "odom");
  EXPECT_NEAR(t.transform.translation.x, 2.0, kTol);
  EXPECT_NEAR(yawOf(t), M_PI / 2.0, kTol);
  EXPECT_TRUE(buffer_.canTransform(
    "base_link", tf2::timeFromSec(10.0), "base_link", tf2::timeFromSec(12.0), "odom"));
  EXPECT_FALSE(buffer_.canTransform(
    "base_link", tf2::timeFromSec(10.0), "base_link", tf2::timeFromSec(14.0), "odom"));
}

TEST_F(BufferCoreTree, RejectsInvalidAndRepeatedData)
{
  EXPECT_FALSE(buffer_.setTransform(link("odom", "odom", 0, 0, 0, 13.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(link("", "base_link", 0, 0, 0, 13.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(link("odom", "", 0, 0, 0, 13.0), "test"));
  EXPECT_FALSE(buffer_.setTransform(
      link("odom", "base_link", std::numeric_limits<double>::quiet_NaN(), 0, 0, 13.0), "test"));
  auto denormalized = link("odom", "base_link", 0, 0, 0, 13.0);
  denormalized.transform.rotation.w = 2.0;
  EXPECT_FALSE(buffer_.setTransform(denormalized, "test"));
  // A repeated stamp is ignored rather than replacing the sample.
  EXPECT_FALSE(buffer_.setTransform(link("odom", "base_link", 9.0, 0, 0, 12.0), "test"));
  EXPECT_NEAR(
    buffer_.lookupTransform("odom", "base_link", tf2::timeFromSec(12.0)).transform.translation.x,
    2.0, kTol);
  // None of the rejected samples extended the history.
  EXPECT_FALSE(buffer_.canTransform("odom", "base_link", tf2::timeFromSec(13.0)));

  // A leading slash is stripped from stored frame ids.
  EXPECT_TRUE(buffer_.setTransform(link("/odom", "/wheel", 0, 1, 0, 0), "test", true));
  EXPECT_TRUE(buffer_.canTransform("odom", "wheel", tf2::TimePointZero));
}

TEST(BufferCore, KeepsOnlyTheCacheWindow)
{
  tf2::BufferCore buffer(std::chrono::seconds(5));
  EXPECT_EQ(buffer.getCacheLength(), std::chrono::seconds(5));
  for (int sec = 0; sec <= 20; ++sec) {
    ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", sec, 0, 0, sec), "test"));
  }
  EXPECT_THROW(
    buffer.lookupTransform("odom", "base_link", tf2::timeFromSec(14.0)), tf2::ExtrapolationException);
  EXPECT_NEAR(
    buffer.lookupTransform("odom", "base_link", tf2::timeFromSec(15.5)).transform.translation.x,
    15.5, kTol);
  // Older than the window relative to the newest sample: refused.
  EXPECT_FALSE(buffer.setTransform(link("odom", "base_link", 0, 0, 0, 2.0), "test"));
  // Late but inside the window: accepted in order.
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 100, 0, 0, 17.5), "test"));
  EXPECT_NEAR(
    buffer.lookupTransform("odom", "base_link", tf2::timeFromSec(17.5)).transform.translation.x,
    100.0, kTol);
}

TEST(BufferCore, SingleSampleAnswersOnlyItsOwnTimeOrLatest)
{
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1, 0, 0, 5.0), "test"));
  EXPECT_NO_THROW(buffer.lookupTransform("odom", "base_link", tf2::timeFromSec(5.0)));
  EXPECT_NO_THROW(buffer.lookupTransform("odom", "base_link", tf2::TimePointZero));
  const std::string error = messageOf<tf2::ExtrapolationException>(
    [&] {buffer.lookupTransform("odom", "base_link", tf2::timeFromSec(5.5));});
  EXPECT_NE(error.find("but only time 5.000000 is in the buffer"), std::string::npos) << error;
}

TEST(BufferCore, ClearKeepsStaticLinksAndKindCanChange)
{
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(link("map", "odom", 1, 0, 0, 0), "test", true));
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1, 0, 0, 5.0), "test"));
  buffer.clear();
  EXPECT_TRUE(buffer.canTransform("map", "odom", tf2::TimePointZero));
  EXPECT_FALSE(buffer.canTransform("odom", "base_link", tf2::TimePointZero));

  // odom -> base_link republished as static holds at any time from then on.
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 3, 0, 0, 5.0), "test", true));
  EXPECT_NEAR(
    buffer.lookupTransform("map", "base_link", tf2::timeFromSec(50.0)).transform.translation.x,
    4.0, kTol);
}

TEST(BufferCore, DescribesItsFrames)
{
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(link("map", "odom", 1, 0, 0, 0), "static_pub", true));
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1, 0, 0, 5.0), "odom_pub"));
  auto names = buffer.getAllFrameNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"base_link", "map", "odom"}));
  EXPECT_NE(buffer.allFramesAsString().find("Frame base_link exists with parent odom."),
    std::string::npos);
  const std::string yaml = buffer.allFramesAsYAML();
  EXPECT_NE(yaml.find("base_link: \n  parent: 'odom'\n  broadcaster: 'odom_pub'"),
    std::string::npos) << yaml;
  EXPECT_TRUE(buffer._frameExists("map"));
  EXPECT_FALSE(buffer._frameExists("moon"));
  std::string parent;
  EXPECT_TRUE(buffer._getParent("base_link", tf2::TimePointZero, parent));
  EXPECT_EQ(parent, "odom");
  EXPECT_FALSE(buffer._getParent("map", tf2::TimePointZero, parent));
}

TEST(BufferCore, TransformableRequestsFireWhenDataArrivesOrExpires)
{
  tf2::BufferCore buffer(std::chrono::seconds(5));
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 0, 0, 0, 1.0), "test"));

  std::vector<std::pair<tf2::TransformableRequestHandle, tf2::TransformableResult>> answers;
  auto record = [&](tf2::TransformableRequestHandle handle, const std::string & target,
      const std::string & source, tf2::TimePoint, tf2::TransformableResult result) {
      EXPECT_EQ(target, "odom");
      EXPECT_EQ(source, "base_link");
      answers.emplace_back(handle, result);
    };

  EXPECT_EQ(buffer.addTransformableRequest(record, "odom", "base_link", tf2::timeFromSec(1.0)), 0u);
  const auto waiting = buffer.addTransformableRequest(record, "odom", "base_link", tf2::timeFromSec(2.0));
  const auto cancelled = buffer.addTransformableRequest(record, "odom", "base_link", tf2::timeFromSec(2.5));
  const auto expiring = buffer.addTransformableRequest(record, "odom", "base_link", tf2::timeFromSec(40.0));
  ASSERT_NE(waiting, 0u);
  buffer.cancelTransformableRequest(cancelled);
  EXPECT_TRUE(answers.empty());

  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1, 0, 0, 3.0), "test"));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].first, waiting);
  EXPECT_EQ(answers[0].second, tf2::TransformAvailable);

  // Once the window has moved past the requested time it can never be answered.
  ASSERT_TRUE(buffer.setTransform(link("odom", "base_link", 1, 0, 0, 50.0), "test"));
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[1].first, expiring);
  EXPECT_EQ(answers[1].second, tf2::TransformFailure);
  EXPECT_EQ(
    buffer.addTransformableRequest(record, "odom", "base_link", tf2::timeFromSec(3.0)),
    0xffffffffffffffffULL);
}

TEST(BufferCore, ConcurrentWritersAndReadersSeeConsistentLinks)
{
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(link("map", "odom", 0, 0, 0, 0), "test", true));
  std::atomic<bool> done{false};
  std::thread writer([&] {
      for (int i = 1; i <= 2000; ++i) {
        // x and y always equal: a torn read would break the equality.
        buffer.setTransform(link("odom", "base_link", i, i, 0, i * 0.001), "test");
      }
      done = true;
    });
  int reads = 0;
  while (!done || reads == 0) {
    if (buffer.canTransform("map", "base_link", tf2::TimePointZero)) {
      const auto t = buffer.lookupTransform("map", "base_link", tf2::TimePointZero);
      ASSERT_DOUBLE_EQ(t.transform.translation.x, t.transform.translation.y);
      ++reads;
    }
  }
  writer.join();
  EXPECT_NEAR(
    buffer.lookupTransform("map", "base_link", tf2::TimePointZero).transform.translation.x,
    2000.0, kTol);
}

}  // namespace
