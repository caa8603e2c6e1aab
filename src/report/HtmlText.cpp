#include "report/HtmlText.h"

#include "report/XmlText.h"

namespace Orvel::Report {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kCarriageReturn = "&#13;";

// The code point of the valid UTF-8 sequence at `text[i]` and its length.
char32_t codePointAt(const std::string& text, std::size_t i, std::size_t& length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (byte(k) & 0x3F);
  return value;
}

bool forbiddenInHtml(char32_t c) {
  return c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

}  // namespace

std::string htmlText(std::string_view text) {
  const std::string escaped = xmlAttribute(text);  // valid UTF-8 from here on
  std::string result;
  result.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size();) {
    if (escaped.compare(i, kCarriageReturn.size(), kCarriageReturn) == 0) {
      result += "&#10;";
      i += kCarriageReturn.size();
      continue;
    }
    std::size_t length = 1;
    const char32_t c = codePointAt(escaped, i, length);
    if (forbiddenInHtml(c)) {
      result += kReplacement;
    } else {
      result.append(escaped, i, length);
    }
    i += length;
  }
  return result;
}

}  // namespace Orvel::Report
