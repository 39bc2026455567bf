#include "pluginlib/impl/plugin_catalog.hpp"

#include "package_index.hpp"
#include "pluginlib/exceptions.hpp"

namespace pluginlib
{
namespace impl
{

PluginCatalog::PluginCatalog(const std::string & package, const std::string & base_class)
: base_class_(base_class)
{
  if (!isKnownPackage(package)) {
    throw ClassLoaderException("Unable to find package: " + package);
  }
  refresh();
}

void PluginCatalog::refresh()
{
  classes_.clear();
  for (const class_loader::impl::FactoryRecord & record :
    class_loader::impl::registeredFactories())
  {
    if (record.base_class_name == base_class_) {
      classes_[record.derived_class_name] = ClassDesc{
        record.derived_class_name, record.derived_class_name, record.base_class_name,
        record.library_path};
    }
  }
}

std::vector<std::string> PluginCatalog::declaredClasses() const
{
  std::vector<std::string> names;
  names.reserve(classes_.size());
  for (const auto & entry : classes_) {
    names.push_back(entry.first);
  }
  return names;
}

const ClassDesc * PluginCatalog::find(const std::string & lookup_name) const
{
  const auto it = classes_.find(lookup_name);
  return it == classes_.end() ? nullptr : &it->second;
}

class_loader::ClassLoader * PluginCatalog::loadedLibraryFor(const std::string & lookup_name)
{
  const ClassDesc * desc = find(lookup_name);
  if (desc == nullptr) {
    return nullptr;
  }
  const auto it = loaded_libraries_.find(desc->library_path);
  return it == loaded_libraries_.end() ? nullptr : it->second.get();
}

void PluginCatalog::load(const std::string & lookup_name)
{
  const ClassDesc * desc = find(lookup_name);
  if (desc == nullptr) {
    throw LibraryLoadException(unknownClassMessage(lookup_name));
  }
  if (loaded_libraries_.count(desc->library_path) != 0) {
    return;
  }
  try {
    loaded_libraries_.emplace(
      desc->library_path, std::make_unique<class_loader::ClassLoader>(desc->library_path));
  } catch (const class_loader::LibraryLoadException & ex) {
    throw LibraryLoadException(
            "Failed to load library " + desc->library_path + " for class " + lookup_name + ": " +
            ex.what());
  }
}

int PluginCatalog::unload(const std::string & lookup_name)
{
  const ClassDesc * desc = find(lookup_name);
  if (desc == nullptr) {
    throw LibraryUnloadException(unknownClassMessage(lookup_name));
  }
  const auto it = loaded_libraries_.find(desc->library_path);
  if (it == loaded_libraries_.end()) {
    throw LibraryUnloadException(
            "Attempt to unload library " + desc->library_path + " of class " + lookup_name +
            ", which is not loaded");
  }
  const int remaining = it->second->unloadLibrary();
  if (remaining == 0) {
    loaded_libraries_.erase(it);
  }
  return remaining;
}

std::string PluginCatalog::unknownClassMessage(const std::string & lookup_name) const
{
  std::string declared_types;
  for (const auto & entry : classes_) {
    declared_types += " " + entry.first;
  }
  return "According to the loaded plugin descriptions the class " + lookup_name +
         " with base class type " + base_class_ + " does not exist. Declared types are " +
         declared_types;
}

}  // namespace impl
}  // namespace pluginlib
