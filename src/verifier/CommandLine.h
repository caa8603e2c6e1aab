// The command line of the program: which mode to run and with which plugin.
#pragma once
#include <ostream>
#include <string>

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
};

// Reads the arguments left to right. Errors are written to `out`, each
// followed by the usage text.
CommandLine parseCommandLine(int argc, const char* const argv[], std::ostream& out);

// The usage text written after a command-line error.
void writeUsage(std::ostream& out);

}  // namespace Orvel::Verifier
