#ifndef PLUGINLIB__CLASS_LIST_MACROS_HPP_
#define PLUGINLIB__CLASS_LIST_MACROS_HPP_

#include <class_loader/class_loader.hpp>

// Makes class_type creatable by pluginlib::ClassLoader<base_class_type> under the lookup name
// spelled as class_type. Once per class, at namespace scope, fully qualified names.
#define PLUGINLIB_EXPORT_CLASS(class_type, base_class_type) \
  CLASS_LOADER_REGISTER_CLASS(class_type, base_class_type)

#endif  // PLUGINLIB__CLASS_LIST_MACROS_HPP_
