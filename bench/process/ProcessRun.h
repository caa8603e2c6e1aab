// One whole run of a program, as the benchmarks measure it: wall time from
// the spawn to the reaped exit, peak resident memory, exit status and
// everything it wrote. Both streams go to files in memory, read after the
// exit: the program writes as it would to a file, never waits for a reader,
// and no reader competes with it for the two cores.
#pragma once
#include <string>
#include <vector>

namespace Orvel::Bench {

struct Command {
  std::vector<std::string> arguments;    // the program's path first
  std::vector<std::string> environment;  // NAME=value entries added to (or replacing) the driver's own
};

struct ProcessResult {
  bool exited = false;     // ended by exit, not by a signal
  int exitStatus = -1;     // 0..255 when exited
  double wallMs = 0;       // spawn to reaped exit
  double maxRssMiB = 0;    // peak resident set size (wait4's ru_maxrss)
  std::string out;         // standard output
  std::string err;         // standard error
};

// Runs the command to its end. Throws std::runtime_error when it cannot be started.
ProcessResult runProcess(const Command& command);

// The command line as one text, for messages.
std::string describe(const Command& command);

}  // namespace Orvel::Bench
