#include "ipc/ReadWritePipe.h"

#include "platform/SystemError.h"

namespace Orvel {

std::string ReadWritePipe::getErrorMessage() const {
  const std::uint32_t code = getErrorCode();
  return code == 0 ? std::string() : formatSystemError(code);
}

}  // namespace Orvel
