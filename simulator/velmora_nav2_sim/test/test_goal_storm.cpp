// Goals at random against the whole stack on the simulated robot: short moves with every
// controller name the server knows or may know, unknown names, unusable frequencies, cancels at
// random moments, bursts that preempt, non-finite poses and degenerate paths. Whatever arrives,
// every accepted goal must end exactly once and in time, nothing non-finite may reach the robot,
// and the robot must stand still at the end.
//
// VELMORA_STORM_GOALS sets the number of goals (default 150), VELMORA_STORM_SEED the seed
// (default: from the clock); the seed is printed with every failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base_robot/base_robot.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "simulated_stack.hpp"
#include "velmora/testing/rclcpp_environment.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"

namespace
{
using namespace std::chrono_literals;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using velmora_sim_robot::PlanarPose;

// A storm move is at most a few decimetres; anything still running after this is stuck.
constexpr auto kGoalDeadline = 40s;
constexpr auto kReplyDeadline = 5s;
constexpr std::size_t kLongPathPoses = 100000;

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(
  new velmora::testing::RclcppEnvironment({"--ros-args", "-p",
      "footprint:='[[0.30, 0.25], [0.30, -0.25], [-0.30, -0.25], [-0.30, 0.25]]'"}));

// Every name a goal may carry: the server's controllers, registered or not yet, and one that
// never will be.
const std::vector<std::string> kControllerNames{
  "lateral_move_controller", "dwb_controller", "teb_controller", "pid_controller",
  "pid_controller_straight_only", "no_such_controller"};

std::uint64_t environmentNumber(const char * name, std::uint64_t fallback)
{
  const char * text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// What the client saw of one goal.
struct GoalRecord
{
  std::string description;
  std::chrono::steady_clock::time_point sent;
  std::shared_future<ClientGoalHandle::SharedPtr> handle;
  std::atomic<int> results{0};
  std::atomic<int> code{-1};
  std::promise<void> ended_promise;
  std::shared_future<void> ended{ended_promise.get_future().share()};
};

// Draws the goals of the storm from one seeded generator.
class GoalGenerator
{
public:
  GoalGenerator(std::uint64_t seed, PlanarPose home)
  : random_(seed), home_(home) {}

  bool chance(double probability) {return std::uniform_real_distribution<>(0, 1)(random_) < probability;}
  int between(int low, int high) {return std::uniform_int_distribution<>(low, high)(random_);}
  double uniform(double low, double high)
  {
    return std::uniform_real_distribution<>(low, high)(random_);
  }

  Action::Goal next(std::string & description)
  {
    Action::Goal goal;
    goal.controller_id = kControllerNames[between(0, static_cast<int>(kControllerNames.size()) - 1)];
    goal.controller_frequency = frequency();
    goal.relative_to_base = chance(0.2);
    goal.nav_path.header.frame_id = "map";
    const PlanarPose target = goal.relative_to_base ?
      PlanarPose{uniform(-0.1, 0.1), uniform(-0.1, 0.1), uniform(-0.3, 0.3)} :
      PlanarPose{home_.x + uniform(-0.2, 0.2), home_.y + uniform(-0.2, 0.2), uniform(-0.5, 0.5)};
    const int shape = between(0, 19);
    std::string path_kind;
    if (shape == 0) {
      path_kind = "empty path";
    } else if (shape == 1) {
      path_kind = "one pose";
      goal.nav_path.poses.push_back(poseAt(target));
    } else if (shape == 2) {
      path_kind = "100000 poses";
      line(goal, target, kLongPathPoses);
    } else {
      line(goal, target, static_cast<std::size_t>(between(2, 12)));
      if (shape == 3 || shape == 4) {
        path_kind = poisonOnePose(goal);
      } else {
        path_kind = "short move";
      }
    }
    // A route segment (finished clear) waits at its end for the next one by design; a storm
    // goal is the whole route, whatever its path.
    goal.finished = true;
    description = goal.controller_id + " at " + std::to_string(goal.controller_frequency) +
      " Hz, " + (goal.relative_to_base ? "base" : "map") + " mode, " + path_kind;
    return goal;
  }

private:
  int frequency()
  {
    switch (between(0, 9)) {
      case 0: return 0;
      case 1: return -between(1, 100);
      case 2: return 1000;
      default: return 20;
    }
  }

  static geometry_msgs::msg::PoseStamped poseAt(const PlanarPose & pose)
  {
    geometry_msgs::msg::PoseStamped stamped;
    stamped.header.frame_id = "map";
    stamped.pose.position.x = pose.x;
    stamped.pose.position.y = pose.y;
    stamped.pose.orientation = BaseRobot().eulerToQuaternion(pose.yaw, 0.0, 0.0);
    return stamped;
  }

  // A straight path from home to `target` (in base mode from the robot's origin) of `count`
  // poses.
  void line(Action::Goal & goal, const PlanarPose & target, std::size_t count)
  {
    const PlanarPose from = goal.relative_to_base ? PlanarPose{0, 0, 0} : home_;
    goal.nav_path.poses.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
      const double share = count > 1 ? static_cast<double>(index) / static_cast<double>(count - 1) : 1;
      goal.nav_path.poses.push_back(poseAt(
          {from.x + share * (target.x - from.x), from.y + share * (target.y - from.y),
            target.yaw}));
    }
  }

  // Replaces one coordinate of one pose, first or last as often as any other, with NaN or an
  // infinity.
  std::string poisonOnePose(Action::Goal & goal)
  {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    const double value = values[between(0, 2)];
    const int last = static_cast<int>(goal.nav_path.poses.size()) - 1;
    const int which = chance(0.6) ? (chance(0.5) ? 0 : last) : between(0, last);
    auto & pose = goal.nav_path.poses[static_cast<std::size_t>(which)].pose;
    double * fields[] = {&pose.position.x, &pose.position.y, &pose.orientation.z,
      &pose.orientation.w, &pose.orientation.x};
    const int field = between(0, 4);
    *fields[field] = value;
    static const char * const kFieldNames[] = {"x", "y", "qz", "qw", "qx"};
    return std::to_string(value) + " in " + kFieldNames[field] + " of pose " +
           std::to_string(which);
  }

  std::mt19937_64 random_;
  PlanarPose home_;
};

class GoalStorm : public ::testing::Test
{
protected:
  // Aisle 1 of the warehouse, with room on every side for the storm's short moves.
  static constexpr PlanarPose kHome{6.5, 4.2, 0.0};

