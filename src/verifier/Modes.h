// The four modes of the program. Each returns the process exit status.
#pragma once
#include <string>

namespace Orvel::Verifier {

// Conformance run of a tracking plugin; the number of failed checks.
int verifyTrackingPlugin(const std::string& pluginPath);
// Conformance run of a motion platform plugin; the number of failed checks.
int verifyMotionPlatformPlugin(const std::string& pluginPath);
// Lists the installed plugins; always 0.
int listPlugins();
// Writes the runtime's active tracking plugin through the property server.
int selectActivePlugin(const std::string& plugin);

}  // namespace Orvel::Verifier
