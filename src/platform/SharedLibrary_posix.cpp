#include "platform/SharedLibrary.h"

#include "platform/TextEncoding.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace Orvel::platform {

namespace {
// dlerror() is per thread and cleared by reading it; keep the last text so that
// the caller can read it after logging or other calls in between.
thread_local std::string lastError;

std::string takeDlError() {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : std::string();
}
}  // namespace

LibraryHandle loadLibrary(const std::wstring& path) {
  std::string narrow;
  std::uint32_t code = 0;
  if (!wideToUtf8(path, narrow, code)) {
    lastError = "invalid characters in library path";
    return nullptr;
  }
  if (narrow.empty()) {
    // dlopen("") would hand back the main program; an empty path names no library.
    lastError = "empty library path";
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(narrow.c_str(), RTLD_NOW | RTLD_LOCAL);
  lastError = handle != nullptr ? std::string() : takeDlError();
  return handle;
}

void* findSymbol(LibraryHandle library, const char* name) {
  dlerror();
  void* symbol = dlsym(library, name);
  lastError = symbol != nullptr ? std::string() : takeDlError();
  return symbol;
}

void freeLibrary(LibraryHandle library) { dlclose(library); }

std::string lastLibraryErrorText() { return lastError; }

std::wstring expandEnvironmentStrings(const std::wstring& text) {
  std::wstring result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find(L'%', pos);
    if (open == std::wstring::npos) break;
    const std::size_t close = text.find(L'%', open + 1);
    if (close == std::wstring::npos) break;
    result.append(text, pos, open - pos);
    const std::wstring name = text.substr(open + 1, close - open - 1);
    std::string narrowName;
    std::wstring wideValue;
    std::uint32_t code = 0;
    const char* value = nullptr;
    if (!name.empty() && wideToUtf8(name, narrowName, code)) value = std::getenv(narrowName.c_str());
    if (value != nullptr && utf8ToWide(value, wideValue, code)) {
      result += wideValue;
      pos = close + 1;
    } else {
      // Not a defined variable: keep the first '%' and go on from the second,
      // which may open a reference of its own ("%a%b%" with only b defined).
      result.append(text, open, close - open);
      pos = close;
    }
  }
  result.append(text, pos, std::wstring::npos);
  return result;
}

// libstdc++ converts wide paths with the C locale, which refuses every
// character beyond ASCII; paths are UTF-8 here, so convert explicitly.
std::wstring widenLibraryPath(const std::string& path) {
  std::wstring wide;
  std::uint32_t code = 0;
  if (!utf8ToWide(path, wide, code)) {
    throw std::filesystem::filesystem_error("Cannot convert character sequence",
                                            std::error_code(static_cast<int>(code), std::generic_category()));
  }
  return wide;
}

std::wstring libraryFolder(const std::wstring& path) {
  // Worked out on the text itself: a listing asks this for every load.
  const std::size_t lastSeparator = path.rfind(L'/');
  if (lastSeparator == std::wstring::npos) return {};
  std::size_t end = lastSeparator;
  while (end > 0 && path[end - 1] == L'/') --end;  // the separators before the last element go too
  if (end == 0) return L"/";                       // except the root
  return path.substr(0, end);
}

DllDirectoryCookie addDllDirectory(const std::wstring&) { return nullptr; }

void removeDllDirectory(DllDirectoryCookie) {}

void useDefaultDllDirectories() {}

}  // namespace Orvel::platform
