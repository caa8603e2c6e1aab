// Texts for operating-system error codes. On Windows the codes are Win32
// error codes (GetLastError); elsewhere they are errno values.
#pragma once
#include <cstdint>
#include <string>

namespace Orvel {

// "0x" + the code in upper-case hexadecimal without leading zeros, then, when
// the system has a message for it, ": " and that message without trailing line
// ends. Never throws: a failure while building the text gives "".
std::string formatSystemError(std::uint32_t code);

// formatSystemError(lastSystemErrorCode()), or "" when that code is 0.
std::string lastSystemErrorText();

// The system's own message for code, as the system gives it (line ends
// included): FormatMessageA on Windows, strerror_r elsewhere. False when the
// system has none. May throw the standard allocation failure.
bool systemErrorMessage(std::uint32_t code, std::string& message);

// The calling thread's last error code (GetLastError / errno).
std::uint32_t lastSystemErrorCode();
void setLastSystemErrorCode(std::uint32_t code);

}  // namespace Orvel
