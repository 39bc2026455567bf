#pragma once

#include <type_traits>

namespace rosidl_generator_traits
{
template<typename T>
struct is_message : std::false_type {};

template<typename T>
struct is_service : std::false_type {};

// "package/kind/Name" of a generated type.
template<typename T>
inline const char * name();
}  // namespace rosidl_generator_traits
