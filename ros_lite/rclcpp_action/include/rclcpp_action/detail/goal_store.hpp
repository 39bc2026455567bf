#ifndef RCLCPP_ACTION__DETAIL__GOAL_STORE_HPP_
#define RCLCPP_ACTION__DETAIL__GOAL_STORE_HPP_

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "action_msgs/srv/cancel_goal.hpp"
#include "builtin_interfaces/msg/time.hpp"
#include "rcl_action/goal_handle.h"
#include "rclcpp_action/detail/reply.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action::detail
{

inline int64_t toNanoseconds(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<int64_t>(stamp.sec) * 1000000000LL + stamp.nanosec;
}

inline builtin_interfaces::msg::Time toStamp(int64_t nanoseconds)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(nanoseconds / 1000000000LL);
  stamp.nanosec = static_cast<uint32_t>(nanoseconds % 1000000000LL);
  return stamp;
}

inline bool isZero(const GoalUUID & uuid)
{
  return std::all_of(uuid.begin(), uuid.end(), [](uint8_t byte) {return byte == 0;});
}

// Which goals a cancel request names, and the return code when it names none that can still be
// canceled.
struct CancelSelection
{
  int8_t return_code{action_msgs::srv::CancelGoal::Response::ERROR_NONE};
  std::vector<GoalInfo> goals;
};

// The server's record of every goal it accepted and has not forgotten yet: the goal's state,
// its result once it reached a terminal state, and the result requests waiting for that result.
// A goal is forgotten `result_timeout` after its result was stored; a result request for a
// forgotten or never-seen goal is declined (answered as for an unknown goal).
//
// At most `max_waiting_requests` result requests wait per goal (0: no limit); like a KEEP_LAST
// queue, a newer request pushes out the oldest, which is declined rather than left hanging.
// Thread-safe; replies are answered outside the lock.
template<typename ResultMessage>
class GoalStore
{
public:
  using ResultReply = Reply<ResultMessage>;
  using RclGoalHandle = std::shared_ptr<rcl_action_goal_handle_t>;

  GoalStore(std::chrono::nanoseconds result_timeout, size_t max_waiting_requests)
  : result_timeout_(result_timeout), max_waiting_requests_(max_waiting_requests)
  {}

  GoalStore(const GoalStore &) = delete;
  GoalStore & operator=(const GoalStore &) = delete;

  ~GoalStore()
  {
    clear();
  }

  // The goal's handle, in state ACCEPTED; nullptr when a goal with that id is already known.
  RclGoalHandle accept(const GoalInfo & info)
  {
    rcl_action_goal_info_t rcl_info = rcl_action_get_zero_initialized_goal_info();
    convert(info.goal_id.uuid, &rcl_info);
    rcl_info.stamp.sec = info.stamp.sec;
    rcl_info.stamp.nanosec = info.stamp.nanosec;
    auto handle = std::make_shared<rcl_action_goal_handle_t>(rcl_action_make_goal_handle(&rcl_info));
    std::lock_guard<std::mutex> lock(mutex_);
    const bool inserted = goals_.emplace(info.goal_id.uuid, Record{handle, info, {}, false, 0, {}}).second;
    return inserted ? handle : nullptr;
  }

  bool contains(const GoalUUID & uuid) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return goals_.count(uuid) != 0;
  }

  // A request with a goal id and no stamp names that goal; a stamp names every goal accepted at
  // or before it (plus the goal id, if one is given); neither names all goals.
  CancelSelection selectForCancel(const GoalInfo & request) const
  {
    using Response = action_msgs::srv::CancelGoal::Response;
    const GoalUUID & uuid = request.goal_id.uuid;
    const int64_t before = toNanoseconds(request.stamp);
    CancelSelection selection;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!isZero(uuid) && before == 0) {
      const auto found = goals_.find(uuid);
      if (found == goals_.end()) {
        selection.return_code = Response::ERROR_UNKNOWN_GOAL_ID;
      } else if (rcl_action_goal_handle_is_cancelable(found->second.handle.get())) {
        selection.goals.push_back(found->second.info);
      } else {
        selection.return_code = rcl_action_goal_handle_is_active(found->second.handle.get()) ?
          Response::ERROR_REJECTED : Response::ERROR_GOAL_TERMINATED;
      }
      return selection;
    }
    for (const auto & [goal_id, record] : goals_) {
      const bool named = goal_id == uuid || (isZero(uuid) && before == 0) ||
        (before != 0 && toNanoseconds(record.info.stamp) <= before);
      if (named && rcl_action_goal_handle_is_cancelable(record.handle.get())) {
        selection.goals.push_back(record.info);
      }
    }
    if (selection.goals.empty()) {
      selection.return_code = Response::ERROR_REJECTED;
    }
    return selection;
  }

  // Keeps the result of a goal that reached a terminal state and answers the requests waiting
  // for it. `now_ns` starts the result timeout.
  void storeResult(const GoalUUID & uuid, ResultMessage result, int64_t now_ns)
  {
    std::deque<ResultReply> waiting;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = goals_.find(uuid);
      if (found == goals_.end()) {
        return;
      }
      Record & record = found->second;
      record.result = result;
      record.has_result = true;
      record.result_time_ns = now_ns;
      waiting.swap(record.waiting);
    }
    for (const auto & reply : waiting) {
      reply(result);
    }
  }

  // Answers at once when the result is known or the goal is not; otherwise the request waits
  // for storeResult().
  void requestResult(const GoalUUID & uuid, const ResultReply & reply)
  {
    std::optional<ResultReply> pushed_out;
    std::optional<ResultMessage> result;
    bool unknown = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = goals_.find(uuid);
      if (found == goals_.end()) {
        unknown = true;
      } else if (found->second.has_result) {
        result = found->second.result;
      } else {
        auto & waiting = found->second.waiting;
        if (max_waiting_requests_ != 0 && waiting.size() >= max_waiting_requests_) {
          pushed_out.emplace(waiting.front());
          waiting.pop_front();
        }
        waiting.push_back(reply);
      }
    }
    if (pushed_out) {
      pushed_out->decline();
    }
    if (result) {
      reply(*result);
    } else if (unknown) {
      reply.decline();
    }
  }

  // Forgets the goals whose result was stored at least result_timeout before `now_ns`.
  void expire(int64_t now_ns)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = goals_.begin(); it != goals_.end(); ) {
      const Record & record = it->second;
      const bool expired = record.has_result && now_ns - record.result_time_ns >= result_timeout_.count();
      it = expired ? goals_.erase(it) : std::next(it);
    }
  }

  // Forgets every goal; requests still waiting for a result are declined.
  void clear()
  {
    std::unordered_map<GoalUUID, Record> goals;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      goals.swap(goals_);
    }
    for (const auto & entry : goals) {
      for (const auto & reply : entry.second.waiting) {
        reply.decline();
      }
    }
  }

private:
  struct Record
  {
    RclGoalHandle handle;
    GoalInfo info;
    ResultMessage result;
    bool has_result;
    int64_t result_time_ns;
    std::deque<ResultReply> waiting;
  };

  const std::chrono::nanoseconds result_timeout_;
  const size_t max_waiting_requests_;
  mutable std::mutex mutex_;
  std::unordered_map<GoalUUID, Record> goals_;
};

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__GOAL_STORE_HPP_