  void SetUp() override
  {
    seed_ = environmentNumber(
      "VELMORA_STORM_SEED",
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    goal_count_ = environmentNumber("VELMORA_STORM_GOALS", 150);
    stack_ = std::make_unique<velmora_apps::SimulatedStack>(kHome);
    node_ = std::make_shared<rclcpp::Node>("goal_storm_client");
    client_ = rclcpp_action::create_client<Action>(node_, "control_to_goal");
    executor_.add_node(node_);
    spinner_ = std::thread([this] {executor_.spin();});
    ASSERT_TRUE(client_->wait_for_action_server(kReplyDeadline));
  }

  void TearDown() override
  {
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    executor_.cancel();
    spinner_.join();
    client_.reset();
    stack_.reset();
  }

  std::shared_ptr<GoalRecord> send(const Action::Goal & goal, const std::string & description)
  {
    auto record = std::make_shared<GoalRecord>();
    record->description = description;
    record->sent = std::chrono::steady_clock::now();
    rclcpp_action::Client<Action>::SendGoalOptions options;
    // The record outlives the client's callbacks: it is kept until the end of the test.
    GoalRecord * const target = record.get();
    options.result_callback = [target](const ClientGoalHandle::WrappedResult & result) {
        target->code = static_cast<int>(result.code);
        if (++target->results == 1) {
          target->ended_promise.set_value();
        }
      };
    record->handle = client_->async_send_goal(goal, options);
    records_.push_back(record);
    return record;
  }

  // The goal handle, or nullptr when the goal was rejected or no answer came.
  ClientGoalHandle::SharedPtr handleOf(GoalRecord & record)
  {
    if (record.handle.wait_for(kReplyDeadline) != std::future_status::ready) {
      ADD_FAILURE() << "no answer to the goal request of " << record.description;
      return nullptr;
    }
    return record.handle.get();
  }

  void cancelAfter(GoalRecord & record, std::chrono::milliseconds delay)
  {
    std::this_thread::sleep_for(delay);
    if (const auto handle = handleOf(record)) {
      try {
        client_->async_cancel_goal(handle);
      } catch (const rclcpp_action::exceptions::UnknownGoalHandleError &) {
        // The goal ended before the cancel: the client has already let go of it.
      }
    }
  }

  // Waits for a goal's end; false when it outlived its deadline.
  static bool endsInTime(const GoalRecord & record)
  {
    return record.ended.wait_until(record.sent + kGoalDeadline) == std::future_status::ready;
  }

  bool robotStops()
  {
    const auto deadline = std::chrono::steady_clock::now() + kReplyDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto command = stack_->robot().command();
      if (command.vx == 0.0 && command.vy == 0.0 && command.wz == 0.0) {
        return true;
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  std::uint64_t seed_{0};
  std::uint64_t goal_count_{0};
  std::unique_ptr<velmora_apps::SimulatedStack> stack_;
  rclcpp::Node::SharedPtr node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  std::vector<std::shared_ptr<GoalRecord>> records_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

TEST_F(GoalStorm, EveryGoalEndsOnceInTimeAndNothingNonFiniteReachesTheRobot)
{
  SCOPED_TRACE("storm seed " + std::to_string(seed_) + " (rerun with VELMORA_STORM_SEED)");
  GoalGenerator generator(seed_, kHome);
  std::uint64_t sent = 0;
  while (sent < goal_count_) {
    // A burst sends two or three goals back to back, each preempting the one before.
    const int burst = generator.chance(0.2) ? generator.between(2, 3) : 1;
    std::vector<std::shared_ptr<GoalRecord>> wave;
    for (int index = 0; index < burst && sent < goal_count_; ++index, ++sent) {
      std::string description;
      const auto goal = generator.next(description);
      wave.push_back(send(goal, "goal " + std::to_string(sent) + ": " + description));
      if (generator.chance(0.3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(generator.between(0, 30)));
      }
    }
    // Most goals are cancelled at a random moment; the rest run to their end.
    if (generator.chance(0.75)) {
      // The last wave may be cut short by the goal count.
      const int last = static_cast<int>(wave.size()) - 1;
      cancelAfter(*wave[static_cast<std::size_t>(generator.between(0, last))],
        std::chrono::milliseconds(generator.between(0, 400)));
    }
    for (const auto & record : wave) {
      if (handleOf(*record)) {
        ASSERT_TRUE(endsInTime(*record)) << record->description << " did not end in time";
      }
    }
  }

  // One more goal, run to its end, so that any late or repeated result of the storm's goals has
  // been delivered before they are counted.
  Action::Goal home;
  home.controller_id = "lateral_move_controller";
  home.controller_frequency = 20;
  home.nav_path.header.frame_id = "map";
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = kHome.x;
  pose.pose.position.y = kHome.y;
  pose.pose.orientation.w = 1.0;
  home.nav_path.poses = {pose, pose};
  const auto last = send(home, "the closing goal");
  ASSERT_NE(handleOf(*last), nullptr);
  ASSERT_TRUE(endsInTime(*last));
  EXPECT_EQ(last->code, static_cast<int>(ResultCode::SUCCEEDED)) << "the server still works";

  std::map<int, int> codes;
  for (const auto & record : records_) {
    if (record->handle.get() == nullptr) {
      ADD_FAILURE() << record->description << " was rejected by an active server";
      continue;
    }
    EXPECT_EQ(record->results, 1) << record->description;
    ++codes[record->code];
  }
  std::cout << "storm seed " << seed_ << ": " << records_.size() << " goals;";
  for (const auto & [code, count] : codes) {
    std::cout << ' ' << count << " ended with code " << code << ';';
  }
  std::cout << std::endl;
  for (const auto & [code, count] : codes) {
    EXPECT_TRUE(
      code == static_cast<int>(ResultCode::SUCCEEDED) ||
      code == static_cast<int>(ResultCode::CANCELED) ||
      code == static_cast<int>(ResultCode::ABORTED)) << count << " goals ended with code " << code;
  }
  EXPECT_EQ(stack_->robot().refusedCommands(), 0u) << "non-finite commands reached the robot";
  EXPECT_TRUE(robotStops());
}

}  // namespace
