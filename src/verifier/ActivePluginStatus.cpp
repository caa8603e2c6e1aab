// The status mode: reads the runtime's active tracking source from the
// property server and says what it is. It never writes to the server; with
// verification the named library is verified in a child process.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "logging/ProgressLine.h"
#include "platform/NarrowPath.h"
#include "platform/SharedLibrary.h"
#include "property/PropertyClient.h"
#include "property/PropertyKeys.h"
#include "tracking/PluginDiscovery.h"
#include "tracking/ReportOutput.h"
#include "verifier/Modes.h"
#include "verifier/RuntimeConnection.h"

namespace Orvel::Verifier {

namespace {

using Tracking::PluginManifest;

// After the definitions, updates that the server sends on (changes other
// clients made meanwhile) are taken until none has come for kQuietMs, and
// for kUpdatesTimeLimitMs at most.
constexpr std::chrono::milliseconds kQuietMs{100};
constexpr std::chrono::milliseconds kUpdatesTimeLimitMs{2000};

void writeError(const std::string& reason) {
  const std::string line = "[Error] " + reason + "\n";
  std::fflush(stdout);
  ProgressLine::instance().write(stderr, line);
  std::fflush(stderr);
}

// The property once the updates that follow the definitions are in.
std::shared_ptr<State::Property> settledActivePlugin(State::PropertyClient& client) {
  std::shared_ptr<State::Property> activePlugin =
      client.getPropertyRaw(std::string(State::PropertyKeys::OrvelTracking_ActivePlugin));
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t changes = 0;
  const EventConnection listening = client.onPropertyChanged(
      [&](const State::Property& property) {
        if (&property != activePlugin.get()) return;
        std::lock_guard<std::mutex> lock(mutex);
        ++changes;
        changed.notify_all();
      },
      false);
  const auto end = std::chrono::steady_clock::now() + kUpdatesTimeLimitMs;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    const std::uint64_t seen = changes;
    const auto until = std::min(end, std::chrono::steady_clock::now() + kQuietMs);
    if (!changed.wait_until(lock, until, [&] { return changes != seen; })) break;
    if (std::chrono::steady_clock::now() >= end) break;
  }
  return activePlugin;
}

// Whether a manifest's library path and the active one name one library:
// the same text, or, after expanding environment references, one existing file.
bool namesLibrary(const std::string& manifestPath, const std::string& library) {
  if (manifestPath == library) return true;
  try {
    platform::NativePath manifestNative;
    std::uint32_t errorCode = 0;
    if (!platform::utf8ToNativePath(manifestPath, manifestNative, errorCode)) return false;
    const std::filesystem::path one = platform::expandEnvironmentStrings(manifestNative);
    const std::filesystem::path other = platform::expandEnvironmentStrings(platform::nativePath(library));
    std::error_code error;
    return std::filesystem::equivalent(one, other, error) && !error;
  } catch (const std::exception&) {
    return false;
  }
}

// The first manifest, in the listing's order, that reads and names the
// library, with its file.
struct InstalledPlugin {
  std::filesystem::path file;
  PluginManifest manifest;
};

std::optional<InstalledPlugin> findInstalled(const std::string& library) {
  Tracking::PluginDiscovery discovery;
  // A manifest that cannot be read names nothing; its problems are the listing's to tell.
  discovery.setErrorHandler([](const std::string&) {});
  for (const std::filesystem::path& file : discovery.findManifestFiles()) {
    InstalledPlugin found{file, {}};
    if (discovery.readManifest(file, found.manifest) && namesLibrary(found.manifest.path, library)) return found;
  }
  return std::nullopt;
}

}  // namespace

int showActivePlugin(bool verify, const std::function<int(const std::string& library)>& verifyLibrary) {
  std::string value;
  {
    // No plugin is loaded in this process: a library is verified in a child.
    std::unique_ptr<State::PropertyClient> client = connectToRuntime(true);
    if (!client) return -1;
    const std::shared_ptr<State::Property> property = settledActivePlugin(*client);
    if (!property->isInitialized()) {
      writeError("The property server does not define OrvelTracking.ActivePlugin.");
      return 1;
    }
    value = property->getStringValue();
  }
  Tracking::writeReport("Active tracking plugin: " + value + "\n");
  if (value == kOpenVR) {
    Tracking::writeReport("the runtime's own tracking (openvr)\n");
    return 0;
  }
  if (value.empty()) {
    Tracking::writeReport("no tracking plugin is set\n");
    return 0;
  }
  const std::string prefix(kPluginPrefix);
  if (value.compare(0, prefix.size(), prefix) != 0) {
    Tracking::writeReport("unknown: neither openvr, empty nor plugin:PATH\n");
    writeError("The active tracking plugin's value names no tracking source.");
    return 1;
  }
  const std::string library = value.substr(prefix.size());
  const std::optional<InstalledPlugin> installed = findInstalled(library);
  if (installed) {
    Tracking::writeReport("installed: " + installed->manifest.vendorName + " / " + installed->manifest.productName +
                          " (" + platform::narrowPath(installed->file) + ")\n");
  } else {
    Tracking::writeReport("not installed: no manifest names this library\n");
  }
  // The library the runtime uses is verified even when no manifest names it.
  const bool passed = !verify || verifyLibrary(library) == 0;
  if (!installed) {
    writeError("The active tracking plugin is not installed.");
    return 1;
  }
  if (!passed) {
    writeError("The active tracking plugin failed its verification.");
    return 1;
  }
  return 0;
}

}  // namespace Orvel::Verifier
