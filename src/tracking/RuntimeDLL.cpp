#include "tracking/RuntimeDLL.h"

#include "tracking/PrepareDllDirectory.h"

namespace Orvel {

RuntimeDLL::RuntimeDLL(const platform::NativePath& pluginPath)
    : library_(prepareDllDirectory(pluginPath, dllDirectoryCookie_)) {}

RuntimeDLL::~RuntimeDLL() {
  if (dllDirectoryCookie_ != nullptr) platform::removeDllDirectory(dllDirectoryCookie_);
}

std::shared_ptr<RuntimeDLL> RuntimeDLL::create(const platform::NativePath& pluginPath) {
  return std::make_shared<RuntimeDLL>(pluginPath);
}

}  // namespace Orvel
