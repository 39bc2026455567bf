#include "velmora_communicator/link_slot.hpp"

#include <utility>

namespace velmora_communicator
{

void LinkSlot::attach(std::shared_ptr<RobotLink> link)
{
  std::lock_guard<std::mutex> lock(mutex_);
  link_ = std::move(link);
}

void LinkSlot::detach()
{
  std::lock_guard<std::mutex> lock(mutex_);
  link_.reset();
}

bool LinkSlot::attached() const
{
  return current() != nullptr;
}

std::uint64_t LinkSlot::droppedCalls(CallKind kind) const
{
  return dropped_[static_cast<std::size_t>(kind)].load(std::memory_order_relaxed);
}

std::shared_ptr<RobotLink> LinkSlot::current() const
{
  // The link is called outside the lock, so a slow link never holds up attach or detach.
  std::lock_guard<std::mutex> lock(mutex_);
  return link_;
}

}  // namespace velmora_communicator
