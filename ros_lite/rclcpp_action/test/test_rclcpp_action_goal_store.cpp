// The parts of the action implementation below the node level: the server's goal store (results,
// their timeout, waiting result requests, cancel selection), one-shot replies, the server
// directory and goal id helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "rclcpp_action/detail/action_name.hpp"
#include "rclcpp_action/detail/action_registry.hpp"
#include "rclcpp_action/detail/goal_store.hpp"
#include "rclcpp_action/detail/reply.hpp"
#include "rclcpp_action/types.hpp"

namespace
{

using rclcpp_action::GoalUUID;
using rclcpp_action::detail::GoalStore;
using rclcpp_action::detail::Reply;
using CancelResponse = action_msgs::srv::CancelGoal::Response;
using Store = GoalStore<std::shared_ptr<const int>>;

GoalUUID uuid(uint8_t first)
{
  GoalUUID id{};
  id[0] = first;
  id[15] = 0xab;
  return id;
}

rclcpp_action::GoalInfo info(uint8_t first, int32_t sec)
{
  rclcpp_action::GoalInfo goal_info;
  goal_info.goal_id.uuid = uuid(first);
  goal_info.stamp.sec = sec;
  return goal_info;
}

// Collects what a result request was answered with; a fallback answer is a null result.
struct Answers
{
  std::vector<int> values;  // -1 for the fallback
  Store::ResultReply reply()
  {
    return Store::ResultReply(
      [this](std::shared_ptr<const int> value) {values.push_back(value ? *value : -1);},
      []() {return std::shared_ptr<const int>();});
  }
};

TEST(Reply, AnswersOnceAndFallsBackWhenDropped)
{
  std::vector<int> answers;
  auto make = [&answers]() {
      return Reply<int>([&answers](int value) {answers.push_back(value);}, []() {return -1;});
    };
  {
    Reply<int> reply = make();
    Reply<int> copy = reply;
    reply(7);
    copy(8);
    copy.decline();
  }
  { Reply<int> dropped = make(); }
  EXPECT_EQ((std::vector<int>{7, -1}), answers);
}

TEST(GoalStore, ResultRequestsWaitForTheResultAndUnknownGoalsAreDeclined)
{
  Store store(std::chrono::seconds(10), 0);
  ASSERT_NE(nullptr, store.accept(info(1, 5)));
  EXPECT_EQ(nullptr, store.accept(info(1, 6))) << "a goal id is accepted once";
  Answers answers;
  store.requestResult(uuid(1), answers.reply());
  store.requestResult(uuid(2), answers.reply());
  EXPECT_EQ((std::vector<int>{-1}), answers.values) << "unknown goal answered at once";
  store.storeResult(uuid(1), std::make_shared<const int>(42), 0);
  store.requestResult(uuid(1), answers.reply());
  EXPECT_EQ((std::vector<int>{-1, 42, 42}), answers.values);
}

TEST(GoalStore, WaitingRequestsAreBoundedByDepthOldestDeclined)
{
  Store store(std::chrono::seconds(10), 2);
  store.accept(info(1, 5));
  Answers first;
  Answers later;
  store.requestResult(uuid(1), first.reply());
  store.requestResult(uuid(1), later.reply());
  EXPECT_TRUE(first.values.empty());
  store.requestResult(uuid(1), later.reply());
  EXPECT_EQ((std::vector<int>{-1}), first.values) << "pushed out by the third request";
  store.storeResult(uuid(1), std::make_shared<const int>(3), 0);
  EXPECT_EQ((std::vector<int>{3, 3}), later.values);
}

TEST(GoalStore, ResultIsForgottenAfterTheTimeout)
{
  const auto timeout = std::chrono::milliseconds(100);
  Store store(timeout, 0);
  store.accept(info(1, 5));
  store.accept(info(2, 5));
  store.storeResult(uuid(1), std::make_shared<const int>(1), 1000);
  store.expire(1000 + timeout.count() * 1000000 - 1);
  EXPECT_TRUE(store.contains(uuid(1)));
  store.expire(1000 + timeout.count() * 1000000);
  EXPECT_FALSE(store.contains(uuid(1)));
  EXPECT_TRUE(store.contains(uuid(2))) << "a goal without result never expires";
  Answers answers;
  store.requestResult(uuid(1), answers.reply());
  EXPECT_EQ((std::vector<int>{-1}), answers.values);
}

TEST(GoalStore, ClearDeclinesWaitingRequests)
{
  Answers answers;
  {
    Store store(std::chrono::seconds(10), 0);
    store.accept(info(1, 5));
    store.requestResult(uuid(1), answers.reply());
  }
  EXPECT_EQ((std::vector<int>{-1}), answers.values);
}

TEST(GoalStore, CancelSelectionFollowsTheRequestForm)
{
  Store store(std::chrono::seconds(10), 0);
  auto early = store.accept(info(1, 10));
  auto late = store.accept(info(2, 20));
  auto done = store.accept(info(3, 5));
  rcl_action_update_goal_state(done.get(), GOAL_EVENT_EXECUTE);
  rcl_action_update_goal_state(done.get(), GOAL_EVENT_SUCCEED);

  auto ids = [](const rclcpp_action::detail::CancelSelection & selection) {
      std::vector<int> result;
      for (const auto & goal : selection.goals) {
        result.push_back(goal.goal_id.uuid[0]);
      }
      std::sort(result.begin(), result.end());
      return result;
    };

  const auto one = store.selectForCancel(info(2, 0));
  EXPECT_EQ(CancelResponse::ERROR_NONE, one.return_code);
  EXPECT_EQ((std::vector<int>{2}), ids(one));
  EXPECT_EQ(20, one.goals.at(0).stamp.sec);

  EXPECT_EQ(CancelResponse::ERROR_UNKNOWN_GOAL_ID, store.selectForCancel(info(9, 0)).return_code);
  EXPECT_EQ(CancelResponse::ERROR_GOAL_TERMINATED, store.selectForCancel(info(3, 0)).return_code);

  rclcpp_action::GoalInfo all;
  EXPECT_EQ((std::vector<int>{1, 2}), ids(store.selectForCancel(all)));

  rclcpp_action::GoalInfo before;
  before.stamp.sec = 15;
  EXPECT_EQ((std::vector<int>{1}), ids(store.selectForCancel(before)));
  before.goal_id.uuid = uuid(2);
  EXPECT_EQ((std::vector<int>{1, 2}), ids(store.selectForCancel(before)));

  rcl_action_update_goal_state(early.get(), GOAL_EVENT_CANCEL_GOAL);
  EXPECT_EQ(CancelResponse::ERROR_REJECTED, store.selectForCancel(info(1, 0)).return_code)
    << "already canceling";
  rcl_action_update_goal_state(late.get(), GOAL_EVENT_CANCEL_GOAL);
  const auto none = store.selectForCancel(all);
  EXPECT_EQ(CancelResponse::ERROR_REJECTED, none.return_code);
  EXPECT_TRUE(none.goals.empty());
}

struct EndpointA {};
struct EndpointB {};

TEST(ActionRegistry, FindsLiveServersOfTheRightTypeOnly)
{
  using rclcpp_action::detail::addServer;
  using rclcpp_action::detail::findServer;
  using rclcpp_action::detail::removeServer;
  auto first = std::make_shared<EndpointA>();
  auto second = std::make_shared<EndpointA>();
  addServer("/registry_test/a", first);
  addServer("/registry_test/a", second);
  EXPECT_EQ(first, findServer<EndpointA>("/registry_test/a"));
  EXPECT_EQ(nullptr, findServer<EndpointB>("/registry_test/a"));
  EXPECT_EQ(nullptr, findServer<EndpointA>("/registry_test/b"));
  removeServer("/registry_test/a", first.get());
  EXPECT_EQ(second, findServer<EndpointA>("/registry_test/a"));
  second.reset();
  EXPECT_EQ(nullptr, findServer<EndpointA>("/registry_test/a")) << "a dead server is not found";
}

TEST(ActionRegistry, WaitForReturnsWhenTheServerAppearsOrOnGiveUp)
{
  auto & registry = rclcpp_action::detail::ActionRegistry::instance();
  const std::type_index type(typeid(EndpointA));
  EXPECT_FALSE(registry.waitFor("/registry_test/w", type, std::chrono::milliseconds(1), [] {return false;}));

  auto server = std::make_shared<EndpointA>();
  std::thread adder([&server]() {rclcpp_action::detail::addServer("/registry_test/w", server);});
  EXPECT_TRUE(registry.waitFor("/registry_test/w", type, std::chrono::nanoseconds(-1), [] {return false;}));
  adder.join();
  rclcpp_action::detail::removeServer("/registry_test/w", server.get());

  std::atomic<bool> give_up{false};
  std::thread stopper([&]() {give_up = true; registry.wakeWaiters();});
  EXPECT_FALSE(registry.waitFor("/registry_test/w", type, std::chrono::nanoseconds(-1), [&] {return give_up.load();}));
  stopper.join();
}

TEST(ActionName, ResolvesLikeATopicName)
{
  using rclcpp_action::detail::resolveActionName;
  EXPECT_EQ("/abs", resolveActionName("/abs", "/ns", "node"));
  EXPECT_EQ("/ns/rel", resolveActionName("rel", "/ns", "node"));
  EXPECT_EQ("/rel", resolveActionName("rel", "/", "node"));
  EXPECT_EQ("/ns/node/private", resolveActionName("~/private", "/ns", "node"));
  EXPECT_THROW(resolveActionName("", "/", "node"), std::invalid_argument);
}

TEST(GoalUUID, PrintsHexAndHashesAndOrders)
{
  GoalUUID id{};
  id[0] = 0x0a;
  id[1] = 0xff;
  EXPECT_EQ("aff00000000000000", rclcpp_action::to_string(id));
  std::unordered_set<GoalUUID> ids;
  for (uint8_t i = 0; i < 100; ++i) {
    ids.insert(uuid(i));
  }
  EXPECT_EQ(100u, ids.size());
  EXPECT_TRUE(std::less<GoalUUID>()(uuid(1), uuid(2)));
  EXPECT_FALSE(std::less<GoalUUID>()(uuid(2), uuid(1)));

  rcl_action_goal_info_t c_info = rcl_action_get_zero_initialized_goal_info();
  rclcpp_action::convert(uuid(7), &c_info);
  GoalUUID back{};
  rclcpp_action::convert(c_info, &back);
  EXPECT_EQ(uuid(7), back);
}

}  // namespace
