#include "platform/NarrowPath.h"

namespace Orvel::platform {

// A path is bytes here: nothing to convert in either direction.
std::string narrowPath(const std::filesystem::path& path) { return path.native(); }

NativePath nativePath(std::string_view narrow) { return NativePath(narrow); }

bool utf8ToNativePath(std::string_view text, NativePath& out, std::uint32_t&) {
  out.assign(text);
  return true;
}

}  // namespace Orvel::platform
