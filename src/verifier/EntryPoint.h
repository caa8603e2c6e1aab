#pragma once

namespace Orvel::Verifier {

// Parses the command line, runs the chosen mode and returns the exit status.
int runEntryPoint(int argc, const char* const argv[]);

}  // namespace Orvel::Verifier
