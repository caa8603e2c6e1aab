// The conformance run of a motion platform plugin
// (--mode=verify-motion-platform-plugin): load check, one check per export,
// what the plugin says about itself, then init, five pose updates of an
// all-zero pose 100 ms apart, shutdown.
#include <chrono>
#include <cstring>
#include <iostream>
#include <sstream>
#include <thread>

#include "platform/SharedLibrary.h"
#include "tracking/HostCallbacks.h"
#include "tracking/MotionPlatformAPIProxy.h"
#include "tracking/PoseText.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"
#include "verifier/VerificationSteps.h"

namespace Orvel::Verifier {

namespace {
constexpr int kPoseUpdates = 5;
constexpr std::chrono::milliseconds kUpdateInterval(100);
// The number of poses given to each orvel_UpdatePose call.
constexpr std::uint64_t kPoseCount = 1;
}  // namespace

int verifyMotionPlatformPlugin(const std::string& pluginPath) {
  using Tracking::printReport;
  if (!startRun(pluginPath)) return checksFailed();

  const Tracking::MotionPlatformAPIProxy proxy(platform::widenLibraryPath(pluginPath));
  std::vector<ExportCheck> exports = commonExportChecks(proxy);
  exports.push_back({"orvel_UpdatePose", proxy.UpdatePose != nullptr});
  if (!reportExportChecks(exports, proxy.isValid())) return checksFailed();

  printStatelessInfo(proxy);
  printReport("\n Check main workflow:\n");

  const HostCallbacks host = Tracking::makeHostCallbacks();
  std::uint64_t hostSlot = 0;
  PluginHandle handle = nullptr;  // zeroed: a plugin that never writes it gets null back
  Pose input{};
  Pose output{};

  reportCall("orvel_PluginInit", [&] { return proxy.PluginInit(&host, &hostSlot, &handle); });
  for (int i = 0; i < kPoseUpdates; ++i) {
    // Every update starts again from the all-zero record.
    std::memset(&input, 0, sizeof input);
    std::memset(&output, 0, sizeof output);
    reportCall("orvel_UpdatePose", [&] { return proxy.UpdatePose(handle, kPoseCount, &input, &output); });
    // The input is printed after the call, so changes the plugin made to it show.
    // Both lines go out in one write: plugin threads may be printing at the
    // same moment, and their lines must not land inside a pose line.
    std::ostringstream lines;
    lines << "Input pose: ";
    Tracking::formatPose(lines, input) << "\n";
    lines << "Output pose: ";
    Tracking::formatPose(lines, output) << "\n";
    std::cout << lines.str() << std::flush;
    std::this_thread::sleep_for(kUpdateInterval);
  }
  reportCall("orvel_PluginShutdown", [&] { return proxy.PluginShutdown(&handle); });

  return finishRun();
}

}  // namespace Orvel::Verifier
