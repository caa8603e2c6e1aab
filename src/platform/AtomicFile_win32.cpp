// Implementation here must contain only Win32 specific code.
#include "platform/AtomicFile.h"

#include "platform/SystemError.h"
#include "platform/UniqueHandle_win32.h"
#include "platform/windows_include.h"

namespace Orvel::platform {

namespace {

bool writeAll(HANDLE file, const std::string& contents) {
  std::size_t written = 0;
  while (written < contents.size()) {
    const std::size_t left = contents.size() - written;
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD done = 0;
    if (!WriteFile(file, contents.data() + written, chunk, &done, nullptr)) return false;
    written += done;
  }
  return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText) {
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  UniqueHandle file(
      CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    errorText = formatSystemError(GetLastError());
    return false;
  }
  const bool written = writeAll(file.get(), contents);
  DWORD error = written ? ERROR_SUCCESS : GetLastError();
  // Closed before the rename, which a file still open would refuse.
  if (!file.reset() && error == ERROR_SUCCESS) error = GetLastError();
  if (error == ERROR_SUCCESS &&
      !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error == ERROR_SUCCESS) return true;
  DeleteFileA(temporary.c_str());
  errorText = formatSystemError(error);
  return false;
}

}  // namespace Orvel::platform
