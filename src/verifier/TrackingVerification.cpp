// The conformance run of a tracking plugin (--mode=verify): load check, one
// check per export, what the plugin says about itself, then its whole life
// once: init, start, five poses 100 ms apart, stop, shutdown.
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Clock.h"
#include "platform/SharedLibrary.h"
#include "tracking/HostCallbacks.h"
#include "tracking/PluginAPIProxy.h"
#include "tracking/PoseText.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"
#include "verifier/VerificationSteps.h"

namespace Orvel::Verifier {

namespace {
constexpr int kPoseCalls = 5;
constexpr std::chrono::milliseconds kPoseInterval(100);
}  // namespace

int verifyTrackingPlugin(const std::string& pluginPath) {
  using Tracking::printReport;
  if (!startRun(pluginPath)) return checksFailed();

  const Tracking::PluginAPIProxy proxy(platform::widenLibraryPath(pluginPath));
  std::vector<ExportCheck> exports = commonExportChecks(proxy);
  exports.push_back({"orvel_TrackerStart", proxy.TrackerStart != nullptr});
  exports.push_back({"orvel_TrackerStop", proxy.TrackerStop != nullptr});
  exports.push_back({"orvel_GetHMDPose", proxy.GetHMDPose != nullptr});
  if (!reportExportChecks(exports, proxy.isValid())) return checksFailed();

  printStatelessInfo(proxy);
  printReport("\n Check main workflow:\n");

  // The handle and the pose start zeroed, so that a plugin that never writes
  // them shows zeros instead of whatever the stack held.
  const HostCallbacks host = Tracking::makeHostCallbacks();
  std::uint64_t hostSlot = 0;
  PluginHandle handle = nullptr;
  Pose pose{};

  // Every call is made whatever the results before it, with the same handle.
  reportCall("orvel_PluginInit", [&] { return proxy.PluginInit(&host, &hostSlot, &handle); });
  reportCall("orvel_TrackerStart", [&] { return proxy.TrackerStart(handle); });
  for (int i = 0; i < kPoseCalls; ++i) {
    const std::uint64_t now = platform::tickCount();
    reportCall("orvel_GetHMDPose", [&] { return proxy.GetHMDPose(handle, now, &pose); });
    std::ostringstream text;
    Tracking::formatPose(text, pose);
    printReport("Returned pose: %s\n", text.str().c_str());
    std::this_thread::sleep_for(kPoseInterval);
  }
  reportCall("orvel_TrackerStop", [&] { return proxy.TrackerStop(handle); });
  reportCall("orvel_PluginShutdown", [&] { return proxy.PluginShutdown(&handle); });

  return finishRun();
}

}  // namespace Orvel::Verifier
