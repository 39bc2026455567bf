#ifndef CLASS_LOADER__CLASS_LOADER_HPP_
#define CLASS_LOADER__CLASS_LOADER_HPP_

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "class_loader/class_loader_core.hpp"
#include "class_loader/exceptions.hpp"
#include "class_loader/register_macro.hpp"

namespace class_loader
{

// How the toolchain names shared libraries: systemLibraryFormat("foo") is "libfoo.so".
std::string systemLibraryPrefix();
std::string systemLibrarySuffix();
std::string systemLibraryFormat(const std::string & library_name);

// Creates the classes registered by one shared library, which it opens with dlopen by path.
// Each loadLibrary() adds a load reference and each unloadLibrary() drops one; the library is
// closed when the last reference goes, but never while objects created through managed pointers
// of this loader are alive: their deleters keep the loader's bookkeeping alive, and a loader
// destroyed under live objects closes its library once the last of them is deleted.
// Unmanaged instances are not counted: their owner must delete them before the library goes.
class ClassLoader
{
public:
  template<typename Base>
  using DeleterType = std::function<void (Base *)>;
  template<typename Base>
  using UniquePtr = std::unique_ptr<Base, DeleterType<Base>>;

  // Opens the library at once unless `ondemand_load_unload`; then it is opened by the first
  // creation and closed again when the last managed object is deleted. Throws
  // LibraryLoadException when the library cannot be opened.
  explicit ClassLoader(const std::string & library_path, bool ondemand_load_unload = false);
  virtual ~ClassLoader();

  ClassLoader(const ClassLoader &) = delete;
  ClassLoader & operator=(const ClassLoader &) = delete;

  template<class Base>
  std::vector<std::string> getAvailableClasses() const
  {
    return impl::getAvailableClasses(typeid(Base).name(), state_.get());
  }

  template<class Base>
  std::shared_ptr<Base> createSharedInstance(const std::string & derived_class_name)
  {
    return std::shared_ptr<Base>(createUniqueInstance<Base>(derived_class_name));
  }

  template<class Base>
  [[deprecated("use createSharedInstance")]]
  std::shared_ptr<Base> createInstance(const std::string & derived_class_name)
  {
    return createSharedInstance<Base>(derived_class_name);
  }

  // Throws CreateClassException when no factory for the class and base is available here.
  template<class Base>
  UniquePtr<Base> createUniqueInstance(const std::string & derived_class_name)
  {
    Base * object = static_cast<Base *>(
      createRawInstance(derived_class_name, typeid(Base).name(), true));
    std::shared_ptr<impl::LoaderState> state = state_;
    return UniquePtr<Base>(
      object, [state](Base * doomed) {
        if (doomed == nullptr) {
          return;
        }
        delete doomed;
        ClassLoader::onManagedInstanceDeleted(state);
      });
  }

  template<class Base>
  Base * createUnmanagedInstance(const std::string & derived_class_name)
  {
    return static_cast<Base *>(createRawInstance(derived_class_name, typeid(Base).name(), false));
  }

  template<class Base>
  bool isClassAvailable(const std::string & class_name) const
  {
    const std::vector<std::string> classes = getAvailableClasses<Base>();
    return std::find(classes.begin(), classes.end(), class_name) != classes.end();
  }

  const std::string & getLibraryPath() const;
  // Whether class_loader holds the library open (for this loader or another one).
  bool isLibraryLoaded() const;
  bool isLibraryLoadedByAnyClassloader() const;
  bool isOnDemandLoadUnloadEnabled() const;

  void loadLibrary();
  // Returns the load references left. Refused (with a warning, nothing dropped) while managed
  // objects of this loader are alive.
  int unloadLibrary();

  // Whether any loader in the process handed out an unmanaged instance; on-demand loaders then
  // no longer close their library by themselves.
  static bool hasUnmanagedInstanceBeenCreated();

private:
  void * createRawInstance(
    const std::string & derived_class_name, const std::string & base_type_id, bool managed);
  static void onManagedInstanceDeleted(const std::shared_ptr<impl::LoaderState> & state);

  std::shared_ptr<impl::LoaderState> state_;
};

}  // namespace class_loader

#endif  // CLASS_LOADER__CLASS_LOADER_HPP_
