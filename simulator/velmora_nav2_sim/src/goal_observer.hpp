#ifndef APPS__GOAL_OBSERVER_HPP_
#define APPS__GOAL_OBSERVER_HPP_

#include <cstddef>
#include <string>

namespace velmora_apps
{

// Told by the scenario runner when a goal is sent and how it ended, so that what the robot does
// meanwhile can be attributed to the goal. Goals are numbered by their index in the scenario.
// Calls come from the thread that runs the scenario.
class GoalObserver
{
public:
  virtual ~GoalObserver() = default;

  // Called just before the goal is sent: from now on the robot works on it.
  virtual void goalSent(std::size_t index) = 0;
  // Called once per sent goal with its final status: SUCCEEDED, CANCELED, ABORTED, TIMEOUT or
  // NOT ACCEPTED.
  virtual void goalFinished(std::size_t index, const std::string & status) = 0;
};

}  // namespace velmora_apps

#endif  // APPS__GOAL_OBSERVER_HPP_
