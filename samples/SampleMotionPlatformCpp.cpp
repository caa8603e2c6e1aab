// SampleMotionPlatformCpp: a motion platform plugin written in C++ that passes
// every check of the verifier. The platform surges forward and back, so the
// head pose is moved by the opposite of the platform's travel at each update.
//
// The header declares every export extern "C", so the definitions below keep
// their C names. No exception may leave an export: the instance is allocated
// with the non-throwing new, and nothing else here throws.
//
// Build it as a shared library (see samples/CMakeLists.txt) and run:
//   OrvelPluginVerifier --mode=verify-motion-platform-plugin --plugin=<path>/SampleMotionPlatformCpp.dll
#include <cmath>
#include <cstdint>
#include <new>

#include "OrvelPluginAPI.h"

namespace {

constexpr PluginStatus kStatusBadHandle = 1;
constexpr PluginStatus kStatusBadArgument = 2;

class SurgingPlatform {
 public:
  // The pose corrected for the platform's travel at the next update.
  Pose correct(const Pose& input) {
    const double travel = kSurgeMetres * std::sin(kRadiansPerUpdate * static_cast<double>(updates_++));
    Pose output = input;
    output.position[2] -= travel;
    return output;
  }

 private:
  // Amplitude of the surge in metres, and one cycle every 12 updates.
  static constexpr double kSurgeMetres = 0.05;
  static constexpr double kRadiansPerUpdate = 2.0 * 3.14159265358979323846 / 12.0;

  std::uint64_t updates_ = 0;
};

SurgingPlatform* platformOf(PluginHandle handle) { return static_cast<SurgingPlatform*>(handle); }

}  // namespace

ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType() { return ORVEL_PLUGIN_TYPE_MOTION_PLATFORM; }

ORVEL_PLUGIN_EXPORT uint64_t orvel_GetPluginAPIVersion() { return ORVEL_PLUGIN_API_VERSION_CURRENT; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginName() { return "Orvel Sample Motion Platform (C++)"; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginStatusDescription(PluginStatus status) {
  switch (status) {
    case ORVEL_PLUGIN_STATUS_SUCCESS: return "Success";
    case kStatusBadHandle: return "The plugin handle is not valid";
    case kStatusBadArgument: return "An argument is missing";
    default: return "Unknown status";
  }
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginInit(const HostCallbacks* host, uint64_t* /*hostSlot*/, PluginHandle* handle) {
  if (host == nullptr || handle == nullptr) return kStatusBadArgument;
  SurgingPlatform* platform = new (std::nothrow) SurgingPlatform();
  if (platform == nullptr) return kStatusBadHandle;
  *handle = platform;
  host->WriteLogMessage(0, "Sample C++ motion platform ready");
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginShutdown(PluginHandle* handle) {
  if (handle == nullptr || *handle == nullptr) return kStatusBadHandle;
  delete platformOf(*handle);
  *handle = nullptr;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_UpdatePose(PluginHandle handle, uint64_t count, const Pose* input, Pose* output) {
  SurgingPlatform* platform = platformOf(handle);
  if (platform == nullptr) return kStatusBadHandle;
  if (input == nullptr || output == nullptr) return kStatusBadArgument;
  for (uint64_t i = 0; i < count; ++i) output[i] = platform->correct(input[i]);
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}
