// Implementation here must contain only Win32 specific code.
#include "platform/TextEncoding.h"

#include "platform/windows_include.h"

#include <climits>

namespace Orvel::platform {

namespace {

// Both directions call the system twice: once for the converted length, once
// to convert. `convert` has the shape (input, input length, output, output
// size) -> converted length, 0 on failure, like the two system functions.
template <typename Input, typename Output, typename Convert>
bool convertText(Input text, Output& out, std::uint32_t& errorCode, Convert convert) {
  out.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX) {
    errorCode = ERROR_INVALID_PARAMETER;
    return false;
  }
  const int length = static_cast<int>(text.size());
  const int size = convert(text.data(), length, nullptr, 0);
  if (size <= 0) {
    errorCode = GetLastError();
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  if (convert(text.data(), length, out.data(), size) != size) {
    errorCode = GetLastError();
    out.clear();
    return false;
  }
  return true;
}

}  // namespace

bool utf8ToWide(std::string_view text, std::wstring& out, std::uint32_t& errorCode) {
  return convertText(text, out, errorCode, [](const char* input, int length, wchar_t* output, int size) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, input, length, output, size);
  });
}

bool wideToUtf8(std::wstring_view text, std::string& out, std::uint32_t& errorCode) {
  return convertText(text, out, errorCode, [](const wchar_t* input, int length, char* output, int size) {
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, input, length, output, size, nullptr, nullptr);
  });
}

}  // namespace Orvel::platform
