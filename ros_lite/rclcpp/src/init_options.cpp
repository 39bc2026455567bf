#include "rclcpp/init_options.hpp"

namespace rclcpp
{

InitOptions::InitOptions(rcl_allocator_t allocator)
: allocator_(allocator)
{}

bool InitOptions::auto_initialize_logging() const
{
  return auto_initialize_logging_;
}

InitOptions & InitOptions::auto_initialize_logging(bool initialize_logging)
{
  auto_initialize_logging_ = initialize_logging;
  return *this;
}

void InitOptions::set_domain_id(size_t domain_id)
{
  domain_id_ = domain_id;
}

size_t InitOptions::get_domain_id() const
{
  return domain_id_;
}

const rcl_allocator_t & InitOptions::get_allocator() const
{
  return allocator_;
}

}  // namespace rclcpp
