#ifndef CLASS_LOADER__CLASS_LOADER_CORE_HPP_
#define CLASS_LOADER__CLASS_LOADER_CORE_HPP_

#include <string>
#include <typeinfo>
#include <vector>

namespace class_loader
{
namespace impl
{

// Creates one object of the registered class and returns it as a pointer to the base it was
// registered with (type-erased; the caller casts back to exactly that base).
using FactoryFunction = void * (*)();

// One class made available by CLASS_LOADER_REGISTER_CLASS.
struct FactoryRecord
{
  std::string derived_class_name;  // as spelled in the registration macro
  std::string base_class_name;     // as spelled in the registration macro
  std::string base_type_id;        // typeid(Base).name(): what creation is checked against
  FactoryFunction create{nullptr};
  std::string library_path;        // the shared object (or executable) holding the registration
};

// Plugins are linked into the process instead of being opened at run time: every registration
// runs during static initialisation of the library that holds it and lands in one process-wide
// table, which lives in the shared pluginlib library so that all libraries see the same one.
// `registration_site` is any object of the registering library; it tells which library that is.
// A second registration of the same class for the same base replaces the first, with a warning.
void registerFactory(
  const std::string & derived_class_name, const std::string & base_class_name,
  const std::string & base_type_id, FactoryFunction create, const void * registration_site);

// A snapshot of every registration made so far.
std::vector<FactoryRecord> registeredFactories();

// Whether any registered class comes from the library at `library_path`, i.e. whether that
// library is part of this process.
bool isLibraryInProcess(const std::string & library_path);

template<class Derived, class Base>
void * createObject()
{
  return static_cast<Base *>(new Derived());
}

template<class Derived, class Base>
void registerPlugin(
  const std::string & derived_class_name, const std::string & base_class_name,
  const void * registration_site)
{
  registerFactory(
    derived_class_name, base_class_name, typeid(Base).name(), &createObject<Derived, Base>,
    registration_site);
}

}  // namespace impl
}  // namespace class_loader

#endif  // CLASS_LOADER__CLASS_LOADER_CORE_HPP_
