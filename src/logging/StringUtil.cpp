#include "logging/StringUtil.h"

#include "platform/NarrowFormat.h"
#include "platform/TextEncoding.h"


namespace strutil {

std::wstring utf8ToWide(std::string_view text) {
  std::wstring out;
  std::uint32_t code = 0;
  if (!Orvel::platform::utf8ToWide(text, out, code)) throw StringConversionError(code);
  return out;
}

std::string wideToUtf8(std::wstring_view text) {
  std::string out;
  std::uint32_t code = 0;
  if (!Orvel::platform::wideToUtf8(text, out, code)) throw StringConversionError(code);
  return out;
}

}  // namespace strutil

namespace Orvel {

std::string formatStringV(std::size_t maxLength, const char* format, va_list args) noexcept {
  // Most texts fit the stack buffer; a longer one is formatted again into a
  // string of the length it keeps.
  char small[512];
  va_list again;
  va_copy(again, args);
  const int length = platform::formatNarrow(small, sizeof small, format, args);
  std::string text;
  if (length >= 0) {
    const std::size_t full = static_cast<std::size_t>(length);
    const std::size_t kept = full < maxLength ? full : maxLength;
    try {
      if (full < sizeof small) {
        text.assign(small, kept);
      } else {
        text.resize(kept + 1);
        platform::formatNarrow(&text[0], text.size(), format, again);
        text.resize(kept);
      }
    } catch (...) {
      try {
        text.assign(small, kept < sizeof small - 1 ? kept : sizeof small - 1);
      } catch (...) {
      }
    }
  }
  va_end(again);
  return text;
}

std::string formatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatStringV(kFormattedTextLimit, format, args);
  va_end(args);
  return text;
}

}  // namespace Orvel
