#include "tracking/DynamicLibrary.h"

#include "logging/Log.h"

namespace Orvel {

DynamicLibrary::DynamicLibrary(const platform::NativePath& path) : handle_(platform::loadLibrary(path)) {
  if (handle_ == nullptr) {
    // Read the error before anything else can overwrite it.
    loadError_ = platform::lastLibraryErrorText();
    const std::string& error = loadError_;
    // The path as narrow text, whole: every character the code page lacks is
    // its default character on Windows, and Linux writes the bytes as given.
    LOG_ERROR("Unable to load DLL '%s' because of error: '%s'", platform::narrowPath(path).c_str(), error.c_str());
  }
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) platform::freeLibrary(handle_);
}

void* DynamicLibrary::loadFunctionAddress(const std::string& name) const {
  if (handle_ == nullptr) return nullptr;
  void* address = platform::findSymbol(handle_, name.c_str());
  if (address == nullptr) {
    const std::string error = platform::lastLibraryErrorText();
    LOG_ERROR("Unable to load function %s because of error: '%s'", name.c_str(), error.c_str());
  }
  return address;
}

}  // namespace Orvel
