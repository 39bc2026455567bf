#ifndef PLUGINLIB__CLASS_LOADER_HPP_
#define PLUGINLIB__CLASS_LOADER_HPP_

#include <memory>
#include <string>
#include <vector>

#include "class_loader/class_loader.hpp"
#include "pluginlib/class_loader_base.hpp"
#include "pluginlib/exceptions.hpp"
#include "pluginlib/impl/plugin_catalog.hpp"

namespace pluginlib
{

template<typename T>
using UniquePtr = class_loader::ClassLoader::UniquePtr<T>;

// Creates, by lookup name, the classes exported with PLUGINLIB_EXPORT_CLASS for the base class
// named `base_class`. The declared classes are those registered by the libraries linked into
// the process; the lookup name of a class is its fully qualified name as exported. There are
// no plugin description files, so `attrib_name` and `plugin_xml_paths` have nothing to select,
// and descriptions and owning packages of classes are unknown (empty).
template<class T>
class ClassLoader : public ClassLoaderBase
{
public:
  // Throws ClassLoaderException when `package` is not a package of this build.
  ClassLoader(
    std::string package, std::string base_class,
    std::string attrib_name = std::string("plugin"),
    std::vector<std::string> plugin_xml_paths = std::vector<std::string>())
  : catalog_(package, base_class)
  {
    static_cast<void>(attrib_name);
    static_cast<void>(plugin_xml_paths);
  }

  ~ClassLoader() override {}

  [[deprecated("use createUniqueInstance or createSharedInstance")]]
  T * createClassInstance(const std::string & lookup_name, bool auto_load = true)
  {
    if (auto_load && !isClassLoaded(lookup_name)) {
      loadLibraryForClass(lookup_name);
    }
    return createFromLoadedLibrary(lookup_name);
  }

  // Unknown class: LibraryLoadException naming it; a class registered for this base name but
  // another C++ type: CreateClassException.
  std::shared_ptr<T> createSharedInstance(const std::string & lookup_name)
  {
    return createUniqueInstance(lookup_name);
  }

  UniquePtr<T> createUniqueInstance(const std::string & lookup_name)
  {
    return UniquePtr<T>(createUnmanagedInstance(lookup_name), [](T * object) {delete object;});
  }

  T * createUnmanagedInstance(const std::string & lookup_name)
  {
    if (!isClassLoaded(lookup_name)) {
      loadLibraryForClass(lookup_name);
    }
    return createFromLoadedLibrary(lookup_name);
  }

  std::vector<std::string> getDeclaredClasses() override {return catalog_.declaredClasses();}

  void refreshDeclaredClasses() override {catalog_.refresh();}

  // The class name without package or namespace: "pkg/Name" and "ns::Name" give "Name".
  std::string getName(const std::string & lookup_name) override
  {
    const std::string::size_type separator = lookup_name.find_last_of("/:");
    return separator == std::string::npos ? lookup_name : lookup_name.substr(separator + 1);
  }

  std::string getBaseClassType() const override {return catalog_.baseClass();}

  std::string getClassType(const std::string & lookup_name) override
  {
    const impl::ClassDesc * desc = catalog_.find(lookup_name);
    return desc == nullptr ? "" : desc->derived_class;
  }

  std::string getClassDescription(const std::string & lookup_name) override
  {
    static_cast<void>(lookup_name);
    return "";
  }

  std::string getClassLibraryPath(const std::string & lookup_name) override
  {
    const impl::ClassDesc * desc = catalog_.find(lookup_name);
    return desc == nullptr ? "" : desc->library_path;
  }

  std::string getClassPackage(const std::string & lookup_name) override
  {
    static_cast<void>(lookup_name);
    return "";
  }

  // Whether the class's library is loaded by this loader and creates it as a T.
  bool isClassLoaded(const std::string & lookup_name) override
  {
    class_loader::ClassLoader * library = catalog_.loadedLibraryFor(lookup_name);
    return library != nullptr && library->isClassAvailable<T>(getClassType(lookup_name));
  }

  bool isClassAvailable(const std::string & lookup_name) override
  {
    return catalog_.find(lookup_name) != nullptr;
  }

  void loadLibraryForClass(const std::string & lookup_name) override {catalog_.load(lookup_name);}

  int unloadLibraryForClass(const std::string & lookup_name) override
  {
    return catalog_.unload(lookup_name);
  }

private:
  T * createFromLoadedLibrary(const std::string & lookup_name)
  {
    class_loader::ClassLoader * library = catalog_.loadedLibraryFor(lookup_name);
    if (library == nullptr) {
      throw CreateClassException(
              "Could not create instance of " + lookup_name + ": its library is not loaded");
    }
    try {
      return library->createUnmanagedInstance<T>(getClassType(lookup_name));
    } catch (const class_loader::CreateClassException & ex) {
      throw CreateClassException(ex.what());
    }
  }

  impl::PluginCatalog catalog_;
};

}  // namespace pluginlib

#endif  // PLUGINLIB__CLASS_LOADER_HPP_
