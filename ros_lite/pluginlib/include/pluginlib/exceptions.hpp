#ifndef PLUGINLIB__EXCEPTIONS_HPP_
#define PLUGINLIB__EXCEPTIONS_HPP_

#include <stdexcept>
#include <string>

namespace pluginlib
{

class PluginlibException : public std::runtime_error
{
public:
  explicit PluginlibException(const std::string & error_desc)
  : std::runtime_error(error_desc) {}
};

class InvalidXMLException : public PluginlibException
{
public:
  explicit InvalidXMLException(const std::string & error_desc)
  : PluginlibException(error_desc) {}
};

class LibraryLoadException : public PluginlibException
{
public:
  explicit LibraryLoadException(const std::string & error_desc)
  : PluginlibException(error_desc) {}
};

class ClassLoaderException : public PluginlibException
{
public:
  explicit ClassLoaderException(const std::string & error_desc)
  : PluginlibException(error_desc) {}
};

class LibraryUnloadException : public PluginlibException
{
public:
  explicit LibraryUnloadException(const std::string & error_desc)
  : PluginlibException(error_desc) {}
};

class CreateClassException : public PluginlibException
{
public:
  explicit CreateClassException(const std::string & error_desc)
  : PluginlibException(error_desc) {}
};

}  // namespace pluginlib

#endif  // PLUGINLIB__EXCEPTIONS_HPP_
