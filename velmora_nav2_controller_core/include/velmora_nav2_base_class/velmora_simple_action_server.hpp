#ifndef VELMORA_NAV2_BASE_CLASS__VELMORA_SIMPLE_ACTION_SERVER_HPP_
#define VELMORA_NAV2_BASE_CLASS__VELMORA_SIMPLE_ACTION_SERVER_HPP_

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmora/logger.hpp"
#include "velmora_nav2_base_class/thread_pool.hpp"

namespace nav2_util
{

// Serves one action with a single execute callback. At most one goal runs (the current one) and
// one waits (the pending one): a newer goal is a preemption request that the execute callback
// takes over with accept_pending_goal(). Goals run on the server's own worker thread, so the
// executor delivering goal requests is never blocked by a running goal.
template<typename ActionT>
class VelmoraSimpleActionServer
{
public:
  using ExecuteCallback = std::function<void()>;
  using CompletionCallback = std::function<void()>;
  using Goal = typename ActionT::Goal;
  using Result = typename ActionT::Result;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = rclcpp_action::ServerGoalHandle<ActionT>;

  // The server does not spin: its goal, cancel and accepted callbacks run on whatever executor
  // spins `node`.
  template<typename NodeT>
  VelmoraSimpleActionServer(
    NodeT node, const std::string & action_name, ExecuteCallback execute_callback,
    CompletionCallback completion_callback = nullptr,
    const rcl_action_server_options_t & options = rcl_action_server_get_default_options())
  : thread_pool_(std::make_unique<ThreadPool>(1)),
    node_base_interface_(node->get_node_base_interface()),
    node_clock_interface_(node->get_node_clock_interface()),
    node_logging_interface_(node->get_node_logging_interface()),
    node_waitables_interface_(node->get_node_waitables_interface()),
    action_name_(action_name),
    execute_callback_(std::move(execute_callback)),
    completion_callback_(std::move(completion_callback))
  {
    VLOG_INFO(
      "[action_name] {} options.result_service_qos.depth is {}", action_name_,
      static_cast<std::size_t>(options.result_service_qos.depth));
    VLOG_INFO(
      "[action_name] {} options.result_timeout.nanoseconds is {}", action_name_,
      static_cast<int64_t>(options.result_timeout.nanoseconds));

    action_server_ = rclcpp_action::create_server<ActionT>(
      node_base_interface_, node_clock_interface_, node_logging_interface_,
      node_waitables_interface_, action_name_,
      [this](const rclcpp_action::GoalUUID & uuid, std::shared_ptr<const Goal> goal) {
        return handle_goal(uuid, goal);
      },
      [this](const std::shared_ptr<GoalHandle> handle) {return handle_cancel(handle);},
      [this](const std::shared_ptr<GoalHandle> handle) {handle_accepted(handle);},
      options);
  }

  ~VelmoraSimpleActionServer() {shutdown();}

  // Stops serving: refuses new goals, lets the execute callback see the server inactive at its
  // next query, and joins the worker, which gives whatever goal is left its final status. Runs
  // before any member the worker uses goes away; calling it again does nothing.
  void shutdown()
  {
    std::unique_ptr<ThreadPool> pool;
    {
      std::lock_guard<std::recursive_mutex> lock(update_mutex_);
      server_active_ = false;
      stop_execution_ = true;
      pool = std::move(thread_pool_);
    }
    // Joined outside the lock: the worker takes it to finish its pass.
    pool.reset();
  }

  VelmoraSimpleActionServer(const VelmoraSimpleActionServer &) = delete;
  VelmoraSimpleActionServer & operator=(const VelmoraSimpleActionServer &) = delete;

