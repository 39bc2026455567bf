#include "velmora_communicator/micro_unit_err_code.hpp"

#include <utility>

namespace velmora_communicator
{

MicroUnitErrCode::MicroUnitErrCode(std::shared_ptr<LinkSlot> slot)
: slot_(std::move(slot))
{
}

void MicroUnitErrCode::publishExceptionHandle(int error_code)
{
  slot_->forward<void>(
    CallKind::error_code,
    [error_code](RobotLink & link) {link.publishExceptionHandle(error_code);});
}

}  // namespace velmora_communicator
