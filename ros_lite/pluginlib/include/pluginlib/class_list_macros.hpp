#ifndef PLUGINLIB__CLASS_LIST_MACROS_HPP_
#define PLUGINLIB__CLASS_LIST_MACROS_HPP_

#include <class_loader/class_loader.hpp>

// Registers class_type as an implementation of base_class_type when its shared library is opened
// by class_loader. pluginlib::ClassLoader creates it under the lookup name a plugin description
// file declares for the type spelled exactly as here. Once per class, at namespace scope, with
// fully qualified names.
#define PLUGINLIB_EXPORT_CLASS(class_type, base_class_type) \
  CLASS_LOADER_REGISTER_CLASS(class_type, base_class_type)

#endif  // PLUGINLIB__CLASS_LIST_MACROS_HPP_
