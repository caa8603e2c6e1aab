// Verification in a child process: the parent's view of an isolated run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "run/RunRecord.h"
#include "run/RunSettings.h"
#include "tracking/PluginExports.h"

namespace Orvel::Verifier {

// What an isolated run is asked to do: the child is the program started again
// with the same arguments.
struct IsolatedRun {
  std::vector<std::string> arguments;  // as given, without the program name
  std::string pluginPath;
  std::uint32_t deadlineMs = 0;  // the deadline of each plugin call
  RunSettings settings;
};

// Runs the verification of `kind` in a child process, relaying its report.
// When the child crashes, ends before its run is over or misses a call's
// deadline, the call under way is written as failed with the cause, then the
// summary. The exit status is the child's, or the planned checks less those
// that passed. What the view holds at the end goes to `record`, when given.
int verifyIsolated(const IsolatedRun& request, Tracking::PluginKind kind, RunRecord* record = nullptr);

}  // namespace Orvel::Verifier
