// The verifier's connection to the running runtime's property server, shared
// by the modes that read or write the runtime's properties.
#pragma once
#include <memory>

#include "property/PropertyClient.h"
#include "state/ClientRole.h"

namespace Orvel::Verifier {

// The role the verifier states to the server: it may write the tracking source.
constexpr State::ClientRole kRuntimeClientRole = State::ClientRole::TRACKING;
// The values of "OrvelTracking.ActivePlugin" that name a tracking source: the
// runtime's own tracking, and the prefix of a plugin library's path.
constexpr const char* kOpenVR = "openvr";
constexpr const char* kPluginPrefix = "plugin:";

// Connects under the verifier's client name and role, within bounded waits,
// and returns once the server's definitions are in. Without a server (or
// with one that does not give its definitions in time) it writes
// "[Error] Unable to connect OrvelProcessServer." and returns null.
// shareHeap: no plugin is loaded in this process later, so the client's
// threads may share one heap.
std::unique_ptr<State::PropertyClient> connectToRuntime(bool shareHeap);

}  // namespace Orvel::Verifier
