#ifndef NAV2_CORE__EXCEPTIONS_HPP_
#define NAV2_CORE__EXCEPTIONS_HPP_

#include <memory>
#include <stdexcept>
#include <string>

namespace nav2_core
{

// A planner could not produce its result.
class PlannerException : public std::runtime_error
{
public:
  explicit PlannerException(const std::string description)
  : std::runtime_error(description) {}
  using Ptr = std::shared_ptr<PlannerException>;
};

}  // namespace nav2_core

#endif  // NAV2_CORE__EXCEPTIONS_HPP_
