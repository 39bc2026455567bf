#ifndef DWB_CORE__ILLEGAL_TRAJECTORY_TRACKER_HPP_
#define DWB_CORE__ILLEGAL_TRAJECTORY_TRACKER_HPP_

#include <map>
#include <string>
#include <utility>

#include "dwb_core/exceptions.hpp"

namespace dwb_core
{

// Counts the trajectories of one search, the illegal ones per (critic, reason), so that a search
// that finds nothing legal can say why.
class IllegalTrajectoryTracker
{
public:
  IllegalTrajectoryTracker()
  : legal_count_(0), illegal_count_(0) {}

  void addIllegalTrajectory(const IllegalTrajectoryException & e);
  void addLegalTrajectory();

  // The share of the illegal trajectories that failed for each (critic name, reason).
  std::map<std::pair<std::string, std::string>, double> getPercentages() const;
  // A one-line summary, used as the text of NoLegalTrajectoriesException.
  std::string getMessage() const;

protected:
  std::map<std::pair<std::string, std::string>, unsigned int> counts_;
  unsigned int legal_count_, illegal_count_;
};

// No sampled trajectory was legal.
class NoLegalTrajectoriesException : public nav2_core::PlannerException
{
public:
  explicit NoLegalTrajectoriesException(const IllegalTrajectoryTracker & tracker)
  : nav2_core::PlannerException(tracker.getMessage()), tracker_(tracker) {}
  IllegalTrajectoryTracker tracker_;
};

}  // namespace dwb_core

#endif  // DWB_CORE__ILLEGAL_TRAJECTORY_TRACKER_HPP_
