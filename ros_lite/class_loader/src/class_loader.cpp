#include "class_loader/class_loader.hpp"

#include <atomic>
#include <mutex>

#include "logging.hpp"

namespace class_loader
{
namespace impl
{

struct LoaderState
{
  LoaderState(const std::string & path, bool ondemand)
  : library_path(path), ondemand_load_unload(ondemand) {}

  const std::string library_path;
  const bool ondemand_load_unload;
  std::recursive_mutex mutex;
  int load_ref_count{0};
  int plugin_ref_count{0};  // managed objects alive
  bool loader_destroyed{false};
};

}  // namespace impl

namespace
{

std::atomic<bool> g_unmanaged_instance_created{false};

const char * const kObjectsAliveWarning =
  "class_loader.ClassLoader: SEVERE WARNING!!! Attempting to unload library while objects "
  "created by this loader exist in the heap! You should delete your objects before attempting "
  "to unload the library or destroying the ClassLoader. The library will NOT be unloaded.";

int unloadLibraryInternal(impl::LoaderState & state)
{
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.plugin_ref_count > 0) {
    impl::logWarning(kObjectsAliveWarning);
    return state.load_ref_count;
  }
  if (state.load_ref_count <= 0) {
    state.load_ref_count = 0;
    return 0;
  }
  --state.load_ref_count;
  if (state.load_ref_count == 0) {
    impl::unloadLibrary(state.library_path, &state);
  }
  return state.load_ref_count;
}

// Nobody can use the load references of a destroyed loader any more: give them all back.
void releaseAbandonedLibrary(impl::LoaderState & state)
{
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  try {
    while (state.load_ref_count > 0) {
      unloadLibraryInternal(state);
    }
  } catch (const ClassLoaderException & ex) {
    state.load_ref_count = 0;
    impl::logError(
      "class_loader.ClassLoader: could not release library " + state.library_path + ": " +
      ex.what());
  }
}

}  // namespace

std::string systemLibraryPrefix()
{
  return "lib";
}

std::string systemLibrarySuffix()
{
  return ".so";
}

std::string systemLibraryFormat(const std::string & library_name)
{
  return systemLibraryPrefix() + library_name + systemLibrarySuffix();
}

ClassLoader::ClassLoader(const std::string & library_path, bool ondemand_load_unload)
: state_(std::make_shared<impl::LoaderState>(library_path, ondemand_load_unload))
{
  if (!ondemand_load_unload) {
    loadLibrary();
  }
}

ClassLoader::~ClassLoader()
{
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  state_->loader_destroyed = true;
  if (state_->plugin_ref_count > 0) {
    // The objects' deleters hold the state and close the library after the last one.
    impl::logWarning(kObjectsAliveWarning);
    return;
  }
  releaseAbandonedLibrary(*state_);
}

const std::string & ClassLoader::getLibraryPath() const
{
  return state_->library_path;
}

bool ClassLoader::isLibraryLoaded() const
{
  return impl::isLibraryLoadedByAnybody(state_->library_path);
}

bool ClassLoader::isLibraryLoadedByAnyClassloader() const
{
  return impl::isLibraryLoadedByAnybody(state_->library_path);
}

bool ClassLoader::isOnDemandLoadUnloadEnabled() const
{
  return state_->ondemand_load_unload;
}

void ClassLoader::loadLibrary()
{
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  impl::loadLibrary(state_->library_path, state_.get());
  ++state_->load_ref_count;
}

int ClassLoader::unloadLibrary()
{
  return unloadLibraryInternal(*state_);
}

bool ClassLoader::hasUnmanagedInstanceBeenCreated()
{
  return g_unmanaged_instance_created.load();
}

void * ClassLoader::createRawInstance(
  const std::string & derived_class_name, const std::string & base_type_id, bool managed)
{
  if (!managed) {
    g_unmanaged_instance_created = true;
  }
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  if (managed && hasUnmanagedInstanceBeenCreated() && isOnDemandLoadUnloadEnabled()) {
    impl::logWarning(
      "class_loader::ClassLoader: An attempt is being made to create a managed plugin instance, "
      "however an unmanaged instance was created within this process address space. This means "
      "libraries for the managed instances will not be shutdown automatically on final plugin "
      "destruction if on demand (lazy) loading/unloading mode is used.");
  }
  if (!isLibraryLoaded()) {
    loadLibrary();
  }
  void * object = impl::createInstance(derived_class_name, base_type_id, state_.get());
  if (managed) {
    ++state_->plugin_ref_count;
  }
  return object;
}

void ClassLoader::onManagedInstanceDeleted(const std::shared_ptr<impl::LoaderState> & state)
{
  std::lock_guard<std::recursive_mutex> lock(state->mutex);
  if (state->plugin_ref_count > 0) {
    --state->plugin_ref_count;
  }
  if (state->plugin_ref_count > 0) {
    return;
  }
  if (state->loader_destroyed) {
    releaseAbandonedLibrary(*state);
    return;
  }
  if (!state->ondemand_load_unload) {
    return;
  }
  if (hasUnmanagedInstanceBeenCreated()) {
    impl::logWarning(
      "class_loader::ClassLoader: Cannot unload library " + state->library_path +
      " even though last shared pointer went out of scope. This is because "
      "createUnmanagedInstance was used within the scope of this process, perhaps by a "
      "different ClassLoader. Library will NOT be closed.");
    return;
  }
  try {
    unloadLibraryInternal(*state);
  } catch (const ClassLoaderException & ex) {
    impl::logError(
      "class_loader.ClassLoader: could not unload library " + state->library_path + ": " +
      ex.what());
  }
}

}  // namespace class_loader
