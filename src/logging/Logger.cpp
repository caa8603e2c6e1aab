#include "logging/Logger.h"

#include "logging/ProgressLine.h"
#include "platform/Clock.h"
#include "platform/Console.h"

#include <cstdio>

namespace Orvel {

Logger& Logger::instance() {
  static Logger logger;
  return logger;
}

Logger::Logger() {
  // A value of any content disables standard output; a value too long for the
  // 1024-byte lookup buffer counts as absent.
  const bool disabled = platform::environmentVariableFits("ORVEL_LOGGER_STDOUT_DISABLED", 1024);
  if (disabled) {
    target_ = platform::openNullDevice();  // may be null: then nothing is written to a stream
    ownsTarget_ = target_ != nullptr;
  } else {
    target_ = stdout;
  }
  platform::setTextMode(target_);
  colours_ = std::make_unique<ConsoleColours>();
  colours_->attach(target_);
}

Logger::~Logger() {
  colours_.reset();
  if (ownsTarget_ && target_ != nullptr) std::fclose(target_);
}

void Logger::setSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = std::move(sink);
}

void Logger::write(int level, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sink_) {
    sink_(level, line);
    return;
  }
  platform::debuggerOutput(line);
  // The colours go out with the line, while the progress line gives way to it.
  ProgressLine::instance().around(line.empty() || line.back() == '\n', [&] {
    colours_->setForLevel(level);
    if (target_ != nullptr) {
      std::fputs(line.c_str(), target_);
      std::fflush(target_);
    }
    colours_->reset();
    if (target_ != nullptr) std::fflush(target_);  // the colour's reset, before the progress line
  });
}

const char* logLevelTag(int level) {
  switch (level) {
    case 0:
      return " CRI ";
    case 1:
      return " ERR ";
    case 2:
      return " WAR ";
    case 3:
      return " --- ";
    case 5:
      return " *** ";
    default:
      return " (?) ";
  }
}

std::string makeLogTimestamp() {
  std::tm local{};
  long nanoseconds = 0;
  if (!platform::localNow(local, nanoseconds)) return "00000000 0:00:00.000";
  return formatLogTimestamp(local, nanoseconds);
}

std::string formatLogTimestamp(const std::tm& local, long nanoseconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%d%02d%02d %d:%02d:%02d.%03ld", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, nanoseconds / 1000000L);
  return text;
}

}  // namespace Orvel
