#ifndef CLASS_LOADER_SRC__LOGGING_HPP_
#define CLASS_LOADER_SRC__LOGGING_HPP_

#include <string>

namespace class_loader
{
namespace impl
{

// Warnings and errors go to stderr the way class_loader's console logging prints them; debug
// chatter is not printed, as with that logging's default level.
void logWarning(const std::string & message);
void logError(const std::string & message);

}  // namespace impl
}  // namespace class_loader

#endif  // CLASS_LOADER_SRC__LOGGING_HPP_
