// Paths of the test plugins of this build, and a log capture for the tests.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "AsciiPath.h"
#include "logging/Logger.h"

// The folder of the test plugins, as this build's executable names it.
inline std::string testPluginFolder() { return ORVEL_TEST_PLUGIN_DIR; }

// The narrow path of a test plugin variant ("tracking_ok" gives .../tracking_ok.so).
inline std::string testPluginPath(const std::string& variant) {
  return testPluginFolder() + ORVEL_TEST_PATH_SEPARATOR + variant + ORVEL_TEST_PLUGIN_SUFFIX;
}

// The same in native form; the folder is plain ASCII.
inline Orvel::platform::NativePath testPluginNativePath(const std::string& variant) {
  return asciiPath(testPluginPath(variant));
}

// Collects the messages of the log lines written while it lives: each line
// without its timestamp and level tag, as "[function] message".
class LogLines {
 public:
  LogLines() {
    Orvel::Logger::instance().setSink([this](int, const std::string& line) {
      std::lock_guard<std::mutex> lock(mutex_);
      const std::size_t open = line.find(" [");
      std::string text = open == std::string::npos ? line : line.substr(open + 1);
      if (!text.empty() && text.back() == '\n') text.pop_back();
      lines_.push_back(text);
    });
  }
  ~LogLines() { Orvel::Logger::instance().setSink(nullptr); }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;

  std::vector<std::string> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(lines_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};
