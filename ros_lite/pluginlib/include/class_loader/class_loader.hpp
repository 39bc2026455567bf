#ifndef CLASS_LOADER__CLASS_LOADER_HPP_
#define CLASS_LOADER__CLASS_LOADER_HPP_

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

#include "class_loader/class_loader_core.hpp"
#include "class_loader/exceptions.hpp"
#include "class_loader/register_macro.hpp"

namespace class_loader
{

// Creates the classes registered by one library. The library is loaded while the loader holds
// at least one load reference (the constructor takes the first); since plugin libraries are
// linked into the process, loading means confirming the library is present, and unloading
// only withdraws this loader's right to create from it: created objects stay valid.
class ClassLoader
{
public:
  template<typename Base>
  using DeleterType = std::function<void (Base *)>;
  template<typename Base>
  using UniquePtr = std::unique_ptr<Base, DeleterType<Base>>;

  // Throws LibraryLoadException when no registered class comes from `library_path`.
  explicit ClassLoader(const std::string & library_path);

  ClassLoader(const ClassLoader &) = delete;
  ClassLoader & operator=(const ClassLoader &) = delete;

  const std::string & getLibraryPath() const {return library_path_;}
  bool isLibraryLoaded() const {return load_ref_count_ > 0;}

  // Adds a load reference; throws LibraryLoadException when the library is not in the process.
  void loadLibrary();
  // Drops a load reference and returns how many remain (0 once unloaded).
  int unloadLibrary();

  // Whether the loaded library registered `class_name` for exactly the type Base.
  template<class Base>
  bool isClassAvailable(const std::string & class_name) const
  {
    return findFactory(class_name, typeid(Base).name()) != nullptr;
  }

  // Throws CreateClassException when the library is not loaded or has no such class for Base.
  template<class Base>
  UniquePtr<Base> createUniqueInstance(const std::string & derived_class_name)
  {
    return UniquePtr<Base>(
      createUnmanagedInstance<Base>(derived_class_name), [](Base * object) {delete object;});
  }

  template<class Base>
  Base * createUnmanagedInstance(const std::string & derived_class_name)
  {
    return static_cast<Base *>(createRawInstance(derived_class_name, typeid(Base).name()));
  }

private:
  impl::FactoryFunction findFactory(
    const std::string & class_name, const std::string & base_type_id) const;
  void * createRawInstance(const std::string & class_name, const std::string & base_type_id);

  std::string library_path_;
  int load_ref_count_{0};
};

}  // namespace class_loader

#endif  // CLASS_LOADER__CLASS_LOADER_HPP_
