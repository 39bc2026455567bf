// Whether the dynamic linker still has a library in this process: what loading and unloading
// must change, seen from outside the loader.
#ifndef PLUGINLIB_TEST__MAPPED_LIBRARY_HPP_
#define PLUGINLIB_TEST__MAPPED_LIBRARY_HPP_

#include <dlfcn.h>

#include <string>

inline bool isMapped(const std::string & path)
{
  void * handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) {
    return false;
  }
  dlclose(handle);
  return true;
}

#endif  // PLUGINLIB_TEST__MAPPED_LIBRARY_HPP_
