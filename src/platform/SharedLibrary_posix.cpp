#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

#if __has_include(<gnu/lib-names.h>)
#include <gnu/lib-names.h>  // LIBM_SO, the math library's file name
#endif

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

LibraryHandle loadLibrary(const NativePath& path) {
  if (path.empty()) {
    // dlopen("") would hand back the main program; an empty path names no library.
    lastError = "empty library path";
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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

void keepMathLibraryLoaded() {
#ifdef LIBM_SO
  // Loaded once and never closed; when it cannot be loaded, each plugin that
  // needs it loads it itself (or fails to load, saying why).
  static void* const library = dlopen(LIBM_SO, RTLD_NOW | RTLD_LOCAL);
  static_cast<void>(library);
#endif
}

std::string lastLibraryErrorText() { return lastError; }

// Names and values are bytes, like the paths: nothing is converted.
NativePath expandEnvironmentStrings(const NativePath& text) {
  NativePath result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    if (open == NativePath::npos) break;
    const std::size_t close = text.find('%', open + 1);
    if (close == NativePath::npos) break;
    result.append(text, pos, open - pos);
    const NativePath name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      result += value;
      pos = close + 1;
    } else {
      // Not a defined variable: keep the first '%' and go on from the second,
      // which may open a reference of its own ("%a%b%" with only b defined).
      result.append(text, open, close - open);
      pos = close;
    }
  }
  result.append(text, pos, NativePath::npos);
  return result;
}

NativePath libraryFolder(const NativePath& path) {
  // Worked out on the text itself: a listing asks this for every load.
  const std::size_t lastSeparator = path.rfind('/');
  if (lastSeparator == NativePath::npos) return {};
  std::size_t end = lastSeparator;
  while (end > 0 && path[end - 1] == '/') --end;  // the separators before the last element go too
  if (end == 0) return "/";                       // except the root
  return path.substr(0, end);
}

DllDirectoryCookie addDllDirectory(const NativePath&) { return nullptr; }

void removeDllDirectory(DllDirectoryCookie) {}

void useDefaultDllDirectories() {}

}  // namespace Orvel::platform
