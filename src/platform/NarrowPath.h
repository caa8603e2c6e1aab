// File-system paths as narrow text and back. The command line, the report and
// the listing's Found line carry paths as narrow text; the file functions take
// the native form.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace Orvel::platform {

// A path as the file functions take it: UTF-16 on Windows, bytes elsewhere.
using NativePath = std::filesystem::path::string_type;

// Windows: the path in the code page of the file functions (ANSI, or OEM
// after SetFileApisToOEM); a character that code page lacks becomes its
// default character, so the conversion never fails. Elsewhere: the path's
// own bytes.
std::string narrowPath(const std::filesystem::path& path);

// The reverse, for a path typed on the command line. Windows: read in the code
// page of the file functions; a byte sequence that code page does not define
// throws std::filesystem::filesystem_error. Elsewhere: the bytes as given,
// whatever they are, never a conversion.
NativePath nativePath(std::string_view narrow);

// A path written as UTF-8 (a manifest's) in native form. Windows: converted
// strictly to UTF-16, false with the system's error code for text that is not
// valid UTF-8. Elsewhere: the bytes as given.
bool utf8ToNativePath(std::string_view text, NativePath& out, std::uint32_t& errorCode);

}  // namespace Orvel::platform
