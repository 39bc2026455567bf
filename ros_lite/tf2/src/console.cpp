#include "console.hpp"

#include <iostream>
#include <mutex>

namespace tf2
{
namespace console
{

namespace
{
std::mutex & outputMutex()
{
  static std::mutex mutex;
  return mutex;
}
}  // namespace

void logWarn(const std::string & message)
{
  std::lock_guard<std::mutex> lock(outputMutex());
  std::cerr << "[WARN] [tf2]: " << message << std::endl;
}

void logError(const std::string & message)
{
  std::lock_guard<std::mutex> lock(outputMutex());
  std::cerr << "[ERROR] [tf2]: " << message << std::endl;
}

}  // namespace console
}  // namespace tf2
