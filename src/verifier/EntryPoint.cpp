#include "verifier/EntryPoint.h"

#include "isolation/ChildProtocol.h"
#include "isolation/ChildReporter.h"
#include "isolation/IsolatedValidator.h"
#include "isolation/Isolation.h"
#include "logging/ProgressLine.h"
#include "platform/AtomicFile.h"
#include "platform/ChildProcess.h"
#include "platform/ExitStatus.h"
#include "run/VerificationRun.h"
#include "run/Verifications.h"
#include "run/Watchdog.h"
#include "tracking/ReportOutput.h"
#include "verifier/CommandLine.h"
#include "verifier/Modes.h"
#include "verifier/ReportFiles.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace Orvel::Verifier {

namespace {

// An exception that escapes a mode is reported and ends the run with -1, so
// that no script mistakes an aborted run for a passed one.
template <typename Mode>
int runGuarded(Mode&& mode) {
  try {
    return mode();
  } catch (const std::exception& e) {
    // Formatted without throwing: a bad_alloc is reported too.
    Tracking::printReport("[Error] Unhandled exception happened: %s\n", e.what());
  } catch (...) {
    Tracking::printReport("[Error] Unhandled exception happened: no information\n");
  }
  return -1;
}

// The kind of plugin that a verify mode (or set mode) checks.
Tracking::PluginKind verifiedKind(const std::string& mode) {
  return mode == "verify-motion-platform-plugin" ? Tracking::PluginKind::MotionPlatform
                                                 : Tracking::PluginKind::Tracking;
}

int verifyKind(Tracking::PluginKind kind, const CommandLine& commandLine, RunObserver* observer,
               RunRecord* record = nullptr) {
  return kind == Tracking::PluginKind::MotionPlatform
             ? verifyMotionPlatformPlugin(commandLine.pluginPath, observer, commandLine.settings, record)
             : verifyTrackingPlugin(commandLine.pluginPath, observer, commandLine.settings, record);
}

// A verification run as the command line asks: in a child process, or here
// with a watchdog that ends the run when a call misses the deadline in force,
// crashes or ends the process. What it found goes to `record`.
int verify(const CommandLine& commandLine, Tracking::PluginKind kind, RunRecord* record) {
  if (commandLine.isolate) {
    const IsolatedRun request{commandLine.arguments, commandLine.pluginPath, commandLine.deadlineMs(),
                              commandLine.settings};
    return verifyIsolated(request, kind, record);
  }
  // The watchdog ends the process at once: the reports are written first.
  Watchdog watchdog(commandLine.deadlineMs(), [&](const VerificationRun& run, int status) {
    return writeReportFiles(commandLine, run.snapshot(), status);
  });
  return verifyKind(kind, commandLine, &watchdog, record);
}

int runMode(const CommandLine& commandLine, RunRecord* record) {
  const std::string& mode = commandLine.mode;
  if (mode.empty() || mode == "verify") return verify(commandLine, Tracking::PluginKind::Tracking, record);
  if (mode == "verify-motion-platform-plugin") {
    return verify(commandLine, Tracking::PluginKind::MotionPlatform, record);
  }
  if (mode == "set") {
    // A plugin that passes every check is written only when the runtime
    // would also take it as its tracking plugin.
    return selectActivePlugin(commandLine.pluginPath, [&] {
      const int failedChecks = verify(commandLine, Tracking::PluginKind::Tracking, record);
      return failedChecks != 0 ? failedChecks : refuseWhatRuntimeRefuses(commandLine);
    });
  }
  if (mode == "status") {
    // The library is verified as --mode=verify --isolate=1 verifies it; the
    // child is told the library by a --plugin= after the arguments given.
    return showActivePlugin(commandLine.verify, [&](const std::string& library) {
      CommandLine isolated = commandLine;
      isolated.isolate = true;
      isolated.pluginPath = library;
      isolated.arguments.push_back("--plugin=" + library);
      return verify(isolated, Tracking::PluginKind::Tracking, record);
    });
  }
  return 0;
}

// The isolated child: a crash ends it at once with its cause. It runs the
// verification of its mode (set mode only verifies here) and tells the parent
// every call and check, then that its run is over; for --list it validates
// the libraries the parent asks for.
int runChild(const CommandLine& commandLine) {
  platform::endProcessOnCrash();
  return runGuarded([&] {
    const ChildProtocol::ChannelMarker marker = ChildProtocol::splitMarker(commandLine.childChannel);
    platform::ParentChannel channel(marker.name, marker.token + " ");
    if (commandLine.action == CommandLine::Action::ListPlugins) {
      return serveValidations(channel, commandLine.explain, commandLine.mode == "set");
    }
    ChildReporter reporter(channel, commandLine.deadlineMs());
    const int status =
        runGuarded([&] { return verifyKind(verifiedKind(commandLine.mode), commandLine, &reporter); });
    std::fflush(stdout);
    channel.writeLine(std::string(ChildProtocol::kDone) + std::to_string(status));
    return status;
  });
}

}  // namespace

int runEntryPoint(int argc, const char* const argv[]) {
  std::string errors;
  const CommandLine commandLine = parseCommandLine(argc, argv, errors);
  if (!errors.empty()) Tracking::writeReport(errors);
  if (commandLine.action == CommandLine::Action::Fail) return commandLine.exitStatus;
  // A child never draws the progress line: its parent relays its lines.
  if (!commandLine.childChannel.empty()) return runChild(commandLine);
  ProgressLine::turnOnForStandardError(commandLine.progress);
  // An interrupted verifier takes its isolated children with it, and leaves
  // no half-written report or progress line behind.
  platform::endChildrenOnInterruption([] {
    platform::removeTemporaryFiles();
    ProgressLine::eraseOnInterruption();
  });
  if (commandLine.action == CommandLine::Action::ListPlugins) {
    return runGuarded([&] { return listPlugins(commandLine); });
  }
  if (commandLine.mode == "verify-installed") {
    return platform::processExitStatus(runGuarded([&] { return verifyInstalledPlugins(commandLine); }));
  }
  RunRecord record;
  // The reports hold the exit status that the process ends with.
  const int status = platform::processExitStatus(runGuarded([&] { return runMode(commandLine, &record); }));
  return writeReportFiles(commandLine, std::move(record), status);
}

}  // namespace Orvel::Verifier
