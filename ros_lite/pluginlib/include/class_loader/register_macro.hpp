#ifndef CLASS_LOADER__REGISTER_MACRO_HPP_
#define CLASS_LOADER__REGISTER_MACRO_HPP_

#include "class_loader/class_loader_core.hpp"

// Registers Derived (default-constructible) as a creatable implementation of Base when the
// library holding this line is initialised. Use once per class at namespace scope with fully
// qualified names; the expansion ends in `}`, so no semicolon is needed.
//
// A static library drops object files nothing refers to, and this registration is referred to
// by nothing: link such a library in full (ros_lite_link_plugin_libraries in CMake).
#define CLASS_LOADER_REGISTER_CLASS_INTERNAL(Derived, Base, UniqueID) \
  namespace \
  { \
  struct ProxyExec ## UniqueID \
  { \
    ProxyExec ## UniqueID() \
    { \
      class_loader::impl::registerPlugin<Derived, Base>(#Derived, #Base, this); \
    } \
  }; \
  const ProxyExec ## UniqueID g_register_plugin_ ## UniqueID; \
  }

// One extra expansion so that __COUNTER__ is replaced before it is pasted into the names.
#define CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1(Derived, Base, UniqueID) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL(Derived, Base, UniqueID)

#define CLASS_LOADER_REGISTER_CLASS(Derived, Base) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1(Derived, Base, __COUNTER__)

#endif  // CLASS_LOADER__REGISTER_MACRO_HPP_
