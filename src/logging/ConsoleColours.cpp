#include "logging/ConsoleColours.h"

#include "platform/Console.h"

namespace Orvel {

namespace {
constexpr std::uint16_t kDefaultAttribute = 7;
}

void ConsoleColours::attach(std::FILE* target) { isConsole_ = platform::isConsoleStandardOutput(target); }

void ConsoleColours::setForLevel(int level) const {
  if (!isConsole_) return;
  const auto found = attributes_.find(level);
  platform::setConsoleTextAttribute(found != attributes_.end() ? found->second : kDefaultAttribute);
}

void ConsoleColours::reset() const {
  if (isConsole_) platform::setConsoleTextAttribute(kDefaultAttribute);
}

}  // namespace Orvel
