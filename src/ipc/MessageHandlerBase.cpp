#include "ipc/MessageHandlerBase.h"

namespace Orvel {

std::shared_ptr<ILayerByteMessageParser> MessageHandlerBase::findParser(const std::string& name) {
  std::lock_guard<std::mutex> lock(parsersMutex_);
  const auto found = parsers_.find(name);
  return found != parsers_.end() ? found->second : nullptr;
}

}  // namespace Orvel