  rclcpp_action::GoalResponse handle_goal(
    const rclcpp_action::GoalUUID & /*uuid*/, std::shared_ptr<const Goal> /*goal*/)
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!server_active_) {
      return rclcpp_action::GoalResponse::REJECT;
    }
    debug_msg("Received request for goal acceptance");
    return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
  }

  rclcpp_action::CancelResponse handle_cancel(const std::shared_ptr<GoalHandle> handle)
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(handle)) {
      warn_msg(
        "Received request for goal cancellation,but the handle is inactive, so reject the "
        "request");
      return rclcpp_action::CancelResponse::REJECT;
    }
    debug_msg("Received request for goal cancellation");
    return rclcpp_action::CancelResponse::ACCEPT;
  }

  void handle_accepted(const std::shared_ptr<GoalHandle> handle)
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    debug_msg("Receiving a new goal");

    // The worker's busy state is decided under this lock (worker_running_), not read from the
    // pool: a goal arriving after the worker decided to stop but before the pool noticed would
    // otherwise wait in the pending slot with nobody to run it.
    if (is_active(current_handle_) || worker_running_) {
      debug_msg("An older goal is active, moving the new goal to a pending slot.");
      if (is_active(pending_handle_)) {
        debug_msg(
          "The pending slot is occupied. The previous pending goal will be terminated and "
          "replaced.");
        terminate(pending_handle_);
      }
      pending_handle_ = handle;
      preempt_requested_ = true;
      return;
    }

    if (!thread_pool_) {
      // Accepted just before shutdown(): nobody is left to run it.
      auto orphan = handle;
      terminate(orphan);
      return;
    }

    if (is_active(pending_handle_)) {
      error_msg("Forgot to handle a preemption. Terminating the pending goal.");
      terminate(pending_handle_);
      preempt_requested_ = false;
    }
    current_handle_ = handle;
    debug_msg("Executing goal asynchronously.");
    thread_pool_->enqueue([this] {work();});
    worker_running_ = true;
  }

  void activate()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    server_active_ = true;
    stop_execution_ = false;
  }

  bool is_server_active()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    return server_active_;
  }

  bool is_preempt_requested()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    return preempt_requested_;
  }

  const std::shared_ptr<const Goal> get_current_goal()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(current_handle_)) {
      error_msg("A goal is not available or has reached a final state");
      return std::shared_ptr<const Goal>();
    }
    return current_handle_->get_goal();
  }

  bool is_cancel_requested()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (current_handle_ == nullptr) {
      error_msg("Checking for cancel but current goal is not available");
      return false;
    }
    // While a newer goal waits, only its cancellation matters: the current one is about to be
    // replaced anyway.
    if (pending_handle_ != nullptr) {
      return pending_handle_->is_canceling();
    }
    return current_handle_->is_canceling();
  }

  const std::shared_ptr<const Goal> accept_pending_goal()
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(pending_handle_)) {
      error_msg("Attempting to get pending goal when not available");
      return std::shared_ptr<const Goal>();
    }
    if (is_active(current_handle_) && current_handle_ != pending_handle_) {
      debug_msg("Cancelling the previous goal");
      current_handle_->abort(std::make_shared<Result>());
    }
    current_handle_ = pending_handle_;
    pending_handle_.reset();
    preempt_requested_ = false;
    debug_msg("Preempted goal");
    return current_handle_->get_goal();
  }

  void terminate_current(
    typename std::shared_ptr<Result> result = std::make_shared<Result>())
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    terminate(current_handle_, result);
  }

  void terminate_all(typename std::shared_ptr<Result> result = std::make_shared<Result>())
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    terminate(current_handle_, result);
    terminate(pending_handle_, result);
    preempt_requested_ = false;
  }

  void succeeded_current(typename std::shared_ptr<Result> result = std::make_shared<Result>())
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (is_active(current_handle_)) {
      debug_msg("Setting succeed on current goal.");
      current_handle_->succeed(result);
      current_handle_.reset();
    }
  }

  // Called only from the worker, the one thread that empties the current slot while a goal
  // runs, so the slot is read without the lock.
  void publish_feedback(typename std::shared_ptr<Feedback> feedback)
  {
    if (!is_active(current_handle_)) {
      error_msg("Trying to publish feedback when the current goal handle is not active");
      return;
    }
    current_handle_->publish_feedback(std::make_shared<Feedback>(*feedback));
  }

