// Collects the logger's lines while alive, so that tests can compare them.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Orvel::Test {

class LogCapture {
 public:
  // Installs a sink on the process-wide logger; the destructor removes it.
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line so far without its timestamp and newline, starting at the
  // level tag: " ERR [Orvel::BinaryDeserializer::deserialize_impl] Not enough ...".
  std::vector<std::string> lines() const;
  // The lines that contain text.
  std::vector<std::string> linesContaining(const std::string& text) const;
  void clear();

  // Waits until some line contains text, or the bound passes. True when found.
  bool waitForLine(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(20)) const;

 private:
  void add(const std::string& line);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
};

}  // namespace Orvel::Test
