#include "report/XmlText.h"

#include "report/Utf8Text.h"

namespace Orvel::Report {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string xmlAttribute(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string result;
  result.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const char c = valid[i];
    switch (c) {
      case '&': result += "&amp;"; continue;
      case '<': result += "&lt;"; continue;
      case '>': result += "&gt;"; continue;
      case '"': result += "&quot;"; continue;
      case '\'': result += "&apos;"; continue;
      case '\t': result += "&#9;"; continue;
      case '\n': result += "&#10;"; continue;
      case '\r': result += "&#13;"; continue;
      default: break;
    }
    if (static_cast<unsigned char>(c) < 0x20) {
      result += kReplacement;
    } else if (valid.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < valid.size() &&
               (valid[i + 2] == '\xBE' || valid[i + 2] == '\xBF')) {
      result += kReplacement;  // U+FFFE, U+FFFF
      i += 2;
    } else {
      result += c;
    }
  }
  return result;
}

std::string xmlNamedAttribute(const char* name, std::string_view value) {
  return std::string(" ") + name + "=\"" + xmlAttribute(value) + "\"";
}

}  // namespace Orvel::Report
