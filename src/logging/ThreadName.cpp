#include "logging/ThreadName.h"

#include "logging/StringUtil.h"
#include "platform/Thread.h"

#include <exception>

namespace Orvel {

void setCurrentThreadName(const std::string& name) {
  try {
    platform::setThreadDescription(strutil::utf8ToWide(name.substr(0, 127)));
  } catch (const std::exception&) {
    // A name that cannot be converted leaves the thread unnamed.
  }
}

}  // namespace Orvel
