#include "class_loader/class_loader_core.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace class_loader
{
namespace impl
{

namespace
{

struct Registry
{
  std::mutex mutex;
  std::vector<FactoryRecord> records;
};

// Built on first use, so registrations made during any library's static initialisation find it.
Registry & registry()
{
  static Registry instance;
  return instance;
}

std::string libraryContaining(const void * address)
{
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return "";
  }
  return info.dli_fname;
}

}  // namespace

void registerFactory(
  const std::string & derived_class_name, const std::string & base_class_name,
  const std::string & base_type_id, FactoryFunction create, const void * registration_site)
{
  FactoryRecord record{
    derived_class_name, base_class_name, base_type_id, create,
    libraryContaining(registration_site)};
  Registry & table = registry();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto same_class = std::find_if(
    table.records.begin(), table.records.end(), [&record](const FactoryRecord & existing) {
      return existing.derived_class_name == record.derived_class_name &&
      existing.base_type_id == record.base_type_id;
    });
  if (same_class == table.records.end()) {
    table.records.push_back(std::move(record));
    return;
  }
  std::fprintf(
    stderr, "class_loader: %s is registered twice for base %s (%s, then %s); the later one "
    "is used\n", record.derived_class_name.c_str(), record.base_class_name.c_str(),
    same_class->library_path.c_str(), record.library_path.c_str());
  *same_class = std::move(record);
}

std::vector<FactoryRecord> registeredFactories()
{
  Registry & table = registry();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.records;
}

bool isLibraryInProcess(const std::string & library_path)
{
  Registry & table = registry();
  std::lock_guard<std::mutex> lock(table.mutex);
  return std::any_of(
    table.records.begin(), table.records.end(), [&library_path](const FactoryRecord & record) {
      return record.library_path == library_path;
    });
}

}  // namespace impl
}  // namespace class_loader
