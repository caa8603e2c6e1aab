/* SampleTracker: a minimal tracking plugin that passes every check of the
 * verifier. Instead of reading a device it reports a head that sways gently
 * around a seated position, computed from the host's time stamp.
 *
 * Build it as a shared library that exports the orvel_ functions below (see
 * samples/CMakeLists.txt) and run:
 *   OrvelPluginVerifier --mode=verify --plugin=<path>/SampleTracker.dll */
#include <math.h>
#include <stdlib.h>

#include "OrvelPluginAPI.h"

#define SAMPLE_STATUS_BAD_HANDLE ((PluginStatus)1)
#define SAMPLE_STATUS_NOT_STARTED ((PluginStatus)2)
#define SAMPLE_PI 3.14159265358979323846

/* Seated eye height in metres, and the sway's amplitude and period. */
#define SAMPLE_EYE_HEIGHT 1.2
#define SAMPLE_SWAY_METRES 0.02
#define SAMPLE_SWAY_PERIOD_MS 4000.0

/* Bits of Pose.poseFlags this sample sets. */
#define SAMPLE_POSE_ORIENTATION_VALID 0x1u
#define SAMPLE_POSE_POSITION_VALID 0x2u

typedef struct SampleTracker {
  const HostCallbacks* host;
  int started;
  int64_t frames;
} SampleTracker;

static SampleTracker* trackerOf(PluginHandle handle) { return (SampleTracker*)handle; }

ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType(void) { return ORVEL_PLUGIN_TYPE_TRACKING; }

ORVEL_PLUGIN_EXPORT uint64_t orvel_GetPluginAPIVersion(void) { return ORVEL_PLUGIN_API_VERSION_CURRENT; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginName(void) { return "Orvel Sample Tracker"; }

ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginStatusDescription(PluginStatus status) {
  switch (status) {
    case ORVEL_PLUGIN_STATUS_SUCCESS: return "Success";
    case SAMPLE_STATUS_BAD_HANDLE: return "The plugin handle is not valid";
    case SAMPLE_STATUS_NOT_STARTED: return "The tracker is not started";
    default: return "Unknown status";
  }
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginInit(const HostCallbacks* host, uint64_t* hostSlot, PluginHandle* handle) {
  (void)hostSlot; /* reserved by the host */
  SampleTracker* tracker = (SampleTracker*)calloc(1, sizeof(SampleTracker));
  if (tracker == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  tracker->host = host;
  *handle = tracker;
  host->WriteLogMessage(0, "Sample tracker ready");
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginShutdown(PluginHandle* handle) {
  if (handle == NULL || *handle == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  free(*handle);
  *handle = NULL;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStart(PluginHandle handle) {
  SampleTracker* tracker = trackerOf(handle);
  if (tracker == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  tracker->started = 1;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStop(PluginHandle handle) {
  SampleTracker* tracker = trackerOf(handle);
  if (tracker == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  tracker->started = 0;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}

ORVEL_PLUGIN_EXPORT PluginStatus orvel_GetHMDPose(PluginHandle handle, uint64_t timeMs, Pose* pose) {
  SampleTracker* tracker = trackerOf(handle);
  if (tracker == NULL) return SAMPLE_STATUS_BAD_HANDLE;
  if (!tracker->started) return SAMPLE_STATUS_NOT_STARTED;

  /* A sideways sway: x = A sin(wt), with its velocity and acceleration, and a
   * matching small roll about the forward axis (quaternion w, x, y, z). */
  const double omega = 2.0 * SAMPLE_PI / SAMPLE_SWAY_PERIOD_MS * 1000.0; /* radians per second */
  const double t = (double)(timeMs % 1000000u) / 1000.0;
  const double phase = omega * t;
  const double roll = 0.05 * sin(phase);

  Pose result = {0};
  result.timeStamp = (int64_t)timeMs;
  result.frameNo = ++tracker->frames;
  result.position[0] = SAMPLE_SWAY_METRES * sin(phase);
  result.position[1] = SAMPLE_EYE_HEIGHT;
  result.rotation[0] = cos(roll / 2.0);
  result.rotation[3] = sin(roll / 2.0);
  result.velocity[0] = SAMPLE_SWAY_METRES * omega * cos(phase);
  result.angularVelocity[2] = 0.05 * omega * cos(phase);
  result.acceleration[0] = -SAMPLE_SWAY_METRES * omega * omega * sin(phase);
  result.poseFlags = SAMPLE_POSE_ORIENTATION_VALID | SAMPLE_POSE_POSITION_VALID;
  result.confidence = 1.0;
  *pose = result;
  return ORVEL_PLUGIN_STATUS_SUCCESS;
}
