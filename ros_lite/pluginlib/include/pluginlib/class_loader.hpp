#ifndef PLUGINLIB__CLASS_LOADER_HPP_
#define PLUGINLIB__CLASS_LOADER_HPP_

#include <algorithm>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "class_loader/multi_library_class_loader.hpp"
#include "pluginlib/class_desc.hpp"
#include "pluginlib/class_loader_base.hpp"
#include "pluginlib/exceptions.hpp"
#include "pluginlib/impl/plugin_descriptions.hpp"

namespace pluginlib
{

template<typename T>
using UniquePtr = class_loader::ClassLoader::UniquePtr<T>;

// Creates, by lookup name, the classes that plugin description files declare for the base class
// named `base_class`. `package` is the plugin category: the package owning the base class, which
// must be in the ament index. Unless `plugin_xml_paths` names the files, they are those exported
// to the ament index under "<package>__pluginlib__<attrib_name>". Each class comes from the
// shared library its <library> names, opened on first use and found in the lib directory of
// the exporting package's prefix or of another ament prefix.
template<class T>
class ClassLoader : public ClassLoaderBase
{
public:
  typedef typename std::map<std::string, ClassDesc>::iterator ClassMapIterator;

  ClassLoader(
    std::string package, std::string base_class,
    std::string attrib_name = std::string("plugin"),
    std::vector<std::string> plugin_xml_paths = std::vector<std::string>())
  : plugin_xml_paths_(plugin_xml_paths), package_(package), base_class_(base_class),
    attrib_name_(attrib_name), lowlevel_class_loader_(false)
  {
    impl::requirePackage(package_);
    if (plugin_xml_paths_.empty()) {
      plugin_xml_paths_ = impl::getPluginXmlPaths(package_, attrib_name_);
    }
    classes_available_ = impl::determineAvailableClasses(plugin_xml_paths_, base_class_);
  }

  ~ClassLoader() {}

  [[deprecated("use createUniqueInstance or createSharedInstance")]]
  T * createClassInstance(const std::string & lookup_name, bool auto_load = true)
  {
    if (auto_load && !isClassLoaded(lookup_name)) {
      loadLibraryForClass(lookup_name);
    }
    try {
      return lowlevel_class_loader_.createUnmanagedInstance<T>(getClassType(lookup_name));
    } catch (const class_loader::CreateClassException & ex) {
      if (auto_load) {
        throw pluginlib::CreateClassException(ex.what());
      }
      throw pluginlib::LibraryLoadException(
              "Could not create instance of class " + lookup_name + ": its library is not "
              "loaded. Load it first with loadLibraryForClass() or pass auto_load = true.");
    }
  }

  std::shared_ptr<T> createSharedInstance(const std::string & lookup_name)
  {
    return createUniqueInstance(lookup_name);
  }

  UniquePtr<T> createUniqueInstance(const std::string & lookup_name)
  {
    if (!isClassLoaded(lookup_name)) {
      loadLibraryForClass(lookup_name);
    }
    ClassMapIterator it = classes_available_.find(lookup_name);
    if (it == classes_available_.end()) {
      impl::logError("Class " + lookup_name + " has no mapping in classes_available_.");
      throw pluginlib::LibraryLoadException(getErrorStringForUnknownClass(lookup_name));
    }
    try {
      return lowlevel_class_loader_.createUniqueInstance<T>(it->second.derived_class_);
    } catch (const class_loader::CreateClassException & ex) {
      impl::logError(
        "Exception raised by low-level multi-library class loader when attempting to create "
        "instance of class " + lookup_name + ".");
      throw pluginlib::CreateClassException(ex.what());
    }
  }

  T * createUnmanagedInstance(const std::string & lookup_name)
  {
    if (!isClassLoaded(lookup_name)) {
      loadLibraryForClass(lookup_name);
    }
    try {
      return lowlevel_class_loader_.createUnmanagedInstance<T>(getClassType(lookup_name));
    } catch (const class_loader::CreateClassException & ex) {
      impl::logError(
        "Exception raised by low-level multi-library class loader when attempting to create "
        "instance of class " + lookup_name + ".");
      throw pluginlib::CreateClassException(ex.what());
    }
  }

  // Lookup names, sorted.
  std::vector<std::string> getDeclaredClasses()
  {
    std::vector<std::string> lookup_names;
    for (const auto & entry : classes_available_) {
      lookup_names.push_back(entry.first);
    }
    return lookup_names;
  }

  virtual std::string getName(const std::string & lookup_name)
  {
    return impl::stripToName(lookup_name);
  }

