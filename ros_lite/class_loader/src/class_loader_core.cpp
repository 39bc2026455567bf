#include "class_loader/class_loader_core.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "class_loader/exceptions.hpp"
#include "logging.hpp"

namespace class_loader
{
namespace impl
{

void logWarning(const std::string & message)
{
  std::fprintf(stderr, "Warning: %s\n", message.c_str());
}

void logError(const std::string & message)
{
  std::fprintf(stderr, "Error:   %s\n", message.c_str());
}

namespace
{

// One factory. Plain data with a function pointer, on purpose: entries of a closed library are
// kept for a reload (the library may have stayed mapped, so its registrations will not run again)
// and must be safe to destroy even when the library's code is gone.
struct MetaObject
{
  std::string class_name;
  std::string base_class_name;
  std::string base_type_id;
  FactoryFunction create{nullptr};
  std::string library_path;                 // empty: registered outside a class_loader opening
  std::vector<const LoaderState *> owners;  // nullptr stands for "nobody"

  bool isOwnedBy(const LoaderState * owner) const
  {
    return std::find(owners.begin(), owners.end(), owner) != owners.end();
  }
};

using FactoryMap = std::map<std::string, std::unique_ptr<MetaObject>>;

struct OpenLibrary
{
  std::string path;
  void * handle;
};

struct Registry
{
  // Recursive: opening a library runs its registrations on this thread while the lock is held.
  std::recursive_mutex mutex;
  std::map<std::string, FactoryMap> factories;  // by typeid name of the base
  std::vector<std::unique_ptr<MetaObject>> graveyard;
  std::vector<OpenLibrary> libraries;
  std::string loading_library;
  const LoaderState * loading_owner{nullptr};
  bool non_pure_library_opened{false};
};

// Never destroyed: registrations run during static initialisation of any library, and loaders
// or objects held in static storage may use the table while the process exits.
Registry & registry()
{
  static Registry * const instance = new Registry();
  return *instance;
}

std::vector<OpenLibrary>::iterator findLibrary(Registry & table, const std::string & path)
{
  return std::find_if(
    table.libraries.begin(), table.libraries.end(),
    [&path](const OpenLibrary & library) {return library.path == path;});
}

bool anyFactoryOf(const Registry & table, const std::string & library_path)
{
  for (const auto & base : table.factories) {
    for (const auto & entry : base.second) {
      if (entry.second->library_path == library_path) {
        return true;
      }
    }
  }
  return false;
}

void insertFactory(Registry & table, std::unique_ptr<MetaObject> meta)
{
  FactoryMap & factories = table.factories[meta->base_type_id];
  if (factories.count(meta->class_name) != 0) {
    logWarning(
      "class_loader.impl: SEVERE WARNING!!! A namespace collision has occurred with plugin "
      "factory for class " + meta->class_name + ". New factory will OVERWRITE existing one. "
      "This situation occurs when libraries containing plugins are directly linked against an "
      "executable (the one running right now generating this message). Please separate plugins "
      "out into their own library or just don't link against the library and use either "
      "class_loader::ClassLoader/MultiLibraryClassLoader to open.");
  }
  std::string class_name = meta->class_name;
  factories[class_name] = std::move(meta);
}

// The library was opened again but registered nothing: it never left memory, so its earlier
// factories are valid and become this owner's again.
void reviveFromGraveyard(
  Registry & table, const std::string & library_path, const LoaderState * owner)
{
  std::vector<std::unique_ptr<MetaObject>> revived;
  auto it = table.graveyard.begin();
  while (it != table.graveyard.end()) {
    if ((*it)->library_path == library_path) {
      revived.push_back(std::move(*it));
      it = table.graveyard.erase(it);
    } else {
      ++it;
    }
  }
  for (std::unique_ptr<MetaObject> & meta : revived) {
    meta->owners.assign(1, owner);
    insertFactory(table, std::move(meta));
  }
}

void purgeGraveyard(Registry & table, const std::string & library_path)
{
  table.graveyard.erase(
    std::remove_if(
      table.graveyard.begin(), table.graveyard.end(),
      [&library_path](const std::unique_ptr<MetaObject> & meta) {
        return meta->library_path == library_path;
      }),
    table.graveyard.end());
}

std::string dlerrorText()
{
  const char * error = dlerror();
  return error == nullptr ? std::string("unknown error") : std::string(error);
}

}  // namespace

void registerFactory(
  const std::string & class_name, const std::string & base_class_name,
  const std::string & base_type_id, FactoryFunction create)
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);
  if (table.loading_owner == nullptr) {
    // Linked into the program or opened by other means: its code may be in use by anything, so
    // class_loader can no longer close any library safely.
    table.non_pure_library_opened = true;
  }
  auto meta = std::make_unique<MetaObject>();
  meta->class_name = class_name;
  meta->base_class_name = base_class_name;
  meta->base_type_id = base_type_id;
  meta->create = create;
  meta->library_path = table.loading_library;
  meta->owners.push_back(table.loading_owner);
  insertFactory(table, std::move(meta));
}

