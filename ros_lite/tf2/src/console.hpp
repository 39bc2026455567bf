#ifndef TF2__SRC__CONSOLE_HPP_
#define TF2__SRC__CONSOLE_HPP_

#include <string>

namespace tf2
{
namespace console
{

// tf2 has no node to log through; its complaints go to stderr.
void logWarn(const std::string & message);
void logError(const std::string & message);

}  // namespace console
}  // namespace tf2

#endif  // TF2__SRC__CONSOLE_HPP_
