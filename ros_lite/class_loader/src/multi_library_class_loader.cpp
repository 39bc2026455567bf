#include "class_loader/multi_library_class_loader.hpp"

namespace class_loader
{

MultiLibraryClassLoader::MultiLibraryClassLoader(bool enable_ondemand_loadunload)
: enable_ondemand_loadunload_(enable_ondemand_loadunload)
{
}

MultiLibraryClassLoader::~MultiLibraryClassLoader()
{
  for (const std::string & library_path : getRegisteredLibraries()) {
    try {
      unloadLibrary(library_path);
    } catch (const ClassLoaderException &) {
      // The loader below is destroyed all the same, which releases what it can.
    }
  }
  // Loaders still in the map have live objects; destroying them leaves the libraries open until
  // the last of those objects is deleted.
  class_loaders_.clear();
}

bool MultiLibraryClassLoader::isLibraryAvailable(const std::string & library_path) const
{
  return class_loaders_.count(library_path) != 0;
}

std::vector<std::string> MultiLibraryClassLoader::getRegisteredLibraries() const
{
  std::vector<std::string> libraries;
  for (const auto & entry : class_loaders_) {
    libraries.push_back(entry.first);
  }
  return libraries;
}

void MultiLibraryClassLoader::loadLibrary(const std::string & library_path)
{
  if (!isLibraryAvailable(library_path)) {
    class_loaders_.emplace(
      library_path, std::make_unique<ClassLoader>(library_path, enable_ondemand_loadunload_));
  }
}

int MultiLibraryClassLoader::unloadLibrary(const std::string & library_path)
{
  const auto it = class_loaders_.find(library_path);
  if (it == class_loaders_.end()) {
    return 0;
  }
  const int remaining_unloads = it->second->unloadLibrary();
  if (remaining_unloads == 0) {
    class_loaders_.erase(it);
  }
  return remaining_unloads;
}

ClassLoader & MultiLibraryClassLoader::loaderForLibrary(const std::string & library_path)
{
  const auto it = class_loaders_.find(library_path);
  if (it == class_loaders_.end()) {
    throw NoClassLoaderExistsException(
            "Could not create instance as there is no ClassLoader in MultiLibraryClassLoader "
            "bound to library " + library_path +
            " Ensure you called MultiLibraryClassLoader::loadLibrary()");
  }
  return *it->second;
}

}  // namespace class_loader
