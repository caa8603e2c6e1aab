#pragma once
#include <cstdint>
#include <cstdio>
#include <map>

namespace Orvel {

// Colours log lines by level while the logger's target is a console.
// Used only under the logger's mutex.
class ConsoleColours {
 public:
  // Looks at the target stream: colours are used only when it is standard
  // output and standard output is a terminal.
  void attach(std::FILE* target);
  bool isConsole() const { return isConsole_; }
  void setForLevel(int level) const;
  void reset() const;

 private:
  bool isConsole_ = false;
  std::map<int, std::uint16_t> attributes_{{0, 0x0C}, {1, 0x0C}, {2, 0x0E}};
};

}  // namespace Orvel