  virtual std::string getBaseClassType() const {return base_class_;}

  virtual std::string getClassType(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    return it == classes_available_.end() ? std::string() : it->second.derived_class_;
  }

  virtual std::string getClassDescription(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    return it == classes_available_.end() ? std::string() : it->second.description_;
  }

  // The library file the class would be opened from; empty when the class is not declared or
  // no such file exists.
  virtual std::string getClassLibraryPath(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    return it == classes_available_.end() ? std::string() : impl::findLibraryFile(it->second);
  }

  virtual std::string getClassPackage(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    return it == classes_available_.end() ? std::string() : it->second.package_;
  }

  virtual std::string getPluginManifestPath(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    return it == classes_available_.end() ? std::string() : it->second.plugin_manifest_path_;
  }

  std::vector<std::string> getPluginXmlPaths() {return plugin_xml_paths_;}

  virtual std::vector<std::string> getRegisteredLibraries()
  {
    return lowlevel_class_loader_.getRegisteredLibraries();
  }

  // Whether a library this loader opened creates the class as a T.
  bool isClassLoaded(const std::string & lookup_name)
  {
    return lowlevel_class_loader_.isClassAvailable<T>(getClassType(lookup_name));
  }

  // Whether a description declares the class.
  virtual bool isClassAvailable(const std::string & lookup_name)
  {
    return classes_available_.find(lookup_name) != classes_available_.end();
  }

  // Unknown class, library file missing or not loadable: LibraryLoadException.
  virtual void loadLibraryForClass(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    if (it == classes_available_.end()) {
      throw pluginlib::LibraryLoadException(getErrorStringForUnknownClass(lookup_name));
    }
    const std::string library_path = getClassLibraryPath(lookup_name);
    if (library_path.empty()) {
      throw pluginlib::LibraryLoadException(
              "Could not find library corresponding to plugin " + lookup_name +
              ". Make sure that the library '" + it->second.library_name_ +
              "' actually exists.");
    }
    try {
      lowlevel_class_loader_.loadLibrary(library_path);
      it->second.resolved_library_path_ = library_path;
    } catch (const class_loader::LibraryLoadException & ex) {
      throw pluginlib::LibraryLoadException(
              "Failed to load library " + library_path + ". Make sure that you are calling the "
              "PLUGINLIB_EXPORT_CLASS macro in the library code, and that names are consistent "
              "between this macro and your XML. Error string: " + ex.what());
    }
  }

  // Rereads the descriptions. Classes whose library is open are dropped and declared afresh
  // (forgetting that they were loaded); other known classes keep their entry.
  virtual void refreshDeclaredClasses()
  {
    std::list<std::string> remove_classes;
    const std::vector<std::string> open_libraries = lowlevel_class_loader_.getRegisteredLibraries();
    for (const auto & entry : classes_available_) {
      if (std::find(
          open_libraries.begin(), open_libraries.end(),
          entry.second.resolved_library_path_) != open_libraries.end())
      {
        remove_classes.push_back(entry.first);
      }
    }
    for (const std::string & lookup_name : remove_classes) {
      classes_available_.erase(lookup_name);
    }
    plugin_xml_paths_ = impl::getPluginXmlPaths(package_, attrib_name_);
    for (auto & entry : impl::determineAvailableClasses(plugin_xml_paths_, base_class_)) {
      classes_available_.insert(entry);
    }
  }

  // Returns the load references left on the class's library (0 once closed). Refused, returning
  // what is left, while objects created from it are alive. A class whose library was never
  // loaded throws LibraryUnloadException.
  virtual int unloadLibraryForClass(const std::string & lookup_name)
  {
    ClassMapIterator it = classes_available_.find(lookup_name);
    if (it != classes_available_.end() && it->second.resolved_library_path_ != "UNRESOLVED") {
      return lowlevel_class_loader_.unloadLibrary(it->second.resolved_library_path_);
    }
    throw pluginlib::LibraryUnloadException(getErrorStringForUnknownClass(lookup_name));
  }

private:
  std::string getErrorStringForUnknownClass(const std::string & lookup_name)
  {
    return impl::unknownClassMessage(lookup_name, base_class_, getDeclaredClasses());
  }

  std::vector<std::string> plugin_xml_paths_;
  std::map<std::string, ClassDesc> classes_available_;
  std::string package_;
  std::string base_class_;
  std::string attrib_name_;
  class_loader::MultiLibraryClassLoader lowlevel_class_loader_;
};

}  // namespace pluginlib

#endif  // PLUGINLIB__CLASS_LOADER_HPP_
