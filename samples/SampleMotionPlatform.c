/* SampleMotionPlatform: a minimal motion platform plugin that passes every
 * check of the verifier. It removes the motion of a simulated platform from
 * the head pose: the platform heaves up and down, so the pose is moved by the
 * opposite of the platform's height at each update.
 *
 * Build it as a shared library that exports the orvel_ functions below (see
 * samples/CMakeLists.txt) and run:
 *   OrvelPluginVerifier --mode=verify-motion-platform-plugin --plugin=<path>/SampleMotionPlatform.dll */
#include <math.h>
#include <stdlib.h>

#include "OrvelPluginAPI.h"

#define SAMPLE_STATUS_BAD_HANDLE ((PluginStatus)1)
#define SAMPLE_STATUS_BAD_ARGUMENT ((PluginStatus)2)

/* The platform's heave: amplitude in metres and updates per cycle. */
#define SAMPLE_HEAVE_METRES 0.1
#define SAMPLE_UPDATES_PER_CYCLE 8

typedef struct SampleMotionPlatform {
  const HostCallbacks* host;
  int64_t updates;
} SampleMotionPlatform;

ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType(void) { return ORVEL_PLUGIN_TYPE_MOTION_PLATFORM; }

ORVEL_PLUGIN_EXPORT uint64_t orvel_GetPluginAPIVersion(void) { return ORVEL_PLUGIN_API_VERSION_CURRENT; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginName(void) { return "Orvel Sample Motion Platform"; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginStatusDescription(PluginStatus status) {
  switch (status) {
    case ORVEL_PLUGIN_STATUS_SUCCESS: return "Success";
    case SAMPLE_STATUS_BAD_HANDLE: return "The plugin handle is not valid";
    case SAMPLE_STATUS_BAD_ARGUMENT: return "A pose argument is missing";
    default: return "Unknown status";
  }
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginInit(const HostCallbacks* host, uint64_t* hostSlot, PluginHandle* handle) {
  (void)hostSlot; /* reserved by the host */
  SampleMotionPlatform* platform = (SampleMotionPlatform*)calloc(1, sizeof(SampleMotionPlatform));
  if (platform == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  platform->host = host;
  *handle = platform;
  host->WriteLogMessage(0, "Sample motion platform ready");
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginShutdown(PluginHandle* handle) {
  if (handle == NULL || *handle == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  free(*handle);
  *handle = NULL;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_UpdatePose(PluginHandle handle, uint64_t count, const Pose* input, Pose* output) {
  SampleMotionPlatform* platform = (SampleMotionPlatform*)handle;
  if (platform == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  if (input == NULL || output == NULL) return SAMPLE_STATUS_BAD_ARGUMENT;
  const double cycle = 2.0 * 3.14159265358979323846 / SAMPLE_UPDATES_PER_CYCLE;
  for (uint64_t i = 0; i < count; ++i) {
    const double heave = SAMPLE_HEAVE_METRES * sin(cycle * (double)platform->updates++);
    output[i] = input[i];
    output[i].position[1] = input[i].position[1] - heave;
  }
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}
