#include "tracking/RuntimeDLL.h"

#include "tracking/PrepareDllDirectory.h"

namespace Orvel {

RuntimeDLL::RuntimeDLL(const platform::NativePath& pluginPath)
    : expandedPath_(prepareDllDirectory(pluginPath, dllDirectoryCookie_)), library_(expandedPath_) {}

RuntimeDLL::~RuntimeDLL() {
  if (dllDirectoryCookie_ != nullptr) platform::removeDllDirectory(dllDirectoryCookie_);
}

std::shared_ptr<RuntimeDLL> RuntimeDLL::create(const platform::NativePath& pluginPath) {
  return std::make_shared<RuntimeDLL>(pluginPath);
}

}  // namespace Orvel
