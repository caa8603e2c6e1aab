// Implementation here must contain only Win32 specific code.
#include "platform/SharedLibrary.h"

#include "platform/SystemError.h"
#include "platform/windows_include.h"

#include <filesystem>

namespace Orvel::platform {

LibraryHandle loadLibrary(const NativePath& path) { return LoadLibraryW(path.c_str()); }

void* findSymbol(LibraryHandle library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(LibraryHandle library) { FreeLibrary(static_cast<HMODULE>(library)); }

void keepMathLibraryLoaded() {}

std::string lastLibraryErrorText() { return lastSystemErrorText(); }

NativePath expandEnvironmentStrings(const NativePath& text) {
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring result(size, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), result.data(), size);
  if (written == 0 || written > size) return {};
  result.resize(written - 1);  // drop the terminating NUL that the count includes
  return result;
}

NativePath libraryFolder(const NativePath& path) { return std::filesystem::path(path).parent_path().native(); }

DllDirectoryCookie addDllDirectory(const NativePath& directory) { return AddDllDirectory(directory.c_str()); }

void removeDllDirectory(DllDirectoryCookie cookie) {
  if (cookie != nullptr) RemoveDllDirectory(cookie);
}

void useDefaultDllDirectories() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS); }

}  // namespace Orvel::platform
