// A plugin library together with the DLL search path entry made for it.
#pragma once
#include <memory>
#include <string>

#include "platform/SharedLibrary.h"
#include "tracking/DynamicLibrary.h"

namespace Orvel {

class RuntimeDLL {
 public:
  // Loads the plugin with its folder on the DLL search path (prepareDllDirectory).
  explicit RuntimeDLL(const platform::NativePath& pluginPath);
  // Removes the search path entry first, then unloads the library.
  ~RuntimeDLL();

  RuntimeDLL(const RuntimeDLL&) = delete;
  RuntimeDLL& operator=(const RuntimeDLL&) = delete;

  // Always held in shared ownership: the library stays loaded while any owner lives.
  static std::shared_ptr<RuntimeDLL> create(const platform::NativePath& pluginPath);

  const DynamicLibrary& library() const { return library_; }
  // The path as it was loaded: %NAME% references expanded.
  const platform::NativePath& expandedPath() const { return expandedPath_; }

 private:
  // Declared before the library: it is set while the library is constructed,
  // and the destructor releases it before the library goes.
  platform::DllDirectoryCookie dllDirectoryCookie_ = nullptr;
  platform::NativePath expandedPath_;
  DynamicLibrary library_;
};

}  // namespace Orvel
