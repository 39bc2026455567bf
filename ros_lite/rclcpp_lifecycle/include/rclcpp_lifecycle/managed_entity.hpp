#ifndef RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_
#define RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_

#include <atomic>

namespace rclcpp_lifecycle
{

// Something a lifecycle node activates and deactivates with its own transitions.
class ManagedEntityInterface
{
public:
  virtual ~ManagedEntityInterface() {}
  virtual void on_activate() = 0;
  virtual void on_deactivate() = 0;
};

class SimpleManagedEntity : public ManagedEntityInterface
{
public:
  ~SimpleManagedEntity() override = default;
  void on_activate() override;
  void on_deactivate() override;
  bool is_activated() const;

private:
  std::atomic<bool> activated_ = false;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_
