#include "logging/StringUtil.h"

#include "platform/NarrowFormat.h"
#include "platform/TextEncoding.h"

#include <cstdarg>
#include <cstdio>

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

std::string formatString(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  const int length = platform::formatNarrow(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return {};
  // A longer text is cut to what the buffer holds rather than lost.
  const std::size_t kept = static_cast<std::size_t>(length) < sizeof buffer ? static_cast<std::size_t>(length) : sizeof buffer - 1;
  return std::string(buffer, kept);
}

}  // namespace Orvel
