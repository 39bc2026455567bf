#include "dwb_core/illegal_trajectory_tracker.hpp"

#include <sstream>

namespace dwb_core
{

void IllegalTrajectoryTracker::addIllegalTrajectory(const IllegalTrajectoryException & e)
{
  ++counts_[std::make_pair(e.getCriticName(), std::string(e.what()))];
  ++illegal_count_;
}

void IllegalTrajectoryTracker::addLegalTrajectory()
{
  ++legal_count_;
}

std::map<std::pair<std::string, std::string>, double> IllegalTrajectoryTracker::getPercentages()
const
{
  std::map<std::pair<std::string, std::string>, double> percentages;
  for (const auto & [reason, count] : counts_) {
    percentages[reason] = static_cast<double>(count) / static_cast<double>(illegal_count_);
  }
  return percentages;
}

std::string IllegalTrajectoryTracker::getMessage() const
{
  std::ostringstream message;
  if (legal_count_ == 0) {
    message << "No valid trajectories out of " << illegal_count_ << "! ";
  } else {
    const unsigned int total = legal_count_ + illegal_count_;
    message << legal_count_ << " valid trajectories found ("
            << static_cast<double>(100 * legal_count_) / static_cast<double>(total)
            << "% of " << total << "). ";
  }
  return message.str();
}

}  // namespace dwb_core
