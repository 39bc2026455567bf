#ifndef CLASS_LOADER__EXCEPTIONS_HPP_
#define CLASS_LOADER__EXCEPTIONS_HPP_

#include <stdexcept>
#include <string>

namespace class_loader
{

class ClassLoaderException : public std::runtime_error
{
public:
  explicit ClassLoaderException(const std::string & error_desc)
  : std::runtime_error(error_desc) {}
};

class LibraryLoadException : public ClassLoaderException
{
public:
  explicit LibraryLoadException(const std::string & error_desc)
  : ClassLoaderException(error_desc) {}
};

class LibraryUnloadException : public ClassLoaderException
{
public:
  explicit LibraryUnloadException(const std::string & error_desc)
  : ClassLoaderException(error_desc) {}
};

class CreateClassException : public ClassLoaderException
{
public:
  explicit CreateClassException(const std::string & error_desc)
  : ClassLoaderException(error_desc) {}
};

class NoClassLoaderExistsException : public ClassLoaderException
{
public:
  explicit NoClassLoaderExistsException(const std::string & error_desc)
  : ClassLoaderException(error_desc) {}
};

}  // namespace class_loader

#endif  // CLASS_LOADER__EXCEPTIONS_HPP_
