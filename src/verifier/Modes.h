// The four modes of the program. Each returns the process exit status.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "verifier/CommandLine.h"
#include "verifier/RunObserver.h"
#include "verifier/RunRecord.h"
#include "verifier/RunSettings.h"

namespace Orvel::Verifier {

// Conformance run of a tracking plugin; the number of failed checks. The
// observer, when given, is told of every plugin call and check; the record,
// when given, receives what the run found when it ends.
int verifyTrackingPlugin(const std::string& pluginPath, RunObserver* observer = nullptr,
                         const RunSettings& settings = {}, RunRecord* record = nullptr);
// Conformance run of a motion platform plugin; the number of failed checks.
int verifyMotionPlatformPlugin(const std::string& pluginPath, RunObserver* observer = nullptr,
                               const RunSettings& settings = {}, RunRecord* record = nullptr);
// The number of "call" checks in each run's workflow.
std::int32_t trackingWorkflowCalls();
std::int32_t motionPlatformWorkflowCalls();
// Lists the installed plugins; always 0. With isolation each library is
// validated in a child process.
int listPlugins(const CommandLine& commandLine);
// Writes the runtime's active tracking plugin through the property server.
// A plugin path is first verified by `verify` (a tracking verification run of
// that path), and written only when it returns 0.
int selectActivePlugin(const std::string& plugin, const std::function<int()>& verify);

}  // namespace Orvel::Verifier
