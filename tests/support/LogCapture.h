// Collects the logger's lines while alive, so that tests can compare them.
#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Orvel::Test {

// The line without its leading "yyyymmdd h:mm:ss.fff"; everything after it,
// a newline included, stays. A line that does not start with a timestamp of
// that shape is returned whole, so that comparing it fails and shows it.
std::string withoutTimestamp(const std::string& line);

class LogCapture {
 public:
  // What lines() keeps of each line the logger writes.
  enum class Keep {
    // The line from its level tag on, without the newline:
    // " ERR [Orvel::BinaryDeserializer::deserialize_impl] Not enough ...".
    Level,
    // The whole line as written: the timestamp, the level tag and the newline too.
    Timestamp,
  };

  // Installs a sink on the process-wide logger; the destructor removes it.
  explicit LogCapture(Keep keep = Keep::Level);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line so far, in the form chosen at construction.
  std::vector<std::string> lines() const;
  // The level of each of those lines (Orvel::LogLevels), in the same order.
  std::vector<int> levels() const;
  // The lines that contain text.
  std::vector<std::string> linesContaining(const std::string& text) const;
  // The lines so far; the capture starts empty again.
  std::vector<std::string> take();
  void clear();

  // Waits until some line contains text, or the bound passes. True when found.
  bool waitForLine(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(20)) const;

 private:
  struct Captured {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::vector<int> levels;
  };

  void add(int level, const std::string& line);

  const Keep keep_;
  // On the heap: ThreadSanitizer never sees a std::mutex on the stack
  // destroyed, and would take a later test's mutex at the same stack address
  // (held while that test logs) for this one, reporting a lock order that
  // never was.
  const std::unique_ptr<Captured> captured_;
};

}  // namespace Orvel::Test
