// Placeholder until the verification runs land.
#include "verifier/Modes.h"

#include <iostream>

namespace Orvel::Verifier {

int verifyTrackingPlugin(const std::string&) { return -1; }
int verifyMotionPlatformPlugin(const std::string&) { return -1; }

}  // namespace Orvel::Verifier
