#include "verifier/EntryPoint.h"

#include "verifier/CommandLine.h"
#include "verifier/Modes.h"

#include <exception>
#include <iostream>

namespace Orvel::Verifier {

namespace {

// An exception that escapes a mode is reported and ends the run with -1, so
// that no script mistakes an aborted run for a passed one.
template <typename Mode>
int runGuarded(Mode&& mode) {
  try {
    return mode();
  } catch (const std::exception& e) {
    std::cout << "[Error] Unhandled exception happened: " << e.what() << "\n" << std::flush;
  } catch (...) {
    std::cout << "[Error] Unhandled exception happened: no information" << "\n" << std::flush;
  }
  return -1;
}

int runMode(const std::string& mode, const std::string& pluginPath) {
  if (mode.empty() || mode == "verify") return verifyTrackingPlugin(pluginPath);
  if (mode == "verify-motion-platform-plugin") return verifyMotionPlatformPlugin(pluginPath);
  if (mode == "set") return selectActivePlugin(pluginPath);
  return 0;
}

}  // namespace

int runEntryPoint(int argc, const char* const argv[]) {
  const CommandLine commandLine = parseCommandLine(argc, argv, std::cout);
  switch (commandLine.action) {
    case CommandLine::Action::Fail:
      return commandLine.exitStatus;
    case CommandLine::Action::ListPlugins:
      return runGuarded([] { return listPlugins(); });
    case CommandLine::Action::RunMode:
      break;
  }
  return runGuarded([&] { return runMode(commandLine.mode, commandLine.pluginPath); });
}

}  // namespace Orvel::Verifier
