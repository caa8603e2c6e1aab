// Verification in a child process: the parent's view of an isolated run, and
// the child's side of it.
#pragma once
#include <cstdint>
#include <string>

#include "tracking/PluginExports.h"
#include "verifier/CommandLine.h"
#include "verifier/RunRecord.h"

namespace Orvel::Verifier {

// Runs the verification of `kind` in a child process started with the
// command line's arguments, relaying its report. When the child crashes,
// ends before its run is over or misses a call's deadline, the call under way
// is written as failed with the cause, then the summary. The exit status is
// the child's, or the planned checks less those that passed.
// What the view holds at the end goes to `record`, when given.
int verifyIsolated(const CommandLine& commandLine, Tracking::PluginKind kind, RunRecord* record = nullptr);

// The kind of plugin that a verify mode (or set mode) checks.
Tracking::PluginKind verifiedKind(const std::string& mode);

}  // namespace Orvel::Verifier
