#include "support/LogCapture.h"

#include <cctype>

#include "logging/Logger.h"

namespace Orvel::Test {

namespace {

// Length of the timestamp at the start of the line: "yyyymmdd h:mm:ss.fff"
// (the hour has one or two digits), or 0 when the line has none.
std::size_t timestampLength(const std::string& line) {
  std::size_t at = 0;
  const auto digits = [&](std::size_t least, std::size_t most) {
    std::size_t count = 0;
    while (count < most && at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at, ++count;
    return count >= least;
  };
  const auto separator = [&](char expected) { return at < line.size() && line[at++] == expected; };
  const bool matches = digits(8, 8) && separator(' ') && digits(1, 2) && separator(':') && digits(2, 2) &&
                       separator(':') && digits(2, 2) && separator('.') && digits(3, 3);
  return matches ? at : 0;
}

}  // namespace

std::string withoutTimestamp(const std::string& line) { return line.substr(timestampLength(line)); }

LogCapture::LogCapture(Keep keep) : keep_(keep), captured_(std::make_unique<Captured>()) {
  Logger::instance().setSink([this](int level, const std::string& line) { add(level, line); });
}

LogCapture::~LogCapture() { Logger::instance().setSink(LogSink()); }

void LogCapture::add(int level, const std::string& line) {
  std::string kept = line;
  if (keep_ == Keep::Level) {
    kept = withoutTimestamp(line);
    if (!kept.empty() && kept.back() == '\n') kept.pop_back();
  }
  {
    std::lock_guard<std::mutex> lock(captured_->mutex);
    captured_->lines.push_back(std::move(kept));
    captured_->levels.push_back(level);
  }
  captured_->changed.notify_all();
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard<std::mutex> lock(captured_->mutex);
  return captured_->lines;
}

std::vector<int> LogCapture::levels() const {
  std::lock_guard<std::mutex> lock(captured_->mutex);
  return captured_->levels;
}

std::vector<std::string> LogCapture::linesContaining(const std::string& text) const {
  std::vector<std::string> found;
  for (const auto& line : lines()) {
    if (line.find(text) != std::string::npos) found.push_back(line);
  }
  return found;
}

std::vector<std::string> LogCapture::take() {
  std::lock_guard<std::mutex> lock(captured_->mutex);
  std::vector<std::string> taken;
  taken.swap(captured_->lines);
  captured_->levels.clear();
  return taken;
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(captured_->mutex);
  captured_->lines.clear();
  captured_->levels.clear();
}

bool LogCapture::waitForLine(const std::string& text, std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(captured_->mutex);
  return captured_->changed.wait_for(lock, bound, [&] {
    for (const auto& line : captured_->lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  });
}

}  // namespace Orvel::Test
