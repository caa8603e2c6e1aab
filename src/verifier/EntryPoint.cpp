#include "verifier/EntryPoint.h"

#include "verifier/Modes.h"

#include <exception>
#include <iostream>
#include <sstream>
#include <string>

namespace Orvel::Verifier {

namespace {

// The plugin API version this tool implements; 4.16 is also the newest
// major.minor it accepts from a plugin.
constexpr int kApiVersion[4] = {4, 16, 0, 0};

bool isKnownMode(const std::string& mode) {
  return mode == "verify" || mode == "verify-motion-platform-plugin" || mode == "set";
}

int runMode(const std::string& mode, const std::string& pluginPath) {
  if (mode.empty() || mode == "verify") return verifyTrackingPlugin(pluginPath);
  if (mode == "verify-motion-platform-plugin") return verifyMotionPlatformPlugin(pluginPath);
  if (mode == "set") return selectActivePlugin(pluginPath);
  return 0;
}

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

}  // namespace

void writeUsage() {
  std::ostringstream usage;
  usage << "OrvelPluginAPI v" << kApiVersion[0] << '.' << kApiVersion[1] << '.' << kApiVersion[2] << '.'
        << kApiVersion[3] << " Verifier\n\n"
        << "Command line parameters:\n\n"
        << "\t --mode - execution mode:\n"
        << "\t\t=verify (default) - run conformance tests for tracking plugin;\n"
        << "\t\t=verify-motion-platform-plugin - run conformance tests for motion platform plugin;\n"
        << "\t\t=set - set specified tracker to be used by Orvel App.\n"
        << "\t --plugin - the path to plugin DLL.\n"
        << "\t --list   - list installed plugins.\n"
        << "Example Usage:\n"
        << "  > OrvelPluginVerifier.exe --mode=verify --plugin=C:\\Tracker\\plugin.dll\n"
        << "  > OrvelPluginVerifier.exe --mode=verify-motion-platform-plugin --plugin=C:\\MotionPlatform\\plugin.dll\n";
  std::cout << usage.str() << std::flush;
}

int runEntryPoint(int argc, const char* const argv[]) {
  if (argc < 2) {
    std::cout << "[Error] Invalid number of arguments\n";
    writeUsage();
    return -1;
  }
  std::string mode;
  std::string pluginPath;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i] != nullptr ? argv[i] : "";
    if (argument == "--list") return runGuarded([] { return listPlugins(); });
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
      std::cout << "[Error] Invalid \"key" << '=' << "pair\" format: " << argument << "\n";
      writeUsage();
      return 1;
    }
    const std::string key = argument.substr(0, equals);
    if (key == "--mode") {
      mode = argument.substr(equals + 1);
      if (!isKnownMode(mode)) {
        std::cout << "[Error] Wrong mode value: " << argument << "\n";
        writeUsage();
        return 1;
      }
    } else if (key == "--plugin") {
      pluginPath = argument.substr(equals + 1);
    }
  }
  return runGuarded([&] { return runMode(mode, pluginPath); });
}

}  // namespace Orvel::Verifier
