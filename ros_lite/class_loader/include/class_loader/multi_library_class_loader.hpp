#ifndef CLASS_LOADER__MULTI_LIBRARY_CLASS_LOADER_HPP_
#define CLASS_LOADER__MULTI_LIBRARY_CLASS_LOADER_HPP_

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "class_loader/class_loader.hpp"
#include "class_loader/exceptions.hpp"

namespace class_loader
{

// One ClassLoader per library, created by loadLibrary() and destroyed when unloadLibrary()
// brings its load references to zero; creation by class name searches every loaded library.
class MultiLibraryClassLoader
{
public:
  explicit MultiLibraryClassLoader(bool enable_ondemand_loadunload);
  virtual ~MultiLibraryClassLoader();

  MultiLibraryClassLoader(const MultiLibraryClassLoader &) = delete;
  MultiLibraryClassLoader & operator=(const MultiLibraryClassLoader &) = delete;

  template<class Base>
  std::shared_ptr<Base> createSharedInstance(const std::string & class_name)
  {
    ClassLoader & loader = loaderForClass<Base>(class_name);
    return loader.createSharedInstance<Base>(class_name);
  }

  template<class Base>
  std::shared_ptr<Base> createSharedInstance(
    const std::string & class_name, const std::string & library_path)
  {
    return loaderForLibrary(library_path).createSharedInstance<Base>(class_name);
  }

  template<class Base>
  [[deprecated("use createSharedInstance")]]
  std::shared_ptr<Base> createInstance(const std::string & class_name)
  {
    return createSharedInstance<Base>(class_name);
  }

  template<class Base>
  ClassLoader::UniquePtr<Base> createUniqueInstance(const std::string & class_name)
  {
    ClassLoader & loader = loaderForClass<Base>(class_name);
    return loader.createUniqueInstance<Base>(class_name);
  }

  template<class Base>
  ClassLoader::UniquePtr<Base> createUniqueInstance(
    const std::string & class_name, const std::string & library_path)
  {
    return loaderForLibrary(library_path).createUniqueInstance<Base>(class_name);
  }

  template<class Base>
  Base * createUnmanagedInstance(const std::string & class_name)
  {
    ClassLoader & loader = loaderForClass<Base>(class_name);
    return loader.createUnmanagedInstance<Base>(class_name);
  }

  template<class Base>
  Base * createUnmanagedInstance(const std::string & class_name, const std::string & library_path)
  {
    return loaderForLibrary(library_path).createUnmanagedInstance<Base>(class_name);
  }

  template<class Base>
  bool isClassAvailable(const std::string & class_name) const
  {
    const std::vector<std::string> classes = getAvailableClasses<Base>();
    return std::find(classes.begin(), classes.end(), class_name) != classes.end();
  }

  bool isLibraryAvailable(const std::string & library_path) const;

  template<class Base>
  std::vector<std::string> getAvailableClasses() const
  {
    std::vector<std::string> classes;
    for (const auto & entry : class_loaders_) {
      const std::vector<std::string> own = entry.second->getAvailableClasses<Base>();
      classes.insert(classes.end(), own.begin(), own.end());
    }
    return classes;
  }

  template<class Base>
  std::vector<std::string> getAvailableClassesForLibrary(const std::string & library_path)
  {
    const auto it = class_loaders_.find(library_path);
    if (it == class_loaders_.end()) {
      throw NoClassLoaderExistsException(
              "There is no ClassLoader in MultiLibraryClassLoader bound to library " +
              library_path + " Ensure you called MultiLibraryClassLoader::loadLibrary()");
    }
    return it->second->getAvailableClasses<Base>();
  }

  std::vector<std::string> getRegisteredLibraries() const;

  // Creates the library's loader unless there is one; throws LibraryLoadException when the
  // library cannot be opened.
  void loadLibrary(const std::string & library_path);
  // Drops one load reference of the library's loader and destroys the loader when none is
  // left. Returns the references left; 0 for a library without a loader.
  int unloadLibrary(const std::string & library_path);

private:
  template<class Base>
  ClassLoader & loaderForClass(const std::string & class_name)
  {
    for (auto & entry : class_loaders_) {
      ClassLoader & loader = *entry.second;
      if (!loader.isLibraryLoaded()) {
        loader.loadLibrary();
      }
      if (loader.isClassAvailable<Base>(class_name)) {
        return loader;
      }
    }
    throw CreateClassException(
            "MultiLibraryClassLoader: Could not create object of class type " + class_name +
            " as no factory exists for it. Make sure that the library exists and was explicitly "
            "loaded through MultiLibraryClassLoader::loadLibrary()");
  }

  ClassLoader & loaderForLibrary(const std::string & library_path);

  bool enable_ondemand_loadunload_;
  std::map<std::string, std::unique_ptr<ClassLoader>> class_loaders_;
};

}  // namespace class_loader

#endif  // CLASS_LOADER__MULTI_LIBRARY_CLASS_LOADER_HPP_
