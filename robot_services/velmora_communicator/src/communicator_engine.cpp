#include "velmora_communicator/communicator_engine.hpp"

#include <utility>

namespace velmora_communicator
{

CommunicatorEngine::CommunicatorEngine()
: slot_(std::make_shared<LinkSlot>()),
  cmd_vel_unit_(std::make_shared<MicroUnitCmdVel>(slot_)),
  odom_unit_(std::make_shared<MicroUnitOdom>(slot_)),
  err_code_unit_(std::make_shared<MicroUnitErrCode>(slot_)),
  robot_event_unit_(std::make_shared<MicroUnitRobotEvent>(slot_))
{
}

void CommunicatorEngine::attachLink(std::shared_ptr<RobotLink> link)
{
  slot_->attach(std::move(link));
}

void CommunicatorEngine::detachLink()
{
  slot_->detach();
}

bool CommunicatorEngine::hasLink() const
{
  return slot_->attached();
}

std::uint64_t CommunicatorEngine::droppedCalls(CallKind kind) const
{
  return slot_->droppedCalls(kind);
}

}  // namespace velmora_communicator
