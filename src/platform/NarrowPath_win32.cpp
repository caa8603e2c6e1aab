// Implementation here must contain only Win32 specific code.
#include "platform/NarrowPath.h"

#include "platform/TextEncoding.h"
#include "platform/windows_include.h"

#include <climits>
#include <system_error>

namespace Orvel::platform {

namespace {
// The code page in which the narrow file functions (CreateFileA, LoadLibraryA,
// the C library's fopen) read paths: ANSI, or OEM after SetFileApisToOEM.
UINT fileFunctionsCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

[[noreturn]] void throwConversionError(DWORD code) {
  throw std::filesystem::filesystem_error("Cannot convert character sequence",
                                          std::error_code(static_cast<int>(code), std::system_category()));
}
}  // namespace

std::string narrowPath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const UINT codePage = fileFunctionsCodePage();
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, 0, wide.data(), length, narrow.data(), size, nullptr, nullptr) != size) return {};
  return narrow;
}

NativePath nativePath(std::string_view narrow) {
  if (narrow.empty()) return {};
  if (narrow.size() > INT_MAX) throwConversionError(ERROR_FILENAME_EXCED_RANGE);
  const UINT codePage = fileFunctionsCodePage();
  const int length = static_cast<int>(narrow.size());
  const int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), length, nullptr, 0);
  if (size <= 0) throwConversionError(GetLastError());
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), length, wide.data(), size) != size) {
    throwConversionError(GetLastError());
  }
  return wide;
}

bool utf8ToNativePath(std::string_view text, NativePath& out, std::uint32_t& errorCode) {
  return utf8ToWide(text, out, errorCode);
}

}  // namespace Orvel::platform
