// Implementation here must contain only Win32 specific code.
#include "platform/TextEncoding.h"

#include "platform/windows_include.h"

#include <climits>

namespace Orvel::platform {

bool utf8ToWide(std::string_view text, std::wstring& out, std::uint32_t& errorCode) {
  out.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX) {
    errorCode = ERROR_INVALID_PARAMETER;
    return false;
  }
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) {
    errorCode = GetLastError();
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), size) != size) {
    errorCode = GetLastError();
    out.clear();
    return false;
  }
  return true;
}

bool wideToUtf8(std::wstring_view text, std::string& out, std::uint32_t& errorCode) {
  out.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX) {
    errorCode = ERROR_INVALID_PARAMETER;
    return false;
  }
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    errorCode = GetLastError();
    return false;
  }
  out.resize(static_cast<std::size_t>(size));
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, out.data(), size, nullptr, nullptr) !=
      size) {
    errorCode = GetLastError();
    out.clear();
    return false;
  }
  return true;
}

}  // namespace Orvel::platform
