#ifndef ROS_LITE__TESTING__TOPIC_RECORDER_HPP_
#define ROS_LITE__TESTING__TOPIC_RECORDER_HPP_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

#include "rclcpp/detail/topic_graph.hpp"

namespace ros_lite
{
namespace testing
{

// Records every message published on a topic from the moment it is created, at the moment
// publish() is called: nothing needs to spin, no QoS depth applies, and publishers do not
// count it as a subscription. `topic` is fully qualified ("/cmd_vel"); a relative name is
// taken from the root namespace.
template<typename MessageT>
class TopicRecorder : private rclcpp::detail::TopicTap
{
public:
  explicit TopicRecorder(const std::string & topic)
  : topic_(topic.empty() || topic.front() == '/' ? topic : "/" + topic)
  {
    rclcpp::detail::TopicGraph::instance().add_tap(
      topic_, std::type_index(typeid(MessageT)), this);
  }

  ~TopicRecorder() override
  {
    rclcpp::detail::TopicGraph::instance().remove_tap(this);
  }

  TopicRecorder(const TopicRecorder &) = delete;
  TopicRecorder & operator=(const TopicRecorder &) = delete;

  const std::string & topic() const {return topic_;}

  std::vector<MessageT> messages() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

  size_t count() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
  }

  std::optional<MessageT> last() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (messages_.empty()) {
      return std::nullopt;
    }
    return messages_.back();
  }

  void clear()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
  }

  // Waits until at least `count` messages were recorded; false at the deadline.
  bool wait_for_count(size_t count, std::chrono::nanoseconds timeout) const
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return condition_.wait_for(lock, timeout, [this, count] {return messages_.size() >= count;});
  }

private:
  void on_message(const std::shared_ptr<const void> & message) override
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(*std::static_pointer_cast<const MessageT>(message));
    }
    condition_.notify_all();
  }

  const std::string topic_;
  mutable std::mutex mutex_;
  mutable std::condition_variable condition_;
  std::vector<MessageT> messages_;
};

}  // namespace testing
}  // namespace ros_lite

#endif  // ROS_LITE__TESTING__TOPIC_RECORDER_HPP_
