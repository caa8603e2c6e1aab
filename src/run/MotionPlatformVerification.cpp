// The conformance run of a motion platform plugin
// (--mode=verify-motion-platform-plugin): load check, one check per export,
// what the plugin says about itself, then init, five pose updates of an
// all-zero pose 100 ms apart, shutdown (once, or as often as --repeat says);
// with --strict=1 the checks of the pose data after it.
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "run/CheckPlan.h"
#include "run/StrictChecks.h"
#include "run/VerificationRun.h"
#include "run/Verifications.h"
#include "tracking/HostCallbacks.h"
#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PoseText.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {
constexpr std::uint32_t kPoseUpdates = kPoseCallsPerWorkflow;
constexpr std::chrono::milliseconds kUpdateInterval(100);
// The number of poses given to each orvel_UpdatePose call.
constexpr std::uint64_t kPoseCount = 1;
}  // namespace

std::int32_t motionPlatformWorkflowCalls() {
  return static_cast<std::int32_t>(workflowOf(Tracking::PluginKind::MotionPlatform).size());
}

int verifyMotionPlatformPlugin(const std::string& pluginPath, RunObserver* observer, const RunSettings& settings,
                               RunRecord* record) {
  using Tracking::PluginExport;
  using Tracking::printReport;
  VerificationRun run(Tracking::PluginKind::MotionPlatform, pluginPath, motionPlatformWorkflowCalls(), settings);
  run.keepRecordIn(record);
  run.setObserver(observer);
  return run.verify<Tracking::MotionPlatformAPIProxy>([&](const Tracking::MotionPlatformAPIProxy& proxy) {
    const HostCallbacks host = Tracking::makeHostCallbacks();
    StrictChecks strict(run);
    for (std::uint32_t workflow = 1; workflow <= settings.repeat; ++workflow) {
      run.beginWorkflow(workflow);
      std::uint64_t hostSlot = 0;
      PluginHandle handle = nullptr;  // zeroed: a plugin that never writes it gets null back
      Pose input{};
      Pose output{};
      if (workflow == 1) strict.countThreadsBeforeInit();

      run.checkCall(PluginExport::PluginInit, [&] { return proxy.PluginInit(&host, &hostSlot, &handle); });
      for (std::uint32_t i = 0; i < kPoseUpdates; ++i) {
        // Every update starts again from the all-zero record.
        std::memset(&input, 0, sizeof input);
        std::memset(&output, 0, sizeof output);
        const PluginStatus status = run.checkCall(
            PluginExport::UpdatePose, [&] { return proxy.UpdatePose(handle, kPoseCount, &input, &output); });
        // The input is printed after the call, so changes the plugin made to it show.
        // Both lines go out in one write: plugin threads may be printing at the
        // same moment, and their lines must not land inside a pose line.
        std::ostringstream inputText;
        Tracking::formatPose(inputText, input);
        std::ostringstream outputText;
        Tracking::formatPose(outputText, output);
        Tracking::writeReport("Input pose: " + inputText.str() + "\nOutput pose: " + outputText.str() + "\n");
        run.addPose({0, workflow, status, input, output});
        std::this_thread::sleep_for(kUpdateInterval);
      }
      strict.measureLatency(PluginExport::UpdatePose, [&] {
        Pose timedInput{};
        Pose timedOutput{};
        proxy.UpdatePose(handle, kPoseCount, &timedInput, &timedOutput);
      });
      run.checkCall(PluginExport::PluginShutdown, [&] { return proxy.PluginShutdown(&handle); });
    }
    strict.check();
  });
}

}  // namespace Orvel::Verifier
