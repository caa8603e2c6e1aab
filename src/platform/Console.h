// Console, debugger and standard stream services used by the logger.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Orvel::platform {

// True when the variable exists and its value, with a terminator, fits into
// bufferSize bytes (getenv_s semantics: a longer value counts as absent).
bool environmentVariableFits(const char* name, std::size_t bufferSize);

// The null device ("NUL" / "/dev/null") opened for writing; null on failure.
std::FILE* openNullDevice();

// Puts the stream into text mode (CR LF line ends on Windows; nothing elsewhere).
void setTextMode(std::FILE* stream);

// True when the stream is standard output and standard output is a terminal.
bool isConsoleStandardOutput(std::FILE* stream);

// True when standard error is a terminal that takes a carriage return and
// the erase-to-end-of-line sequence (ESC [ K): on Windows a console, whose
// processing of such sequences this turns on (false when it cannot) until
// restoreTerminalStandardError.
bool prepareTerminalStandardError();
// Gives the console of standard error back the mode it had before
// prepareTerminalStandardError changed it; safe in a signal handler.
void restoreTerminalStandardError();

// Writes the bytes to standard error in one call past the C library's
// buffer; safe in a signal handler.
void writeStandardErrorAtOnce(const char* bytes, std::size_t size);

// The width of the terminal of standard error in columns; 0 when not known.
int terminalStandardErrorColumns();

// Sets the console text attribute of standard output (SetConsoleTextAttribute;
// on Linux the ANSI colour sequence: red for 0x0C, yellow for 0x0E, reset for
// anything else). Only call it when isConsoleStandardOutput holds.
void setConsoleTextAttribute(std::uint16_t attribute);

// Sends a UTF-8 line to the debugger: as UTF-16 through OutputDebugStringW, or
// as raw bytes through OutputDebugStringA when it is not valid UTF-8. Linux has
// no debugger channel; nothing happens there.
void debuggerOutput(const std::string& line);

}  // namespace Orvel::platform
