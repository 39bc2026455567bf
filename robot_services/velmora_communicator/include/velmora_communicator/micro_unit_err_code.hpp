#ifndef VELMORA_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_
#define VELMORA_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_

#include <memory>

#include "velmora_communicator/link_slot.hpp"

namespace velmora_communicator
{

// Error-code unit: numeric error codes for the robot's exception handling.
class MicroUnitErrCode
{
public:
  explicit MicroUnitErrCode(std::shared_ptr<LinkSlot> slot);

  void publishExceptionHandle(int error_code);

private:
  std::shared_ptr<LinkSlot> slot_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__MICRO_UNIT_ERR_CODE_HPP_
