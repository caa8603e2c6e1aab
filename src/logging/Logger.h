// The process-wide logger. Every thread logs through it; lines are formatted
// outside its mutex and written whole under it, so lines never interleave.
#pragma once
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "logging/ConsoleColours.h"

namespace Orvel {

using LogLevel = int;
namespace LogLevels {
constexpr LogLevel Critical = 0;
constexpr LogLevel Error = 1;
constexpr LogLevel Warning = 2;
constexpr LogLevel Info = 3;
}  // namespace LogLevels

// Receives the level and the complete line (with its newline). Called with
// the logger's mutex held: it must not log itself.
using LogSink = std::function<void(int level, const std::string& line)>;

class Logger {
 public:
  // Created on first use, thread-safely; lives until the process exits.
  static Logger& instance();

  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // While a sink is installed every line goes to it only. Safe against
  // threads that log at the same moment.
  void setSink(LogSink sink);

  // Writes one finished line: to the sink, or to the debugger output and the
  // target stream (standard output, or the null device when
  // ORVEL_LOGGER_STDOUT_DISABLED is set), coloured by level on a console.
  void write(int level, const std::string& line);

 private:
  Logger();

  std::mutex mutex_;
  LogSink sink_;
  std::FILE* target_ = nullptr;
  bool ownsTarget_ = false;
  std::unique_ptr<ConsoleColours> colours_;
};

// The five-character tag of a level (" ERR ", " (?) " for unknown levels).
const char* logLevelTag(int level);

// "yyyymmdd h:mm:ss.fff" in local time.
std::string makeLogTimestamp();
// The same form for a given broken-down time: the hour without a leading zero,
// every other field at its fixed width.
std::string formatLogTimestamp(const std::tm& local, long nanoseconds);

}  // namespace Orvel
