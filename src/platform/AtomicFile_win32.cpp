// Implementation here must contain only Win32 specific code.
#include "platform/AtomicFile.h"

#include "platform/SystemError.h"
#include "platform/TemporaryFileList.h"
#include "platform/UniqueHandle_win32.h"
#include "platform/windows_include.h"

namespace Orvel::platform {

namespace {

TemporaryFileList temporaryFiles;

bool fail(DWORD error, std::string& errorText) {
  errorText = formatSystemError(error);
  return false;
}

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

// The path of the file that the path leads to, through symbolic links (the
// system resolves them as it opens the file; Wine also those of the file
// system below it); the path itself when nothing is there yet.
std::string followLinks(const std::string& path) {
  UniqueHandle target(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target) return path;
  char resolved[MAX_PATH * 4];
  const DWORD length = GetFinalPathNameByHandleA(target.get(), resolved, sizeof resolved, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= sizeof resolved) return path;
  return std::string(resolved, length);
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& errorText) {
  {
    // Something that is not a disk file (a console, NUL, a pipe) is written
    // where it is: a rename would replace it.
    UniqueHandle existing(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing && GetFileType(existing.get()) != FILE_TYPE_DISK) {
      return writeAll(existing.get(), contents) || fail(GetLastError(), errorText);
    }
  }
  const std::string destination = followLinks(path);
  const std::string temporary = destination + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  const int slot = temporaryFiles.add(temporary);
  UniqueHandle file(
      CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    temporaryFiles.remove(slot);
    return fail(error, errorText);
  }
  const bool written = writeAll(file.get(), contents);
  DWORD error = written ? ERROR_SUCCESS : GetLastError();
  // Closed before the rename, which a file still open would refuse.
  if (!file.reset() && error == ERROR_SUCCESS) error = GetLastError();
  if (error == ERROR_SUCCESS &&
      !MoveFileExA(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) DeleteFileA(temporary.c_str());
  temporaryFiles.remove(slot);
  return error == ERROR_SUCCESS || fail(error, errorText);
}

void removeTemporaryFiles() noexcept {
  temporaryFiles.removeAll([](const char* path) { DeleteFileA(path); });
}

}  // namespace Orvel::platform