void loadLibrary(const std::string & library_path, const LoaderState * owner)
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);

  if (findLibrary(table, library_path) != table.libraries.end()) {
    for (auto & base : table.factories) {
      for (auto & entry : base.second) {
        MetaObject & meta = *entry.second;
        if (meta.library_path == library_path && !meta.isOwnedBy(owner)) {
          meta.owners.push_back(owner);
        }
      }
    }
    return;
  }

  table.loading_library = library_path;
  table.loading_owner = owner;
  dlerror();
  void * handle = dlopen(library_path.c_str(), RTLD_LAZY);
  const std::string error = handle == nullptr ? dlerrorText() : std::string();
  table.loading_library.clear();
  table.loading_owner = nullptr;
  if (handle == nullptr) {
    throw LibraryLoadException("Could not load library dlopen error: " + error);
  }

  if (anyFactoryOf(table, library_path)) {
    // Fresh registrations: whatever an earlier opening left behind is stale.
    purgeGraveyard(table, library_path);
  } else {
    reviveFromGraveyard(table, library_path, owner);
  }
  table.libraries.push_back(OpenLibrary{library_path, handle});
}

void unloadLibrary(const std::string & library_path, const LoaderState * owner)
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);
  auto library = findLibrary(table, library_path);
  if (library == table.libraries.end()) {
    if (table.non_pure_library_opened) {
      return;
    }
    throw LibraryUnloadException("Attempt to unload library that class_loader is unaware of.");
  }

  // Once a plugin library got in behind class_loader's back, the owner lets go of the factories
  // but they stay in place and no library is closed: class_loader cannot tell which code is
  // still in use.
  const bool may_close = !table.non_pure_library_opened;
  for (auto & base : table.factories) {
    FactoryMap & factories = base.second;
    auto it = factories.begin();
    while (it != factories.end()) {
      MetaObject & meta = *it->second;
      if (meta.library_path == library_path && meta.isOwnedBy(owner)) {
        meta.owners.erase(std::find(meta.owners.begin(), meta.owners.end(), owner));
        if (meta.owners.empty() && may_close) {
          table.graveyard.push_back(std::move(it->second));
          it = factories.erase(it);
          continue;
        }
      }
      ++it;
    }
  }
  if (!may_close || anyFactoryOf(table, library_path)) {
    return;  // other loaders still create from it, or closing is off for good
  }

  void * handle = library->handle;
  table.libraries.erase(library);
  if (dlclose(handle) != 0) {
    throw LibraryUnloadException(
            "Could not unload library (dlclose error: " + dlerrorText() + ")");
  }
  // Whether the library really left memory decides what its kept factories are worth: if it is
  // gone, a reload registers afresh and the old entries point at nothing.
  void * still_mapped = dlopen(library_path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (still_mapped == nullptr) {
    purgeGraveyard(table, library_path);
  } else {
    dlclose(still_mapped);
  }
}

bool isLibraryLoadedByAnybody(const std::string & library_path)
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);
  return findLibrary(table, library_path) != table.libraries.end();
}

std::vector<std::string> getAvailableClasses(
  const std::string & base_type_id, const LoaderState * owner)
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);
  std::vector<std::string> classes;
  std::vector<std::string> classes_of_nobody;
  const auto base = table.factories.find(base_type_id);
  if (base == table.factories.end()) {
    return classes;
  }
  for (const auto & entry : base->second) {
    if (entry.second->isOwnedBy(owner)) {
      classes.push_back(entry.first);
    } else if (entry.second->isOwnedBy(nullptr)) {
      classes_of_nobody.push_back(entry.first);
    }
  }
  classes.insert(classes.end(), classes_of_nobody.begin(), classes_of_nobody.end());
  return classes;
}

void * createInstance(
  const std::string & class_name, const std::string & base_type_id, const LoaderState * owner)
{
  FactoryFunction create = nullptr;
  {
    Registry & table = registry();
    std::lock_guard<std::recursive_mutex> lock(table.mutex);
    const MetaObject * meta = nullptr;
    const auto base = table.factories.find(base_type_id);
    if (base != table.factories.end()) {
      const auto it = base->second.find(class_name);
      if (it != base->second.end()) {
        meta = it->second.get();
      }
    }
    if (meta == nullptr) {
      logError("class_loader.impl: No metaobject exists for class type " + class_name + ".");
    } else if (meta->isOwnedBy(owner) || meta->isOwnedBy(nullptr)) {
      create = meta->create;
    }
  }
  if (create == nullptr) {
    throw CreateClassException("Could not create instance of type " + class_name);
  }
  // Outside the lock: a constructor may itself load plugins, from any thread.
  return create();
}

bool hasANonPurePluginLibraryBeenOpened()
{
  Registry & table = registry();
  std::lock_guard<std::recursive_mutex> lock(table.mutex);
  return table.non_pure_library_opened;
}

}  // namespace impl
}  // namespace class_loader
