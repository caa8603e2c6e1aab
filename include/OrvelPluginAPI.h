/*
 * OrvelPluginAPI.h - the plugin ABI of the Orvel headset runtime.
 *
 * A plugin is a shared library (a DLL on Windows) that exports C functions
 * whose names begin with "orvel_". Tracking plugins supply the head pose;
 * motion platform plugins take a pose and return one corrected for a moving
 * simulator platform. Every export uses the platform's default calling
 * convention; every record is little-endian and laid out for a 64-bit process.
 *
 * Exports each kind must provide:
 *   both kinds:      orvel_GetPluginType, orvel_GetPluginAPIVersion,
 *                    orvel_GetPluginName, orvel_GetPluginStatusDescription,
 *                    orvel_PluginInit, orvel_PluginShutdown
 *   tracking:        orvel_TrackerStart, orvel_TrackerStop, orvel_GetHMDPose
 *   motion platform: orvel_UpdatePose
 */
#ifndef ORVEL_PLUGIN_API_H
#define ORVEL_PLUGIN_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define ORVEL_EXTERN_C extern "C"
#define ORVEL_STATIC_ASSERT(condition, message) static_assert(condition, message)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define ORVEL_EXTERN_C
#define ORVEL_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#else
/* C99 has no _Static_assert: a false condition makes an array type of
 * negative size, named after the line of the check. */
#define ORVEL_EXTERN_C
#define ORVEL_STATIC_ASSERT_NAME2(line) orvel_static_assert_line_##line
#define ORVEL_STATIC_ASSERT_NAME(line) ORVEL_STATIC_ASSERT_NAME2(line)
#define ORVEL_STATIC_ASSERT(condition, message) typedef char ORVEL_STATIC_ASSERT_NAME(__LINE__)[(condition) ? 1 : -1]
#endif

/* Marks a plugin's export. A plugin defines its exports with it:
 *   ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType(void) { return ORVEL_PLUGIN_TYPE_TRACKING; } */
#if defined(_WIN32)
#define ORVEL_PLUGIN_EXPORT ORVEL_EXTERN_C __declspec(dllexport)
#elif defined(__GNUC__)
#define ORVEL_PLUGIN_EXPORT ORVEL_EXTERN_C __attribute__((visibility("default")))
#else
#define ORVEL_PLUGIN_EXPORT ORVEL_EXTERN_C
#endif

/* Result of every action function: 0 is success, any other value a failure
 * that orvel_GetPluginStatusDescription may explain. */
typedef int64_t PluginStatus;
#define ORVEL_PLUGIN_STATUS_SUCCESS ((PluginStatus)0)

/* Identifies one plugin instance. The plugin writes it in orvel_PluginInit;
 * the host passes it back unchanged in every later call. */
typedef void* PluginHandle;

/* Values of orvel_GetPluginType. */
#define ORVEL_PLUGIN_TYPE_TRACKING ((int64_t)1)
#define ORVEL_PLUGIN_TYPE_MOTION_PLATFORM ((int64_t)2)

/* The plugin API version: four parts at bit offsets 48 (major), 32 (minor),
 * 16 and 0. Each part is the low 8 bits of its 16-bit group; the high 8 bits
 * of every group are ignored by the host. */
#define ORVEL_PLUGIN_API_VERSION(major, minor, third, fourth)                                      \
  ((((uint64_t)(major)&0xFFu) << 48) | (((uint64_t)(minor)&0xFFu) << 32) |                         \
   (((uint64_t)(third)&0xFFu) << 16) | ((uint64_t)(fourth)&0xFFu))
#define ORVEL_PLUGIN_API_VERSION_MAJOR(version) ((unsigned)(((uint64_t)(version) >> 48) & 0xFFu))
#define ORVEL_PLUGIN_API_VERSION_MINOR(version) ((unsigned)(((uint64_t)(version) >> 32) & 0xFFu))
#define ORVEL_PLUGIN_API_VERSION_THIRD(version) ((unsigned)(((uint64_t)(version) >> 16) & 0xFFu))
#define ORVEL_PLUGIN_API_VERSION_FOURTH(version) ((unsigned)((uint64_t)(version)&0xFFu))

/* The version of this header. Hosts accept majors 2 and 3, and 4.0 up to 4.16. */
#define ORVEL_PLUGIN_API_VERSION_CURRENT ORVEL_PLUGIN_API_VERSION(4, 16, 0, 0)

/* A head pose. Units, component order and flag bits are the plugin's and the
 * runtime's agreement; the verifier only copies and prints them. */
typedef struct Pose {
  int64_t timeStamp;
  int64_t frameNo;
  double position[3];
  double rotation[4];
  double velocity[3];
  double angularVelocity[3];
  double acceleration[3];
  uint64_t poseFlags;
  double confidence;
} Pose;

