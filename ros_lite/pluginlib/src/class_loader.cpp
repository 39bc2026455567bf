#include "class_loader/class_loader.hpp"

namespace class_loader
{

ClassLoader::ClassLoader(const std::string & library_path)
: library_path_(library_path)
{
  loadLibrary();
}

void ClassLoader::loadLibrary()
{
  if (!impl::isLibraryInProcess(library_path_)) {
    throw LibraryLoadException(
            "Could not load library " + library_path_ +
            ": no plugin of this process was registered from it (plugin libraries must be "
            "linked into the program)");
  }
  ++load_ref_count_;
}

int ClassLoader::unloadLibrary()
{
  if (load_ref_count_ > 0) {
    --load_ref_count_;
  }
  return load_ref_count_;
}

impl::FactoryFunction ClassLoader::findFactory(
  const std::string & class_name, const std::string & base_type_id) const
{
  if (!isLibraryLoaded()) {
    return nullptr;
  }
  for (const impl::FactoryRecord & record : impl::registeredFactories()) {
    if (record.library_path == library_path_ && record.derived_class_name == class_name &&
      record.base_type_id == base_type_id)
    {
      return record.create;
    }
  }
  return nullptr;
}

void * ClassLoader::createRawInstance(
  const std::string & class_name, const std::string & base_type_id)
{
  impl::FactoryFunction create = findFactory(class_name, base_type_id);
  if (create == nullptr) {
    throw CreateClassException(
            "Could not create instance of type " + class_name + ": library " + library_path_ +
            (isLibraryLoaded() ? " registers no such class for the requested base type" :
            " is not loaded"));
  }
  return create();
}

}  // namespace class_loader
