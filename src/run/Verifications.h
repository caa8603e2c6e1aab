// The two verification runs, one per plugin kind. Each returns the number of
// failed checks.
#pragma once
#include <cstdint>
#include <string>

#include "run/RunObserver.h"
#include "run/RunRecord.h"
#include "run/RunSettings.h"

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

}  // namespace Orvel::Verifier
