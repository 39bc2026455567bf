#ifndef PLUGINLIB__IMPL__PLUGIN_DESCRIPTIONS_HPP_
#define PLUGINLIB__IMPL__PLUGIN_DESCRIPTIONS_HPP_

#include <map>
#include <string>
#include <vector>

#include "pluginlib/class_desc.hpp"

// The part of pluginlib::ClassLoader that does not depend on the base type: the ament index,
// the plugin description files and the search for library files.
namespace pluginlib
{
namespace impl
{

// Throws pluginlib::ClassLoaderException when `package` is not in the ament index.
void requirePackage(const std::string & package);

// Every description file registered in the ament index under the resource type
// "<package>__pluginlib__<attrib_name>": each resource's content lists files relative to the
// prefix holding the resource, one a line.
std::vector<std::string> getPluginXmlPaths(
  const std::string & package, const std::string & attrib_name);

// The classes for `base_class` the files declare, by lookup name (the first declaration of a
// name wins). A file that cannot be read or is no plugin description is reported and skipped;
// a <class> without type or base_class_type throws pluginlib::ClassLoaderException.
std::map<std::string, ClassDesc> determineAvailableClasses(
  const std::vector<std::string> & plugin_xml_paths, const std::string & base_class);

// The first existing "lib<name>.so" in the lib directory of the exporting package's prefix,
// then in those of every prefix of the ament index; empty when there is none.
std::string findLibraryFile(const ClassDesc & desc);

std::string unknownClassMessage(
  const std::string & lookup_name, const std::string & base_class,
  const std::vector<std::string> & declared_classes);

// The lookup name without package or namespace: "pkg/Name" and "ns::Name" give "Name".
std::string stripToName(const std::string & lookup_name);

// pluginlib's log lines ("pluginlib.ClassLoader" logger) on stderr.
void logError(const std::string & message);

}  // namespace impl
}  // namespace pluginlib

#endif  // PLUGINLIB__IMPL__PLUGIN_DESCRIPTIONS_HPP_
