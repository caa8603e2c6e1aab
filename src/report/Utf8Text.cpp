#include "report/Utf8Text.h"

#include "platform/Utf8Sequence.h"

namespace Orvel::Report {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string validUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = platform::utf8SequenceLength(text);
    if (length == 0) {
      result += kReplacement;
      text.remove_prefix(1);
    } else {
      result += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return result;
}

}  // namespace Orvel::Report
