#include "platform/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace Orvel::platform {

bool environmentVariableFits(const char* name, std::size_t bufferSize) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strlen(value) < bufferSize;
}

std::FILE* openNullDevice() { return std::fopen("/dev/null", "w"); }

void setTextMode(std::FILE*) {}

bool isConsoleStandardOutput(std::FILE* stream) {
  if (stream != stdout) return false;
  const int descriptor = fileno(stdout);
  return descriptor >= 0 && isatty(descriptor) != 0;
}

bool prepareTerminalStandardError() { return isatty(STDERR_FILENO) != 0; }

void writeStandardErrorAtOnce(const char* bytes, std::size_t size) {
  const ssize_t written = write(STDERR_FILENO, bytes, size);
  static_cast<void>(written);  // nothing to be done about a failure here
}

void restoreTerminalStandardError() {}

int terminalStandardErrorColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void setConsoleTextAttribute(std::uint16_t attribute) {
  const char* sequence = attribute == 0x0C ? "\x1b[91m" : attribute == 0x0E ? "\x1b[93m" : "\x1b[0m";
  std::fputs(sequence, stdout);
}

void debuggerOutput(const std::string&) {}

}  // namespace Orvel::platform