/* The record crosses the ABI: its size and layout must never change. */
ORVEL_STATIC_ASSERT(sizeof(Pose) == 160, "Pose must be 160 bytes");
ORVEL_STATIC_ASSERT(offsetof(Pose, position) == 16 && offsetof(Pose, rotation) == 40 &&
                        offsetof(Pose, velocity) == 72 && offsetof(Pose, angularVelocity) == 96 &&
                        offsetof(Pose, acceleration) == 120 && offsetof(Pose, poseFlags) == 144 &&
                        offsetof(Pose, confidence) == 152,
                    "Pose fields lie at fixed offsets without gaps");

/* A 4x4 matrix of doubles, row after row, returned by value. */
typedef struct OrvelMatrix4x4 {
  double m[16];
} OrvelMatrix4x4;

ORVEL_STATIC_ASSERT(sizeof(OrvelMatrix4x4) == 128, "OrvelMatrix4x4 must be 128 bytes");

/* Services of the host, handed to orvel_PluginInit. A plugin finds each one
 * by its slot; the order below is the ABI. The table stays valid until
 * orvel_PluginShutdown has returned, and every service may be called from any
 * thread of the plugin. The first parameter of SetConfigurationString,
 * GetConfigurationString, WriteLogMessage and SetPluginSystemState is one
 * 64-bit word that the host does not read. */
typedef struct HostCallbacks {
  /*  1 */ const char* (*GetProductName)(void);
  /*  2 */ int64_t (*GetIMUCapabilities)(void);
  /*  3 */ OrvelMatrix4x4 (*GetIMUToHMDTransform)(void);
  /*  4 */ void (*GetIMUComponentCalibration)(void);
  /*  5 */ int64_t (*ReadIMUSamples)(void);
  /*  6 */ int64_t (*SyncConfiguration)(void);
  /*  7 */ int64_t (*EnumConfigurationKeys)(void);
  /*  8 */ void (*SetConfigurationString)(uint64_t reserved, const char* key, const char* value);
  /*  9 */ int64_t (*GetConfigurationString)(uint64_t reserved, const char* key);
  /* 10 */ uint64_t (*GetNanosecondTime)(void);
  /* 11 */ void (*WriteLogMessage)(uint64_t reserved, const char* message);
  /* 12 */ void (*SetPluginSystemState)(uint64_t reserved, int64_t state, const char* text);
} HostCallbacks;

ORVEL_STATIC_ASSERT(sizeof(HostCallbacks) == 12 * sizeof(void*), "HostCallbacks holds twelve slots");

/* Function types of the exports, for hosts that resolve them by name. */
typedef int64_t (*PFN_orvel_GetPluginType)(void);
typedef uint64_t (*PFN_orvel_GetPluginAPIVersion)(void);
typedef const char* (*PFN_orvel_GetPluginName)(void);
typedef const char* (*PFN_orvel_GetPluginStatusDescription)(PluginStatus status);
typedef PluginStatus (*PFN_orvel_PluginInit)(const HostCallbacks* host, uint64_t* hostSlot, PluginHandle* handle);
typedef PluginStatus (*PFN_orvel_PluginShutdown)(PluginHandle* handle);
typedef PluginStatus (*PFN_orvel_TrackerStart)(PluginHandle handle);
typedef PluginStatus (*PFN_orvel_TrackerStop)(PluginHandle handle);
typedef PluginStatus (*PFN_orvel_GetHMDPose)(PluginHandle handle, uint64_t timeMs, Pose* pose);
typedef PluginStatus (*PFN_orvel_UpdatePose)(PluginHandle handle, uint64_t count, const Pose* input, Pose* output);

/* Declarations of the exports, for plugin sources. */
#ifndef ORVEL_PLUGIN_NO_EXPORT_DECLARATIONS
/* 1 for a tracking plugin, 2 for a motion platform plugin. */
ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType(void);
/* ORVEL_PLUGIN_API_VERSION_CURRENT, or the version the plugin was built for. */
ORVEL_PLUGIN_EXPORT uint64_t orvel_GetPluginAPIVersion(void);
/* A NUL-terminated name that stays valid while the library is loaded. */
ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginName(void);
/* A NUL-terminated text for any status value. */
ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginStatusDescription(PluginStatus status);
/* Creates the plugin instance and writes its handle. hostSlot points to an
 * 8-byte word of the host's that the host neither sets nor reads. */
ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginInit(const HostCallbacks* host, uint64_t* hostSlot, PluginHandle* handle);
/* Ends the instance; every thread that calls host services must be gone when it returns. */
ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginShutdown(PluginHandle* handle);
/* Tracking plugins. timeMs is the host's tick count in milliseconds. */
ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStart(PluginHandle handle);
ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStop(PluginHandle handle);
ORVEL_PLUGIN_EXPORT PluginStatus orvel_GetHMDPose(PluginHandle handle, uint64_t timeMs, Pose* pose);
/* Motion platform plugins: fills output from input; count is the number of poses (1). */
ORVEL_PLUGIN_EXPORT PluginStatus orvel_UpdatePose(PluginHandle handle, uint64_t count, const Pose* input, Pose* output);
#endif

#endif /* ORVEL_PLUGIN_API_H */
