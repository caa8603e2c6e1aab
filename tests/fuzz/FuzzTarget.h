// What every fuzz target shares: its log lines go nowhere, and a failed check
// ends the process so that libFuzzer keeps the input that caused it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "logging/Logger.h"

namespace Orvel::Fuzz {

// Sends the process's log lines nowhere, once. A target runs millions of
// inputs that mostly fail on purpose: writing their lines would only slow it.
inline void silenceLogs() {
  static const bool silenced = [] {
    Logger::instance().setSink([](int, const std::string&) {});
    return true;
  }();
  (void)silenced;
}

// A broken rule: names it on standard error, then aborts, which libFuzzer
// reports as a crash and saves the input for.
[[noreturn]] inline void fail(const char* rule) {
  std::fprintf(stderr, "fuzz check failed: %s\n", rule);
  std::abort();
}

// Aborts with the rule's text unless the condition holds.
inline void check(bool condition, const char* rule) {
  if (!condition) fail(rule);
}

inline bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace Orvel::Fuzz
