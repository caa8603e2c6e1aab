#include "platform/NarrowFormat.h"

#include <cerrno>
#include <cstdio>
#include <locale.h>

namespace Orvel::platform {

namespace {

// Loaded on the first message that needs it, then kept for the process.
locale_t utf8CharacterType() {
  static const locale_t locale = [] {
    locale_t made = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (made == static_cast<locale_t>(0)) made = ::newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    return made;
  }();
  return locale;
}

}  // namespace

int formatNarrow(char* buffer, std::size_t size, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  errno = 0;
  int length = std::vsnprintf(buffer, size, format, args);
  if (length < 0 && errno == EILSEQ) {
    const locale_t utf8 = utf8CharacterType();
    if (utf8 != static_cast<locale_t>(0)) {
      const locale_t previous = ::uselocale(utf8);
      length = std::vsnprintf(buffer, size, format, again);
      ::uselocale(previous);
    }
  }
  va_end(again);
  return length;
}

}  // namespace Orvel::platform
