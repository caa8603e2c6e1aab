#include "platform/Thread.h"

#include "platform/TextEncoding.h"

#include <pthread.h>

namespace Orvel::platform {

void setThreadDescription(const std::wstring& name) {
  std::string narrow;
  std::uint32_t code = 0;
  if (!wideToUtf8(name, narrow, code)) return;
  // The kernel keeps 15 bytes and a terminator; cut on a character boundary.
  std::size_t length = narrow.size() < 15 ? narrow.size() : 15;
  while (length > 0 && length < narrow.size() && (static_cast<unsigned char>(narrow[length]) & 0xC0) == 0x80) --length;
  pthread_setname_np(pthread_self(), narrow.substr(0, length).c_str());
}

}  // namespace Orvel::platform
