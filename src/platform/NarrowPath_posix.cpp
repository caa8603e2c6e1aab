#include "platform/NarrowPath.h"

namespace Orvel::platform {

std::string narrowPath(const std::filesystem::path& path) { return path.native(); }

}  // namespace Orvel::platform
