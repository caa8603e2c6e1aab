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
// Verifies every installed plugin that the listing finds valid, each in a
// child process of its own, up to --jobs at once, and writes the reports
// asked for: the number of manifests that did not pass (as the process keeps
// it), or 1 when the folder cannot be searched.
int verifyInstalledPlugins(const CommandLine& commandLine);
// Writes the runtime's active tracking plugin through the property server.
// A plugin path is first verified by `verify` (a tracking verification run of
// that path), and written only when it returns 0.
int selectActivePlugin(const std::string& plugin, const std::function<int()>& verify);
// The listing's validation of the command line's plugin as a tracking plugin
// (kind, exports, API version), in a child process with --isolate=1: 0 when
// the runtime would take it, else -1 after its problems as "[Error] " lines.
int refuseWhatRuntimeRefuses(const CommandLine& commandLine);
// Reads the runtime's active tracking plugin from the property server and
// prints it with what it means; writes nothing to the server. With `verify`
// the library a "plugin:" value names is verified by `verifyLibrary` (an
// isolated tracking verification run of that path).
int showActivePlugin(bool verify, const std::function<int(const std::string& library)>& verifyLibrary);

}  // namespace Orvel::Verifier
