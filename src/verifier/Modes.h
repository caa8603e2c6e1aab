// The four modes of the program. Each returns the process exit status.
#pragma once
#include <cstdint>
#include <string>

#include "verifier/RunObserver.h"

namespace Orvel::Verifier {

// Conformance run of a tracking plugin; the number of failed checks. The
// observer, when given, is told of every plugin call and check.
int verifyTrackingPlugin(const std::string& pluginPath, RunObserver* observer = nullptr);
// Conformance run of a motion platform plugin; the number of failed checks.
int verifyMotionPlatformPlugin(const std::string& pluginPath, RunObserver* observer = nullptr);
// The number of "call" checks in each run's workflow.
std::int32_t trackingWorkflowCalls();
std::int32_t motionPlatformWorkflowCalls();
// Lists the installed plugins; always 0.
int listPlugins();
// Writes the runtime's active tracking plugin through the property server.
int selectActivePlugin(const std::string& plugin);

}  // namespace Orvel::Verifier
