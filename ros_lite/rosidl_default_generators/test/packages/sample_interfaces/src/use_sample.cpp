#include <type_traits>

#include "sample_interfaces/msg/sample.hpp"
#include "sample_interfaces/srv/query.hpp"

static_assert(std::is_same_v<sample_interfaces::msg::Sample::_count_type, int32_t>);
static_assert(std::is_same_v<sample_interfaces::srv::Query::Request::_sample_type,
  sample_interfaces::msg::Sample>);

int main()
{
  sample_interfaces::msg::Sample sample;
  return sample.label == "none" ? 0 : 1;
}
