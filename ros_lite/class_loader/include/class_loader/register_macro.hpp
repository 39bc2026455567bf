#ifndef CLASS_LOADER__REGISTER_MACRO_HPP_
#define CLASS_LOADER__REGISTER_MACRO_HPP_

#include <cstdio>
#include <string>

#include "class_loader/class_loader_core.hpp"

// Registers Derived (default-constructible) as a creatable implementation of Base when the
// library holding this line is initialised, i.e. while class_loader opens it. Use once per class
// at namespace scope with fully qualified names: the class is known by the name as spelled here.
// The expansion ends in `}`, so no semicolon is needed.
#define CLASS_LOADER_REGISTER_CLASS_INTERNAL_WITH_MESSAGE(Derived, Base, UniqueID, Message) \
  namespace \
  { \
  struct ProxyExec ## UniqueID \
  { \
    typedef Derived _derived; \
    typedef Base _base; \
    ProxyExec ## UniqueID() \
    { \
      if (!std::string(Message).empty()) { \
        std::fprintf(stderr, "%s\n", Message); \
      } \
      class_loader::impl::registerPlugin<_derived, _base>(#Derived, #Base); \
    } \
  }; \
  static ProxyExec ## UniqueID g_register_plugin_ ## UniqueID; \
  }

// One extra expansion so that __COUNTER__ is replaced before it is pasted into the names.
#define CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1_WITH_MESSAGE(Derived, Base, UniqueID, Message) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL_WITH_MESSAGE(Derived, Base, UniqueID, Message)

#define CLASS_LOADER_REGISTER_CLASS_WITH_MESSAGE(Derived, Base, Message) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1_WITH_MESSAGE(Derived, Base, __COUNTER__, Message)

#define CLASS_LOADER_REGISTER_CLASS(Derived, Base) \
  CLASS_LOADER_REGISTER_CLASS_WITH_MESSAGE(Derived, Base, "")

#endif  // CLASS_LOADER__REGISTER_MACRO_HPP_
