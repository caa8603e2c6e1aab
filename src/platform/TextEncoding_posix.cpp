#include "platform/TextEncoding.h"

#include <cerrno>

#include "platform/Utf8Sequence.h"

namespace Orvel::platform {

namespace {
bool isScalarValue(char32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }
}  // namespace

bool utf8ToWide(std::string_view text, std::wstring& out, std::uint32_t& errorCode) {
  // Never more characters than bytes: written in place, then cut to length.
  out.resize(text.size());
  std::size_t written = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::string_view rest = text.substr(i);
    const std::size_t length = utf8SequenceLength(rest);
    if (length == 0) break;
    out[written++] = static_cast<wchar_t>(utf8SequenceValue(rest, length));
    i += length;
  }
  out.resize(written);
  if (i != text.size()) {
    out.clear();
    errorCode = EILSEQ;
    return false;
  }
  return true;
}

bool wideToUtf8(std::wstring_view text, std::string& out, std::uint32_t& errorCode) {
  // The length first, then every byte written in place.
  std::size_t length = 0;
  for (const wchar_t wc : text) {
    const auto c = static_cast<char32_t>(wc);
    if (!isScalarValue(c)) {
      out.clear();
      errorCode = EILSEQ;
      return false;
    }
    length += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  }
  out.resize(length);
  char* next = out.data();
  for (const wchar_t wc : text) {
    const auto c = static_cast<char32_t>(wc);
    if (c < 0x80) {
      *next++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *next++ = static_cast<char>(0xC0 | (c >> 6));
      *next++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *next++ = static_cast<char>(0xE0 | (c >> 12));
      *next++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *next++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *next++ = static_cast<char>(0xF0 | (c >> 18));
      *next++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *next++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *next++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

}  // namespace Orvel::platform
