// Implementation here must contain only Win32 specific code.
#include "ProcessResources.h"

#include "platform/UniqueHandle_win32.h"

#include <cstdint>
#include <vector>

namespace Orvel::Test {

namespace {

// One entry of the system's handle table (SystemHandleInformation, class 16).
struct SystemHandleEntry {
  ULONG ownerProcessId;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};

struct SystemHandleTable {
  ULONG count;
  SystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG informationClass, PVOID buffer, ULONG length, PULONG needed);

// The handles of this process in the system's handle table, for systems
// whose GetProcessHandleCount answers nothing (Wine); 0 when unavailable.
std::size_t handlesInSystemTable() {
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<std::uint8_t> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status < 0) return 0;
    break;
  }
  const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
  const DWORD self = GetCurrentProcessId();
  std::size_t count = 0;
  for (ULONG i = 0; i < table->count; ++i) {
    if (table->entries[i].ownerProcessId == self) ++count;
  }
  return count;
}

}  // namespace

std::size_t handleCount() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  return handlesInSystemTable();
}

}  // namespace Orvel::Test
