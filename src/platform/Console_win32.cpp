// Implementation here must contain only Win32 specific code.
#include "platform/Console.h"

#include "platform/TextEncoding.h"
#include "platform/windows_include.h"

#include <atomic>
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

namespace Orvel::platform {

bool environmentVariableFits(const char* name, std::size_t bufferSize) {
  std::string buffer(bufferSize, '\0');
  std::size_t required = 0;
  if (getenv_s(&required, buffer.data(), buffer.size(), name) != 0) return false;
  return required != 0;
}

std::FILE* openNullDevice() {
  std::FILE* stream = nullptr;
  if (fopen_s(&stream, "NUL", "w") != 0) return nullptr;
  return stream;
}

void setTextMode(std::FILE* stream) {
  if (stream != nullptr) _setmode(_fileno(stream), _O_TEXT);
}

bool isConsoleStandardOutput(std::FILE* stream) {
  if (stream != stdout) return false;
  const int descriptor = _fileno(stdout);
  return descriptor >= 0 && _isatty(descriptor) != 0;
}

namespace {
// The console mode that prepareTerminalStandardError changed, while it is changed.
std::atomic<bool> consoleModeChanged{false};
std::atomic<DWORD> consoleModeBefore{0};
}  // namespace

bool prepareTerminalStandardError() {
  const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || console == nullptr || !GetConsoleMode(console, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  if (!SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
  consoleModeBefore.store(mode);
  consoleModeChanged.store(true);
  return true;
}

void restoreTerminalStandardError() {
  if (consoleModeChanged.exchange(false)) SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), consoleModeBefore.load());
}

void writeStandardErrorAtOnce(const char* bytes, std::size_t size) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes, static_cast<DWORD>(size), &written, nullptr);
}

int terminalStandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void setConsoleTextAttribute(std::uint16_t attribute) {
  SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), attribute);
}

void debuggerOutput(const std::string& line) {
  std::wstring wide;
  std::uint32_t code = 0;
  if (utf8ToWide(line, wide, code)) {
    OutputDebugStringW(wide.c_str());
  } else {
    OutputDebugStringA(line.c_str());
  }
}

}  // namespace Orvel::platform
