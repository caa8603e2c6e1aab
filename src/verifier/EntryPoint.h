#pragma once

namespace Orvel::Verifier {

// Parses the command line, runs the chosen mode and returns the exit status.
int runEntryPoint(int argc, const char* const argv[]);

// The usage text written after a command-line error.
void writeUsage();

}  // namespace Orvel::Verifier
