#ifndef RCLCPP__INIT_OPTIONS_HPP_
#define RCLCPP__INIT_OPTIONS_HPP_

#include <cstddef>

#include "rcl/allocator.h"

namespace rclcpp
{

class InitOptions
{
public:
  bool auto_initialize_logging_ = true;

  explicit InitOptions(rcl_allocator_t allocator = rcl_get_default_allocator());
  virtual ~InitOptions() = default;

  bool auto_initialize_logging() const;
  InitOptions & auto_initialize_logging(bool initialize_logging);
  void set_domain_id(size_t domain_id);
  size_t get_domain_id() const;
  const rcl_allocator_t & get_allocator() const;

private:
  rcl_allocator_t allocator_;
  size_t domain_id_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__INIT_OPTIONS_HPP_
