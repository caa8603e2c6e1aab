// The host services that the verifier hands to a plugin in orvel_PluginInit.
// The verifier is a test host: each service announces on standard output that
// the plugin called it and gives a fixed, harmless answer, so that a run shows
// which services a plugin uses and in which order.
#pragma once
#include <string>

#include "OrvelPluginAPI.h"

namespace Orvel::Tracking {

// The twelve services in slot order. They keep no state and may be called
// from any thread, also while the host thread is inside a plugin function;
// each writes its line with one write, so lines never mix. A null text from
// the plugin prints as "(null)".
HostCallbacks makeHostCallbacks();

// Takes the lines of the host services (without their line end) instead of
// standard output, for instance to keep them beside the report.
class HostLineWriter {
 public:
  virtual ~HostLineWriter() = default;
  // Writes the line and its line end to standard output with one write, and
  // may keep it. Called from any thread, one call at a time.
  virtual void writeHostLine(const std::string& line) noexcept = 0;
};

// From now on the host services hand their lines to `writer` (null: straight
// to standard output). Returns once no service is inside the writer before.
void setHostLineWriter(HostLineWriter* writer);

}  // namespace Orvel::Tracking
