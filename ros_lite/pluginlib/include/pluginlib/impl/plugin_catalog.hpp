#ifndef PLUGINLIB__IMPL__PLUGIN_CATALOG_HPP_
#define PLUGINLIB__IMPL__PLUGIN_CATALOG_HPP_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "class_loader/class_loader.hpp"

namespace pluginlib
{
namespace impl
{

// One class a loader may create.
struct ClassDesc
{
  std::string lookup_name;    // the name users ask for: the class name as exported
  std::string derived_class;  // fully qualified type
  std::string base_class;     // fully qualified base type
  std::string library_path;   // library that registered it
};

// The base-type independent state of a pluginlib::ClassLoader: the classes declared for its
// base class, and the libraries it has loaded (each through one class_loader::ClassLoader).
class PluginCatalog
{
public:
  // Throws pluginlib::ClassLoaderException when `package` is not a package of this build.
  PluginCatalog(const std::string & package, const std::string & base_class);

  const std::string & baseClass() const {return base_class_;}

  // Rereads the registrations; libraries already loaded stay loaded.
  void refresh();
  // Lookup names, sorted.
  std::vector<std::string> declaredClasses() const;
  // Null when no such class is declared for the base.
  const ClassDesc * find(const std::string & lookup_name) const;
  // The loader of the class's library, or null when the class is unknown or not loaded.
  class_loader::ClassLoader * loadedLibraryFor(const std::string & lookup_name);

  // Throws pluginlib::LibraryLoadException naming the class when it is not declared.
  void load(const std::string & lookup_name);
  // Returns the load references left on the library; throws pluginlib::LibraryUnloadException
  // when the class is unknown or its library is not loaded.
  int unload(const std::string & lookup_name);

  std::string unknownClassMessage(const std::string & lookup_name) const;

private:
  std::string base_class_;
  std::map<std::string, ClassDesc> classes_;
  std::map<std::string, std::unique_ptr<class_loader::ClassLoader>> loaded_libraries_;
};

}  // namespace impl
}  // namespace pluginlib

#endif  // PLUGINLIB__IMPL__PLUGIN_CATALOG_HPP_
