// The host services that the verifier hands to a plugin in orvel_PluginInit.
// The verifier is a test host: each service announces on standard output that
// the plugin called it and gives a fixed, harmless answer, so that a run shows
// which services a plugin uses and in which order.
#pragma once
#include "OrvelPluginAPI.h"

namespace Orvel::Tracking {

// The twelve services in slot order. They keep no state and may be called
// from any thread, also while the host thread is inside a plugin function;
// each writes its line with one write, so lines never mix. A null text from
// the plugin prints as "(null)".
HostCallbacks makeHostCallbacks();

}  // namespace Orvel::Tracking
