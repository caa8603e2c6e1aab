// A file-system path as narrow text for report output.
#pragma once
#include <filesystem>
#include <string>

namespace Orvel::platform {

// Windows: the path in the code page of the file functions (ANSI, or OEM
// after SetFileApisToOEM); a character that code page lacks becomes its
// default character, so the conversion never fails. Elsewhere: the path's
// own bytes.
std::string narrowPath(const std::filesystem::path& path);

}  // namespace Orvel::platform
