#ifndef PLUGINLIB__CLASS_DESC_HPP_
#define PLUGINLIB__CLASS_DESC_HPP_

#include <string>

namespace pluginlib
{

// One <class> of a plugin description file, for the base class its loader was made for.
class ClassDesc
{
public:
  ClassDesc(
    const std::string & lookup_name, const std::string & derived_class,
    const std::string & base_class, const std::string & package,
    const std::string & description, const std::string & library_name,
    const std::string & plugin_manifest_path)
  : lookup_name_(lookup_name), derived_class_(derived_class), base_class_(base_class),
    package_(package), description_(description), library_name_(library_name),
    resolved_library_path_("UNRESOLVED"), plugin_manifest_path_(plugin_manifest_path) {}

  std::string lookup_name_;
  std::string derived_class_;
  std::string base_class_;
  std::string package_;               // package whose package.xml sits above the description
  std::string description_;
  std::string library_name_;          // the <library path="...">, without lib prefix and suffix
  std::string resolved_library_path_;  // the file opened for it, once loaded
  std::string plugin_manifest_path_;  // the description file declaring it
};

}  // namespace pluginlib

#endif  // PLUGINLIB__CLASS_DESC_HPP_
