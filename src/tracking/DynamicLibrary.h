// One loaded plugin library, owned exclusively and unloaded on destruction.
#pragma once
#include <string>

#include "platform/SharedLibrary.h"

namespace Orvel {

class DynamicLibrary {
 public:
  // Loads the library. A failure is logged (with the path as narrowPath gives
  // it) and leaves the object not loaded; it never throws for a load failure.
  explicit DynamicLibrary(const platform::NativePath& path);
  ~DynamicLibrary();

  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool isLoaded() const { return handle_ != nullptr; }
  // The system loader's text for a load that failed, read at the failure; "" when loaded.
  const std::string& loadError() const { return loadError_; }

  // The address of an export, or null. A missing export is logged; with no
  // library loaded the result is null at once and nothing is logged.
  void* loadFunctionAddress(const std::string& name) const;

 private:
  platform::LibraryHandle handle_ = nullptr;
  std::string loadError_;
};

}  // namespace Orvel
