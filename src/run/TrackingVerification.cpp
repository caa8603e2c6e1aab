// The conformance run of a tracking plugin (--mode=verify): load check, one
// check per export, what the plugin says about itself, then its whole life
// (once, or as often as --repeat says): init, start, five poses 100 ms
// apart, stop, shutdown; with --strict=1 the checks of the pose data after it.
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Clock.h"
#include "run/CheckPlan.h"
#include "run/StrictChecks.h"
#include "run/VerificationRun.h"
#include "run/Verifications.h"
#include "tracking/HostCallbacks.h"
#include "tracking/PluginAPIProxy.h"
#include "tracking/PoseText.h"
#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

namespace {
constexpr std::uint32_t kPoseCalls = kPoseCallsPerWorkflow;
constexpr std::chrono::milliseconds kPoseInterval(100);
}  // namespace

std::int32_t trackingWorkflowCalls() {
  return static_cast<std::int32_t>(workflowOf(Tracking::PluginKind::Tracking).size());
}

int verifyTrackingPlugin(const std::string& pluginPath, RunObserver* observer, const RunSettings& settings,
                         RunRecord* record) {
  using Tracking::PluginExport;
  using Tracking::printReport;
  VerificationRun run(Tracking::PluginKind::Tracking, pluginPath, trackingWorkflowCalls(), settings);
  run.keepRecordIn(record);
  run.setObserver(observer);
  return run.verify<Tracking::PluginAPIProxy>([&](const Tracking::PluginAPIProxy& proxy) {
    const HostCallbacks host = Tracking::makeHostCallbacks();
    StrictChecks strict(run);
    for (std::uint32_t workflow = 1; workflow <= settings.repeat; ++workflow) {
      run.beginWorkflow(workflow);
      // The handle and the pose start zeroed in every workflow, so that a
      // plugin that never writes them shows zeros instead of whatever the
      // stack held.
      std::uint64_t hostSlot = 0;
      PluginHandle handle = nullptr;
      Pose pose{};
      if (workflow == 1) strict.countThreadsBeforeInit();

      // Every call is made whatever the results before it, with the same handle.
      run.checkCall(PluginExport::PluginInit, [&] { return proxy.PluginInit(&host, &hostSlot, &handle); });
      run.checkCall(PluginExport::TrackerStart, [&] { return proxy.TrackerStart(handle); });
      for (std::uint32_t i = 0; i < kPoseCalls; ++i) {
        const std::uint64_t now = platform::tickCount();
        const PluginStatus status =
            run.checkCall(PluginExport::GetHMDPose, [&] { return proxy.GetHMDPose(handle, now, &pose); });
        std::ostringstream text;
        Tracking::formatPose(text, pose);
        printReport("Returned pose: %s\n", text.str().c_str());
        run.addPose({0, workflow, status, std::nullopt, pose});
        std::this_thread::sleep_for(kPoseInterval);
      }
      strict.measureLatency(PluginExport::GetHMDPose, [&] {
        Pose timed{};
        proxy.GetHMDPose(handle, platform::tickCount(), &timed);
      });
      run.checkCall(PluginExport::TrackerStop, [&] { return proxy.TrackerStop(handle); });
      run.checkCall(PluginExport::PluginShutdown, [&] { return proxy.PluginShutdown(&handle); });
    }
    strict.check();
  });
}

}  // namespace Orvel::Verifier
