// Strict conversion between UTF-8 and the platform's wide strings (UTF-16 on
// Windows, UTF-32 where wchar_t is 32 bits). Invalid input is refused, never
// replaced. On failure the result is false and errorCode holds the system's
// code for it (ERROR_NO_UNICODE_TRANSLATION on Windows, EILSEQ elsewhere).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace Orvel::platform {

bool utf8ToWide(std::string_view text, std::wstring& out, std::uint32_t& errorCode);
bool wideToUtf8(std::wstring_view text, std::string& out, std::uint32_t& errorCode);

}  // namespace Orvel::platform
