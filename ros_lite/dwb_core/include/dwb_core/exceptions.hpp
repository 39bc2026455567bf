#ifndef DWB_CORE__EXCEPTIONS_HPP_
#define DWB_CORE__EXCEPTIONS_HPP_

#include <string>

#include "nav2_core/exceptions.hpp"

namespace dwb_core
{

// The robot pose or the plan could not be brought into the frame planning needs.
class PlannerTFException : public nav2_core::PlannerException
{
public:
  explicit PlannerTFException(const std::string description)
  : nav2_core::PlannerException(description) {}
};

// A critic refuses a trajectory outright; the planner records it and tries the next one.
class IllegalTrajectoryException : public nav2_core::PlannerException
{
public:
  IllegalTrajectoryException(const std::string critic_name, const std::string description)
  : nav2_core::PlannerException(description), critic_name_(critic_name) {}
  std::string getCriticName() const {return critic_name_;}

protected:
  std::string critic_name_;
};

}  // namespace dwb_core

#endif  // DWB_CORE__EXCEPTIONS_HPP_
