#ifndef PLUGINLIB_SRC__PACKAGE_INDEX_HPP_
#define PLUGINLIB_SRC__PACKAGE_INDEX_HPP_

#include <string>

namespace pluginlib
{
namespace impl
{

// Whether `package` is one of the packages this build provides (the stand-ins, the message
// packages and the project itself), as a package index would answer.
bool isKnownPackage(const std::string & package);

}  // namespace impl
}  // namespace pluginlib

#endif  // PLUGINLIB_SRC__PACKAGE_INDEX_HPP_
