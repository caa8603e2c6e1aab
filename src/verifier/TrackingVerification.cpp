// The conformance run of a tracking plugin (--mode=verify): load check, one
// check per export, what the plugin says about itself, then its whole life
// once: init, start, five poses 100 ms apart, stop, shutdown.
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Clock.h"
#include "tracking/HostCallbacks.h"
#include "tracking/PluginAPIProxy.h"
#include "tracking/PoseText.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"
#include "verifier/VerificationRun.h"

namespace Orvel::Verifier {

namespace {
constexpr int kPoseCalls = 5;
constexpr std::chrono::milliseconds kPoseInterval(100);
}  // namespace

std::int32_t trackingWorkflowCalls() { return 4 + kPoseCalls; }

int verifyTrackingPlugin(const std::string& pluginPath, RunObserver* observer) {
  using Tracking::PluginExport;
  using Tracking::printReport;
  VerificationRun run(Tracking::PluginKind::Tracking, pluginPath, trackingWorkflowCalls());
  run.setObserver(observer);
  if (!run.start()) return run.failedCount();

  const auto proxy = run.loadProxy<Tracking::PluginAPIProxy>();
  if (!run.checkExports(proxy)) return run.failedCount();

  run.printStatelessInfo(proxy);
  printReport("\n Check main workflow:\n");

  // The handle and the pose start zeroed, so that a plugin that never writes
  // them shows zeros instead of whatever the stack held.
  const HostCallbacks host = Tracking::makeHostCallbacks();
  std::uint64_t hostSlot = 0;
  PluginHandle handle = nullptr;
  Pose pose{};

  // Every call is made whatever the results before it, with the same handle.
  run.checkCall(PluginExport::PluginInit, [&] { return proxy.PluginInit(&host, &hostSlot, &handle); });
  run.checkCall(PluginExport::TrackerStart, [&] { return proxy.TrackerStart(handle); });
  for (int i = 0; i < kPoseCalls; ++i) {
    const std::uint64_t now = platform::tickCount();
    run.checkCall(PluginExport::GetHMDPose, [&] { return proxy.GetHMDPose(handle, now, &pose); });
    std::ostringstream text;
    Tracking::formatPose(text, pose);
    printReport("Returned pose: %s\n", text.str().c_str());
    run.addPose(text.str());
    std::this_thread::sleep_for(kPoseInterval);
  }
  run.checkCall(PluginExport::TrackerStop, [&] { return proxy.TrackerStop(handle); });
  run.checkCall(PluginExport::PluginShutdown, [&] { return proxy.PluginShutdown(&handle); });

  return run.finish();
}

}  // namespace Orvel::Verifier
