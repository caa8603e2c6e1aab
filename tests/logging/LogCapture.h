// Installs a sink on the process-wide logger for the life of the object and
// collects every line; the sink is removed again afterwards.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "logging/Logger.h"

class LogCapture {
 public:
  LogCapture() {
    Orvel::Logger::instance().setSink([this](int level, const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      levels_.push_back(level);
      lines_.push_back(line);
    });
  }
  ~LogCapture() { Orvel::Logger::instance().setSink(nullptr); }

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<int> levels() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return levels_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<int> levels_;
};

// The line without its "yyyymmdd h:mm:ss.fff" timestamp, which is checked apart.
std::string withoutTimestamp(const std::string& line);
