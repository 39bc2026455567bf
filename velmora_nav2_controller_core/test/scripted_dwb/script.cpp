#include "scripted_dwb/script.hpp"

namespace scripted_dwb
{

Script & script()
{
  static Script instance;
  return instance;
}

}  // namespace scripted_dwb
