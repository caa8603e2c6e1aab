// The command line of the program: which mode to run and with which plugin.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "run/RunSettings.h"

namespace Orvel::Verifier {

struct CommandLine {
  enum class Action {
    RunMode,       // run `mode` ("" means verify) with `pluginPath`
    ListPlugins,   // "--list" was met; later arguments were not read
    Fail,          // an error was written; exit with `exitStatus`
  };
  Action action = Action::RunMode;
  std::string mode;
  std::string pluginPath;
  int exitStatus = 0;
  // --isolate=1: every plugin load and call happens in a child process.
  bool isolate = false;
  // --verify=1: the status mode verifies the active plugin's library.
  bool verify = false;
  // --timeout=MS: the deadline of each plugin call; 0 when not given.
  std::uint32_t timeoutMs = 0;
  // --jobs=N: how many verifications verify-installed runs at once; 0 when
  // not given (as many as the processors this process may run on).
  std::uint32_t jobs = 0;
  // --explain=1: the listing says why it shows each manifest as it does (a
  // verification run's is in settings).
  bool explain = false;
  // --plugins-dir=PATH: the folder searched for manifests instead of the
  // plugins folder under the program data folder, as typed; empty for that one.
  std::string pluginsFolder;
  // --progress=0: no progress line on standard error (one is drawn only when
  // standard error is a terminal).
  bool progress = true;
  // Set in the isolated child only, by its parent: the channel to the parent.
  std::string childChannel;
  // The arguments as given (without the program name), for starting the child.
  std::vector<std::string> arguments;
  // --strict, --repeat and --latency-budget-us.
  RunSettings settings;
  // --report=PATH and --junit=PATH: where the JSON and JUnit reports go, as
  // typed; empty for none.
  std::string reportPath;
  std::string junitPath;
  // --html=PATH: where the HTML report goes, as typed; empty for none.
  std::string htmlPath;
  // The same paths made absolute when the command line was read, so that a
  // plugin that changes the working folder does not move them.
  std::string reportFile;
  std::string junitFile;
  std::string htmlFile;

  // The deadline in force: the one given, else 30 s with isolation, else none (0).
  std::uint32_t deadlineMs() const;
};

// Reads the arguments left to right. Errors are appended to `out`, each
// followed by the usage text; the caller prints them.
CommandLine parseCommandLine(int argc, const char* const argv[], std::string& out);

// Appends the usage text written after a command-line error.
void writeUsage(std::string& out);

}  // namespace Orvel::Verifier
