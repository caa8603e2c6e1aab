// The modes of the program besides the verification runs (run/Verifications.h).
// Each returns the process exit status.
#pragma once
#include <functional>
#include <string>

#include "verifier/CommandLine.h"

namespace Orvel::Verifier {

// Lists the installed plugins: 0, or 1 when the folder that --plugins-dir
// names cannot be searched. With isolation each library is
// validated in a child process.
int listPlugins(const CommandLine& commandLine);
// Writes the runtime's active tracking plugin through the property server.
// A plugin path is first verified by `verify` (a tracking verification run of
// that path), and written only when it returns 0.
int selectActivePlugin(const std::string& plugin, const std::function<int()>& verify);

}  // namespace Orvel::Verifier
