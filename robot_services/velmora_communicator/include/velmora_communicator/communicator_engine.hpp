#ifndef VELMORA_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_
#define VELMORA_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_

#include <cstdint>
#include <memory>

#include "velmora_communicator/link_slot.hpp"
#include "velmora_communicator/micro_unit_cmd_vel.hpp"
#include "velmora_communicator/micro_unit_err_code.hpp"
#include "velmora_communicator/micro_unit_odom.hpp"
#include "velmora_communicator/micro_unit_robot_event.hpp"
#include "velmora_communicator/robot_link.hpp"

namespace velmora_communicator
{

// The communicator: four units, one per function, all sending to the robot link the host
// attaches. Without a link every call is counted and dropped.
class CommunicatorEngine
{
public:
  // The process-wide engine, created on first use and shared by everyone who asks.
  static std::shared_ptr<CommunicatorEngine> GetInstance()
  {
    static std::shared_ptr<CommunicatorEngine> instance(new CommunicatorEngine());
    return instance;
  }

  CommunicatorEngine();

  CommunicatorEngine(const CommunicatorEngine &) = delete;
  CommunicatorEngine & operator=(const CommunicatorEngine &) = delete;

  const std::shared_ptr<MicroUnitCmdVel> & cmdVelUnit() const {return cmd_vel_unit_;}
  const std::shared_ptr<MicroUnitOdom> & odomUnit() const {return odom_unit_;}
  const std::shared_ptr<MicroUnitErrCode> & errCodeUnit() const {return err_code_unit_;}
  const std::shared_ptr<MicroUnitRobotEvent> & robotEventUnit() const {return robot_event_unit_;}

  // Connects the units to a robot, replacing any link attached before.
  void attachLink(std::shared_ptr<RobotLink> link);
  // Disconnects the units; calls already under way finish on the old link.
  void detachLink();
  bool hasLink() const;

  // Calls of one kind made while no link was attached.
  std::uint64_t droppedCalls(CallKind kind) const;

private:
  std::shared_ptr<LinkSlot> slot_;
  std::shared_ptr<MicroUnitCmdVel> cmd_vel_unit_;
  std::shared_ptr<MicroUnitOdom> odom_unit_;
  std::shared_ptr<MicroUnitErrCode> err_code_unit_;
  std::shared_ptr<MicroUnitRobotEvent> robot_event_unit_;
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__COMMUNICATOR_ENGINE_HPP_
