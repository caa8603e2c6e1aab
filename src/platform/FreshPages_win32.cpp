#include "platform/FreshPages.h"

namespace Orvel::platform {

bool makePagesPresent(void*, std::size_t) { return false; }

}  // namespace Orvel::platform
