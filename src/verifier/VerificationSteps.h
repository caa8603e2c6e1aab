// The pieces that the tracking and the motion platform verification runs
// share: check reporting with the process-wide counters, the load check and
// the stateless section. Everything runs on the main thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tracking/CommonAPIProxy.h"

namespace Orvel::Verifier {

// Checks made and checks failed in this process; a process makes at most one
// verification run, so they count exactly that run.
std::int32_t checksTotal();
std::int32_t checksFailed();

// Counts one check and prints "[ OK ] : <text>" or "[ FAILED ] : <text>".
void reportCheck(bool passed, const std::string& text);

// Reports the check "call <exportName>": makes the call and passes when it
// returns 0. Lines that host services print during the call come first.
template <typename Call>
void reportCall(const char* exportName, Call&& call) {
  const std::string text = std::string("call ") + exportName;
  const bool passed = call() == 0;
  reportCheck(passed, text);
}

// From now on every log line is discarded, so that only report lines reach
// standard output. The sink stays for the rest of the process.
void discardLogLines();

// Loads the plugin once (with its folder on the DLL search path), reports the
// check "Loading DLL <path as typed>" and unloads it again.
bool checkPluginLoads(const std::string& pluginPath);

// Opens a run: discards log lines, prints "Start verification" and makes the
// load check. False, after "Unable to continue...", when the plugin does not load.
bool startRun(const std::string& pluginPath);

// One "Find API function: <name>" check.
struct ExportCheck {
  const char* name;
  bool present;
};

// The checks of the six exports every kind of plugin has, in ABI order; a run
// appends the exports of its own kind.
std::vector<ExportCheck> commonExportChecks(const Tracking::CommonAPIProxy& proxy);

// Reports every export check, also after a missing one. False, after
// "Unable to continue...", when the proxy is not valid.
bool reportExportChecks(const std::vector<ExportCheck>& checks, bool proxyValid);

// Prints "End verification: <passed>/<total> passed" and returns the number of
// failed checks.
std::int32_t finishRun();

// What the plugin says about itself: type, API version, name and the status
// descriptions of -2 to 2. Printed, not counted as checks.
void printStatelessInfo(const Tracking::CommonAPIProxy& proxy);

}  // namespace Orvel::Verifier
