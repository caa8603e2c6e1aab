#include "logging/Log.h"

#include "logging/StringUtil.h"

#include <chrono>
#include <cstdio>
#include <exception>

namespace Orvel {

namespace {

std::string makeLogLine(const char* function, int level, const std::string& message) {
  std::string line = makeLogTimestamp();
  line += logLevelTag(level);
  line += '[';
  line += function != nullptr ? function : "";
  line += "] ";
  line += message;
  line += '\n';
  return line;
}

std::int64_t monotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void logMessageV(const char* function, int level, const char* format, va_list args) noexcept {
  try {
    const std::string line = makeLogLine(function, level, formatStringV(kFormattedTextLimit, format, args));
    Logger::instance().write(level, line);
  } catch (...) {
    // Logging never fails towards its caller.
  }
}

void logMessage(const char* function, int level, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  logMessageV(function, level, format, args);
  va_end(args);
}

void logThrottled(const char* function, ThrottleState& state, int level, std::int64_t intervalNs, const char* format,
                  ...) noexcept {
  const std::int64_t now = monotonicNanoseconds();
  if (!state.started) {
    state.started = true;
    state.lastWrittenNs = now - intervalNs;  // the first occurrence is always written
  }
  ++state.occurrences;
  if (now < state.lastWrittenNs + intervalNs) return;
  try {
    va_list args;
    va_start(args, format);
    std::string message = formatStringV(kFormattedTextLimit, format, args);
    va_end(args);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "(skipped %d) ", static_cast<int>(state.occurrences - 1));
    message.insert(0, prefix);
    if (message.size() > kFormattedTextLimit) message.resize(kFormattedTextLimit);
    Logger::instance().write(level, makeLogLine(function, level, message));
  } catch (...) {
  }
  state.lastWrittenNs = now;
  state.occurrences = 0;
}

bool verifyFailed(const char* function, const char* message, const char* file, int line) noexcept {
  logMessage(function, LogLevels::Error, "Verify (assertion) failed for: '%s' in '%s' : %i", message, file, line);
  return false;
}

void LogUtil_PropertyChange(const std::string& clientRole, const std::string& key, const std::string& value) {
  ORVEL_FUNCTION_NAME_DECLARE(function);
  const std::string message =
      formatString("Property change : %s '%s' '%s'", clientRole.c_str(), key.c_str(), value.c_str());
  Logger::instance().write(LogLevels::Info, makeLogLine(function, LogLevels::Info, message));
}

}  // namespace Orvel
