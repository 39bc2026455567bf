#ifndef CLASS_LOADER__CLASS_LOADER_CORE_HPP_
#define CLASS_LOADER__CLASS_LOADER_CORE_HPP_

#include <string>
#include <typeinfo>
#include <vector>

namespace class_loader
{
namespace impl
{

// The per-loader bookkeeping of a class_loader::ClassLoader. The factory table records which
// loaders own a factory by this pointer; it may outlive the loader itself while objects created
// through it are still alive.
struct LoaderState;

// Creates one object of a registered class, returned as a pointer to the base it was registered
// for. Type-erased so that the factory table (in this shared library) never holds code or vtables
// of a plugin library: a library may be unmapped while its table entries wait for a reload.
using FactoryFunction = void * (*)();

template<class Derived, class Base>
void * createObject()
{
  return static_cast<void *>(static_cast<Base *>(new Derived()));
}

// Records a factory for `class_name` implementing the base whose typeid name is `base_type_id`.
// The factory belongs to the library class_loader is opening right now and to the loader opening
// it; a registration made outside such an opening (a plugin library linked into the program, or
// opened by other means) belongs to nobody, can be created through any loader, and from then on
// no library is ever closed, since class_loader cannot tell which code is still in use.
// A second factory for the same class and base replaces the first, with a warning.
void registerFactory(
  const std::string & class_name, const std::string & base_class_name,
  const std::string & base_type_id, FactoryFunction create);

template<class Derived, class Base>
void registerPlugin(const std::string & class_name, const std::string & base_class_name)
{
  registerFactory(class_name, base_class_name, typeid(Base).name(), &createObject<Derived, Base>);
}

// Opens `library_path` for `owner` (dlopen); a library already opened through class_loader only
// gains the owner. Throws class_loader::LibraryLoadException when the library cannot be opened.
void loadLibrary(const std::string & library_path, const LoaderState * owner);

// Withdraws `owner` from the library's factories; the library is closed once no loader owns any
// of them. Does nothing once a plugin library was opened behind class_loader's back. Throws
// class_loader::LibraryUnloadException for a library class_loader did not open.
void unloadLibrary(const std::string & library_path, const LoaderState * owner);

// Whether class_loader holds `library_path` open for any loader.
bool isLibraryLoadedByAnybody(const std::string & library_path);

// Names of the classes for the base `base_type_id` that `owner` may create: those of its
// libraries, then those that belong to nobody.
std::vector<std::string> getAvailableClasses(
  const std::string & base_type_id, const LoaderState * owner);

// Creates `class_name` for the base `base_type_id` from a factory owned by `owner` or by nobody.
// Throws class_loader::CreateClassException otherwise.
void * createInstance(
  const std::string & class_name, const std::string & base_type_id, const LoaderState * owner);

// Whether a plugin registration ever happened outside a class_loader opening.
bool hasANonPurePluginLibraryBeenOpened();

}  // namespace impl
}  // namespace class_loader

#endif  // CLASS_LOADER__CLASS_LOADER_CORE_HPP_
