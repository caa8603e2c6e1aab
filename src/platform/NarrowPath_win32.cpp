// Implementation here must contain only Win32 specific code.
#include "platform/NarrowPath.h"

#include "platform/windows_include.h"

#include <climits>

namespace Orvel::platform {

std::string narrowPath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, 0, wide.data(), length, narrow.data(), size, nullptr, nullptr) != size) return {};
  return narrow;
}

}  // namespace Orvel::platform
