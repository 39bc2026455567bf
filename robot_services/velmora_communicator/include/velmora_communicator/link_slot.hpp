#ifndef VELMORA_COMMUNICATOR__LINK_SLOT_HPP_
#define VELMORA_COMMUNICATOR__LINK_SLOT_HPP_

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "velmora_communicator/robot_link.hpp"

namespace velmora_communicator
{

// The place the units send their calls to: holds the attached link, if any, and counts the calls
// that found none. Attaching and detaching may happen while calls are under way; a call uses the
// link that was attached when it started.
class LinkSlot
{
public:
  void attach(std::shared_ptr<RobotLink> link);
  void detach();
  bool attached() const;

  // Calls made while no link was attached, for one kind of call.
  std::uint64_t droppedCalls(CallKind kind) const;

  // Runs `call` on the attached link, or counts the call and answers a default-constructed
  // result when there is none.
  template<typename Result, typename Call>
  Result forward(CallKind kind, Call && call)
  {
    const std::shared_ptr<RobotLink> link = current();
    if (!link) {
      dropped_[static_cast<std::size_t>(kind)].fetch_add(1, std::memory_order_relaxed);
      return Result();
    }
    return call(*link);
  }

private:
  std::shared_ptr<RobotLink> current() const;

  mutable std::mutex mutex_;
  std::shared_ptr<RobotLink> link_;
  std::array<std::atomic<std::uint64_t>, kCallKindCount> dropped_{};
};

}  // namespace velmora_communicator

#endif  // VELMORA_COMMUNICATOR__LINK_SLOT_HPP_
