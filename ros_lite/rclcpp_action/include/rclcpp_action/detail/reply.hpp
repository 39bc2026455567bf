#ifndef RCLCPP_ACTION__DETAIL__REPLY_HPP_
#define RCLCPP_ACTION__DETAIL__REPLY_HPP_

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace rclcpp_action::detail
{

// The answer to one request, owed exactly once. Copies share the obligation. If the last copy
// goes away unanswered (the server vanished, the node holding the queued request was destroyed)
// the fallback answer is delivered instead, so a client is never left waiting for a server that
// can no longer answer.
template<typename T>
class Reply
{
public:
  using Deliver = std::function<void (T)>;
  using Fallback = std::function<T()>;

  Reply(Deliver deliver, Fallback fallback)
  : state_(std::make_shared<State>(std::move(deliver), std::move(fallback)))
  {}

  void operator()(T answer) const
  {
    state_->deliver(std::move(answer));
  }

  // Answers with the fallback now.
  void decline() const
  {
    state_->deliverFallback();
  }

  bool answered() const
  {
    return state_->answered();
  }

private:
  class State
  {
public:
    State(Deliver deliver, Fallback fallback)
    : deliver_(std::move(deliver)), fallback_(std::move(fallback)) {}

    State(const State &) = delete;
    State & operator=(const State &) = delete;

    ~State()
    {
      deliverFallback();
    }

    void deliver(T answer)
    {
      if (auto deliver = take()) {
        deliver(std::move(answer));
      }
    }

    void deliverFallback()
    {
      if (auto deliver = take()) {
        deliver(fallback_());
      }
    }

    bool answered() const
    {
      std::lock_guard<std::mutex> lock(mutex_);
      return !deliver_;
    }

private:
    Deliver take()
    {
      std::lock_guard<std::mutex> lock(mutex_);
      return std::exchange(deliver_, nullptr);
    }

    mutable std::mutex mutex_;
    Deliver deliver_;
    Fallback fallback_;
  };

  std::shared_ptr<State> state_;
};

}  // namespace rclcpp_action::detail

#endif  // RCLCPP_ACTION__DETAIL__REPLY_HPP_
