// Implementation here must contain only Win32 specific code.
#include "platform/Thread.h"

#include "platform/windows_include.h"

namespace Orvel::platform {

void setThreadDescription(const std::wstring& name) {
  using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto function = reinterpret_cast<SetThreadDescriptionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (function != nullptr) function(GetCurrentThread(), name.c_str());
}

}  // namespace Orvel::platform