protected:
  // The worker's body: runs the current goal, then any goal that became pending meanwhile.
  // Every decision to stop is taken under the update lock together with clearing
  // worker_running_, and whatever goal is still active when the worker leaves gets a final
  // status, so no accepted goal is left without one.
  void work()
  {
    std::unique_lock<std::recursive_mutex> lock(update_mutex_);
    while (rclcpp::ok() && !stop_execution_ && is_active(current_handle_)) {
      lock.unlock();
      debug_msg("Executing the goal...");
      try {
        execute_callback_();
      } catch (const std::exception & ex) {
        RCLCPP_ERROR(
          node_logging_interface_->get_logger(),
          "Action server failed while executing action callback: \"%s\"", ex.what());
        lock.lock();
        terminate_all();
        worker_running_ = false;
        if (completion_callback_) {completion_callback_();}
        return;
      }

      debug_msg("Blocking processing of new goal handles.");
      lock.lock();

      if (stop_execution_) {
        warn_msg("Stopping the thread per request.");
        terminate_all();
        if (completion_callback_) {completion_callback_();}
        break;
      }

      if (is_active(current_handle_)) {
        warn_msg("Current goal was not completed successfully.");
        terminate(current_handle_);
        if (completion_callback_) {completion_callback_();}
      }

      if (is_active(pending_handle_)) {
        debug_msg("Executing a pending handle on the existing thread.");
        accept_pending_goal();
      } else {
        debug_msg("Done processing available goals.");
        break;
      }
    }
    terminate_all();
    worker_running_ = false;
    debug_msg("Worker thread done.");
  }

  bool is_active(const std::shared_ptr<GoalHandle> handle) const
  {
    return handle != nullptr && handle->is_active();
  }

  // Gives an active goal its final status: canceled when its client is cancelling it, aborted
  // otherwise; then empties the slot. An inactive handle is left alone.
  void terminate(
    std::shared_ptr<GoalHandle> & handle,
    typename std::shared_ptr<Result> result = std::make_shared<Result>())
  {
    std::lock_guard<std::recursive_mutex> lock(update_mutex_);
    if (!is_active(handle)) {
      return;
    }
    if (handle->is_canceling()) {
      warn_msg("Client requested to cancel the goal. Cancelling.");
      handle->canceled(result);
    } else {
      warn_msg("Aborting handle.");
      handle->abort(result);
    }
    handle.reset();
  }

  void debug_msg(const std::string & msg) const
  {
    RCLCPP_DEBUG(
      node_logging_interface_->get_logger(), "[%s] [ActionServer] %s", action_name_.c_str(),
      msg.c_str());
  }

  void warn_msg(const std::string & msg) const
  {
    RCLCPP_WARN(
      node_logging_interface_->get_logger(), "[%s] [ActionServer] %s", action_name_.c_str(),
      msg.c_str());
  }

  void error_msg(const std::string & msg) const
  {
    RCLCPP_ERROR(
      node_logging_interface_->get_logger(), "[%s] [ActionServer] %s", action_name_.c_str(),
      msg.c_str());
  }

  // Released by shutdown(), which joins the worker; declared first so that it exists before
  // anything may hand it work.
  std::unique_ptr<ThreadPool> thread_pool_;
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface_;
  rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock_interface_;
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface_;
  rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr node_waitables_interface_;
  std::string action_name_;
  ExecuteCallback execute_callback_;
  CompletionCallback completion_callback_;
  // Read by the worker's loop without the update lock.
  std::atomic<bool> stop_execution_{false};

  std::recursive_mutex update_mutex_;
  bool server_active_{false};
  bool preempt_requested_{false};
  // A work task is queued or running and has not yet decided to finish.
  bool worker_running_{false};
  std::shared_ptr<GoalHandle> current_handle_;
  std::shared_ptr<GoalHandle> pending_handle_;
  typename rclcpp_action::Server<ActionT>::SharedPtr action_server_;
};

}  // namespace nav2_util

#endif  // VELMORA_NAV2_BASE_CLASS__VELMORA_SIMPLE_ACTION_SERVER_HPP_
