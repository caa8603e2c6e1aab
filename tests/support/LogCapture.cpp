#include "support/LogCapture.h"

#include "logging/Logger.h"

namespace Orvel::Test {

namespace {

// "yyyymmdd h:mm:ss.fff" comes first; the tag follows the three digits after the point.
std::string withoutTimestamp(const std::string& line) {
  std::string rest = line;
  const auto point = rest.find('.');
  if (point != std::string::npos && point + 4 <= rest.size()) rest.erase(0, point + 4);
  if (!rest.empty() && rest.back() == '\n') rest.pop_back();
  return rest;
}

}  // namespace

LogCapture::LogCapture() {
  Logger::instance().setSink([this](int, const std::string& line) { add(line); });
}

LogCapture::~LogCapture() { Logger::instance().setSink(LogSink()); }

void LogCapture::add(const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(withoutTimestamp(line));
  }
  changed_.notify_all();
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> LogCapture::linesContaining(const std::string& text) const {
  std::vector<std::string> found;
  for (const auto& line : lines()) {
    if (line.find(text) != std::string::npos) found.push_back(line);
  }
  return found;
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

bool LogCapture::waitForLine(const std::string& text, std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, bound, [&] {
    for (const auto& line : lines_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  });
}

}  // namespace Orvel::Test
