/* The test plugin. One source, compiled into many variants by the table in
 * CMakeLists.txt; each define below changes one behaviour:
 *
 *   PLUGIN_TYPE=n              value of orvel_GetPluginType (default 1)
 *   API_MAJOR=n, API_MINOR=n   API version (default 4.16.0.0)
 *   API_VERSION=v              the whole 64-bit version value instead
 *   PLUGIN_NAME="..."          value of orvel_GetPluginName
 *   OMIT_<export>              do not export orvel_<export>
 *   ACTION_STATUS=n            result of every action function (default 0)
 *   INIT_STATUS=n              result of orvel_PluginInit, which then writes
 *                              no handle; orvel_GetPluginStatusDescription(n)
 *                              is "Camera disconnected" (n not in -1..2)
 *   UPDATE_STATUS=n            result of orvel_UpdatePose (default ACTION_STATUS)
 *   UPDATE_COPIES_INPUT        orvel_UpdatePose copies the input to the output
 *   UPDATE_WRITES_INPUT        orvel_UpdatePose also changes the input record
 *   CALL_EVERY_CALLBACK        orvel_PluginInit calls every host service and
 *                              reports what it returned through WriteLogMessage
 *   CALLBACKS_FROM_THREAD      orvel_PluginInit calls host services from a
 *                              thread of its own and waits for it
 *   CONCURRENT_CALLBACKS       several threads write long lines at once: a
 *                              tracking plugin starts them (100 lines each)
 *                              in orvel_TrackerStart and joins them in
 *                              orvel_TrackerStop; a motion platform plugin
 *                              starts them (200 lines each) in every
 *                              orvel_UpdatePose, lets them go as it returns,
 *                              so that they write while the host prints the
 *                              poses, and joins them in the next call
 *   NULL_TEXTS                 null name and status texts, and null texts
 *                              passed to the host services
 *   POSE_FROM_CLOCK            time stamp = the time argument, frame number =
 *                              the host's GetNanosecondTime
 *   SETTINGS_FROM_ENVIRONMENT  type and version from ORVEL_TEST_PLUGIN_TYPE and
 *                              ORVEL_TEST_PLUGIN_API_VERSION
 *   WRITES_NOTHING             orvel_PluginInit writes no handle and
 *                              orvel_GetHMDPose no pose; the calls report
 *                              whether the handle they got is null
 *   WAITS_AT_START             orvel_TrackerStart creates the file
 *                              $ORVEL_TEST_PLUGIN_GATE.started, then waits (at
 *                              most a minute) until $ORVEL_TEST_PLUGIN_GATE.go
 *                              exists, so that a test can act while the
 *                              verifier is inside the plugin
 *   NEIGHBOUR_PROVIDER         also export orvelTest_NeighbourName
 *   USES_NEIGHBOUR             the name comes from the neighbour library
 *   UNRESOLVED_SYMBOL          needs orvelTest_Unresolved, which no library
 *                              there at run time provides: the load fails
 *   FAULT=f FAULT_AT=p         the fault f at the place p, for the isolation
 *                              and deadline tests. Faults: ACCESS_VIOLATION,
 *                              STACK_OVERFLOW, ABORT, EXIT (exit(0)),
 *                              ENDLESS_LOOP, LONG_SLEEP (a minute),
 *                              THREAD_ACCESS_VIOLATION (on a plugin thread
 *                              that the call waits for). Places: AT_LOAD (the
 *                              library's initialisation: DllMain, or a
 *                              constructor), AT_TYPE, AT_VERSION, AT_INIT,
 *                              AT_START, AT_THIRD_POSE, AT_STOP, AT_SHUTDOWN,
 *                              AT_THIRD_UPDATE
 *   HOSTILE=h HOSTILE_AT=p     an attack on the verifier h at the place p (the
 *                              places of FAULT_AT; before the variant's FAULT
 *                              when both are at one place): FORKED_COPY (a
 *                              copy of the process, forked on POSIX, that
 *                              holds every descriptor for ten minutes; on
 *                              Windows rundll32 running orvelTest_Sleep with
 *                              the inheritable handles), SHELL_BACKGROUND
 *                              (system("sleep 600 &"); on Windows as
 *                              FORKED_COPY), HUGE_OUTPUT (the number of bytes
 *                              $ORVEL_TEST_PLUGIN_OUTPUT_BYTES names, default
 *                              8 MiB, written to standard output without a
 *                              line end), LINE_FLOOD (as many bytes in lines
 *                              of 100), FAKE_DONE ("done 0" and a line end
 *                              written to descriptor 3), FAKE_DONE_EVERYWHERE
 *                              (the same to every descriptor from 3 to 1023;
 *                              on Windows to the handle values 4 to 4092),
 *                              CLOSES_DESCRIPTOR_3, CRASH_AFTER_UNLOAD_WAIT
 *                              (a thread that crashes 200 ms after it began,
 *                              while the library's unloading waits 5 s),
 *                              HANGS_WHEN_UNLOADED (the library's unloading
 *                              waits ten minutes)
 *   PLANT=v PLANT_AT=n         the pose of the n-th pose call (GetHMDPose or
 *                              the output of UpdatePose) gets a bad value v:
 *                              NAN_POSITION (position[1]), INFINITE_VELOCITY
 *                              (velocity[0]), NONUNIT_ROTATION (rotation
 *                              length 0.5), TIME_BACKWARDS (time stamp 1),
 *                              FRAME_BACKWARDS (frame number 0),
 *                              CONFIDENCE_ABOVE_ONE (1.5), HUGE_ROTATION
 *                              (rotation[0] 1.4e200), TINY_ROTATION
 *                              (rotation[0] 1e-200)
 *   SLOW_POSE_MS=n             every pose call sleeps n ms
 *   THREAD_LEFT_RUNNING        every orvel_PluginShutdown leaves a thread
 *                              running that never ends
 *   FAIL_SECOND_INIT           the second orvel_PluginInit returns 1
 *   CHANGES_FOLDER             orvel_PluginInit makes the folder that
 *                              $ORVEL_TEST_PLUGIN_FOLDER names the working
 *                              folder (before its FAULT, if any)
 *   TEXTS_NOT_UTF8             a name with bytes that are not UTF-8, markup
 *                              and control characters; orvel_PluginInit logs
 *                              such a message too
 *
 * By default a plugin of type 2 exports the common and the motion platform
 * functions, any other type the common and the tracking functions.
 * Poses are deterministic unless POSE_FROM_CLOCK is set. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "OrvelPluginAPI.h"
#include "PluginThread.h"

#ifndef PLUGIN_TYPE
#define PLUGIN_TYPE 1
#endif
#ifndef API_MAJOR
#define API_MAJOR 4
#endif
#ifndef API_MINOR
#define API_MINOR 16
#endif
#ifndef API_VERSION
#define API_VERSION ORVEL_PLUGIN_API_VERSION(API_MAJOR, API_MINOR, 0, 0)
#endif
#ifndef PLUGIN_NAME
#define PLUGIN_NAME "Orvel Test Plugin"
#endif
#ifndef ACTION_STATUS
#define ACTION_STATUS 0
#endif
#ifndef UPDATE_STATUS
#define UPDATE_STATUS ACTION_STATUS
#endif

#define ACCESS_VIOLATION 1
#define STACK_OVERFLOW 2
#define ABORT 3
#define EXIT 4
#define ENDLESS_LOOP 5
#define LONG_SLEEP 6
#define THREAD_ACCESS_VIOLATION 7
#define AT_LOAD 1
#define AT_TYPE 2
#define AT_VERSION 3
#define AT_INIT 4
#define AT_START 5
#define AT_THIRD_POSE 6
#define AT_STOP 7
#define AT_SHUTDOWN 8
#define AT_THIRD_UPDATE 9
#ifndef FAULT
#define FAULT 0
#endif
#ifndef FAULT_AT
#define FAULT_AT 0
#endif

#if PLUGIN_TYPE == 2
#define EXPORTS_MOTION_PLATFORM 1
#else
#define EXPORTS_TRACKING 1
#endif

/* Helpers that a variant without exports (all OMIT_) leaves unused. */
#if defined(__GNUC__)
#define MAYBE_UNUSED __attribute__((unused))
#else
#define MAYBE_UNUSED
#endif

#define INSTANCE_MAGIC 0x4F7276656C54u /* "OrvelT" */
#define CONCURRENT_THREADS 4
#define CONCURRENT_LINES 100
#define MOTION_CONCURRENT_LINES 200 /* per writer and pose update */

typedef struct Instance {
  uint64_t magic;
  const HostCallbacks* host;
  int64_t frames;
  PluginThread* threads[CONCURRENT_THREADS];
  int threadIds[CONCURRENT_THREADS];
} Instance;

MAYBE_UNUSED static Instance* instanceOf(PluginHandle handle) {
  Instance* instance = (Instance*)handle;
  return instance != NULL && instance->magic == INSTANCE_MAGIC ? instance : NULL;
}

#if defined(WRITES_NOTHING)
/* Without a handle the host table has to be kept here. */
static const HostCallbacks* hostWithoutHandle;

static PluginStatus reportHandle(const char* function, PluginHandle handle) {
  char text[128];
  snprintf(text, sizeof text, "%s got %s handle", function, handle == NULL ? "a null" : "a non-null");
  hostWithoutHandle->WriteLogMessage(0, text);
  return ACTION_STATUS;
}
#endif

#if FAULT != 0
/* Kept out of the compiler's sight, so that it emits the fault as written.
 * The address is in the first page, which is never mapped, but not null:
 * a sanitizer that checks null stores leaves the store alone. */
static volatile uintptr_t unmappedAddress = 16;
static volatile int keepGoing = 1;

static void accessViolation(void) { *(volatile int*)unmappedAddress = 1; }

static int recurse(int depth) {
  volatile char frame[4096];
  frame[0] = (char)depth;
  if (!keepGoing) return frame[0];
  return recurse(depth + 1) + frame[0];
}

static void threadAccessViolation(void* unused) {
  (void)unused;
  accessViolation();
}

static void fault(void) {
  switch (FAULT) {
    case ACCESS_VIOLATION: accessViolation(); break;
    case STACK_OVERFLOW: recurse(0); break;
    case ABORT: abort();
    case EXIT: exit(0);
    case ENDLESS_LOOP: while (keepGoing) {} break;
    case LONG_SLEEP: pluginSleepMilliseconds(60000); break;
    case THREAD_ACCESS_VIOLATION: pluginThreadJoin(pluginThreadStart(threadAccessViolation, NULL)); break;
    default: break;
  }
}
#endif

/* Attacks on the verifier itself: on its process tree, pipes, channel and
 * memory. */
#define FORKED_COPY 1
#define SHELL_BACKGROUND 2
#define HUGE_OUTPUT 3
#define LINE_FLOOD 4
#define FAKE_DONE 5
#define FAKE_DONE_EVERYWHERE 6
#define CLOSES_DESCRIPTOR_3 7
#define CRASH_AFTER_UNLOAD_WAIT 8
#define HANGS_WHEN_UNLOADED 9
#ifndef HOSTILE
#define HOSTILE 0
#endif
#ifndef HOSTILE_AT
#define HOSTILE_AT 0
#endif

#if HOSTILE != 0
#if defined(_WIN32)
#include <io.h>
#include <windows.h>

/* What the rundll32 copy runs: it holds what it inherited for ten minutes. */
ORVEL_PLUGIN_EXPORT void CALLBACK orvelTest_Sleep(HWND window, HINSTANCE instance, LPSTR line, int show) {
  (void)window;
  (void)instance;
  (void)line;
  (void)show;
  Sleep(600000);
}

static void startHoldingCopy(void) {
  HMODULE self = NULL;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCSTR)(void*)startHoldingCopy, &self);
  char path[MAX_PATH];
  GetModuleFileNameA(self, path, sizeof path);
  char command[MAX_PATH + 64];
  snprintf(command, sizeof command, "rundll32.exe \"%s\",orvelTest_Sleep", path);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info;
  if (CreateProcessA(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info)) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
}

static void writeOutput(const char* bytes, size_t size) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)size, &written, NULL);
}

static void writeToEveryDescriptor(const char* text) {
  for (uintptr_t value = 4; value < 4096; value += 4) {
    const HANDLE handle = (HANDLE)value;
    /* The plugin's own output is not what it attacks. */
    if (handle == GetStdHandle(STD_OUTPUT_HANDLE) || handle == GetStdHandle(STD_ERROR_HANDLE)) continue;
    DWORD written = 0;
    WriteFile((HANDLE)value, text, (DWORD)strlen(text), &written, NULL);
  }
}
#else
#include <unistd.h>

static void startHoldingCopy(void) {
  if (fork() == 0) {
    sleep(600);
    _exit(0);
  }
}

static void writeOutput(const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = write(1, bytes, size);
    if (written <= 0) return;
    bytes += written;
    size -= (size_t)written;
  }
}

static void writeToEveryDescriptor(const char* text) {
  for (int descriptor = 3; descriptor < 1024; ++descriptor) {
    if (write(descriptor, text, strlen(text)) < 0) continue;
  }
}
#endif

static size_t outputBytes(void) {
  const char* value = getenv("ORVEL_TEST_PLUGIN_OUTPUT_BYTES");
  return value != NULL ? (size_t)strtoull(value, NULL, 0) : (size_t)8 << 20;
}

/* Writes `total` bytes of `unit` over and over, in large writes. */
static void writeRepeated(const char* unit, size_t unitSize, size_t total) {
  static char block[1 << 16];
  const size_t perBlock = sizeof block / unitSize * unitSize;
  for (size_t i = 0; i < perBlock; i += unitSize) memcpy(block + i, unit, unitSize);
  while (total > 0) {
    const size_t size = total < perBlock ? total : perBlock;
    writeOutput(block, size);
    total -= size;
  }
}

/* Crashes 200 ms after it has told that it runs: a thread that has not run
 * yet could wait for the unloading to end (Windows starts a thread under the
 * loader's lock). */
static void crashLater(void* started) {
  pluginSignalRaise((PluginSignal*)started);
  pluginSleepMilliseconds(200);
  /* An address in the first page, hidden from the compiler as FAULT's is. */
  static volatile uintptr_t address = 16;
  *(volatile int*)address = 1;
}

/* How long the library's unloading waits, in milliseconds. */
static volatile int unloadWaits = 0;

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_DETACH && unloadWaits) Sleep((DWORD)unloadWaits);
  return TRUE;
}
#else
__attribute__((destructor)) static void waitWhenUnloaded(void) {
  if (unloadWaits) pluginSleepMilliseconds(unloadWaits);
}
#endif

static void hostileAct(void) {
  char line[101];
  switch (HOSTILE) {
    case FORKED_COPY: startHoldingCopy(); break;
#if defined(_WIN32)
    case SHELL_BACKGROUND: startHoldingCopy(); break;
#else
    case SHELL_BACKGROUND:
      if (system("sleep 600 &") != 0) return;
      break;
#endif
    case HUGE_OUTPUT: writeRepeated("x", 1, outputBytes()); break;
    case LINE_FLOOD:
      memset(line, 'f', sizeof line - 1);
      line[sizeof line - 2] = '\n';
      writeRepeated(line, sizeof line - 1, outputBytes() / 100 * 100);
      break;
#if defined(_WIN32)
    case FAKE_DONE: _write(3, "done 0\n", 7); break;
#else
    case FAKE_DONE:
      if (write(3, "done 0\n", 7) < 0) return;
      break;
    case CLOSES_DESCRIPTOR_3: close(3); break;
#endif
    case FAKE_DONE_EVERYWHERE: writeToEveryDescriptor("done 0\n"); break;
    case HANGS_WHEN_UNLOADED: unloadWaits = 600000; break;
    case CRASH_AFTER_UNLOAD_WAIT:
      unloadWaits = 5000;
      {
        PluginSignal* started = pluginSignalCreate();
        pluginThreadStart(crashLater, started);
        pluginSignalWait(started);
      }
      break;
    default: break;
  }
}
#endif

/* Makes the variant's fault when `place` is its place. */
MAYBE_UNUSED static void faultAt(int place) {
#if HOSTILE != 0
  if (place == HOSTILE_AT) hostileAct();
#endif
#if FAULT != 0
  if (place == FAULT_AT) fault();
#else
  (void)place;
#endif
}

#if FAULT_AT == AT_LOAD
#if defined(_WIN32)
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) faultAt(AT_LOAD);
  return TRUE;
}
#else
__attribute__((constructor)) static void faultWhenLoaded(void) { faultAt(AT_LOAD); }
#endif
#endif

/* A failure of the plugin's own making: the handle is not one it created. */
#define STATUS_BAD_HANDLE ((PluginStatus)-1)

static inline void logLine(const HostCallbacks* host, const char* text) { host->WriteLogMessage(0, text); }

#if defined(CALL_EVERY_CALLBACK)
static void reportMatrix(const HostCallbacks* host, const char* label, const double* m) {
  char text[512];
  int length = snprintf(text, sizeof text, "%s =", label);
  for (int i = 0; i < 16 && length > 0 && (size_t)length < sizeof text; ++i)
    length += snprintf(text + length, sizeof text - (size_t)length, " %g", m[i]);
  logLine(host, text);
}

/* The services a plugin may call, each reported with what it returned. The
 * ignored parameters are given odd values: the host must not read them. */
static void callEveryCallback(const HostCallbacks* host) {
  char text[256];
  snprintf(text, sizeof text, "GetProductName = %s", host->GetProductName());
  logLine(host, text);

  /* Slots the host never reads parameters of, called with arguments anyway. */
  int64_t (*capabilitiesWithArguments)(uint64_t, uint64_t) =
      (int64_t(*)(uint64_t, uint64_t))(void (*)(void))host->GetIMUCapabilities;
  snprintf(text, sizeof text, "GetIMUCapabilities = %lld", (long long)capabilitiesWithArguments(7, 9));
  logLine(host, text);

  OrvelMatrix4x4 byValue;
  for (int i = 0; i < 16; ++i) byValue.m[i] = 7.0;
  byValue = host->GetIMUToHMDTransform();
  reportMatrix(host, "GetIMUToHMDTransform", byValue.m);

  /* The same slot declared as taking the result storage and returning it. */
  double storage[16];
  for (int i = 0; i < 16; ++i) storage[i] = -3.5;
  double* (*withStorage)(double*) = (double* (*)(double*))(void (*)(void))host->GetIMUToHMDTransform;
  double* returned = withStorage(storage);
  reportMatrix(host, returned == storage ? "GetIMUToHMDTransform(storage), same storage"
                                         : "GetIMUToHMDTransform(storage), other storage",
               storage);

  host->GetIMUComponentCalibration();
  snprintf(text, sizeof text, "ReadIMUSamples = %lld", (long long)host->ReadIMUSamples());
  logLine(host, text);
  snprintf(text, sizeof text, "SyncConfiguration = %lld", (long long)host->SyncConfiguration());
  logLine(host, text);
  snprintf(text, sizeof text, "EnumConfigurationKeys = %lld", (long long)host->EnumConfigurationKeys());
  logLine(host, text);
  host->SetConfigurationString(0xDEADBEEFu, "a", "b");
  snprintf(text, sizeof text, "GetConfigurationString = %lld",
           (long long)host->GetConfigurationString(0xFFFFFFFFFFFFFFFFu, "a"));
  logLine(host, text);
  const uint64_t first = host->GetNanosecondTime();
  const uint64_t second = host->GetNanosecondTime();
  logLine(host, second >= first && second - first < 1000 ? "GetNanosecondTime = steady" : "GetNanosecondTime = jumped");
  host->WriteLogMessage(1, "50% done");
  host->WriteLogMessage(1, "%d%% %s %n");
  host->SetPluginSystemState(2, -1, "degraded");
  host->SetPluginSystemState(3, (int64_t)0x8000000000000000u, "lowest");
}
#endif

#if defined(CALLBACKS_FROM_THREAD)
static void threadCallingHost(void* raw) {
  const HostCallbacks* host = (const HostCallbacks*)raw;
  logLine(host, "hello from a plugin thread");
  host->SetPluginSystemState(0, 1, "tracking");
}
#endif

#if defined(CONCURRENT_CALLBACKS)
typedef struct ThreadArgument {
  const HostCallbacks* host;
  int id;
  int firstLine;
  int lineCount;
  PluginSignal* go; /* null: start at once */
} ThreadArgument;

static ThreadArgument threadArguments[CONCURRENT_THREADS];
static PluginSignal* writersGo;

static void concurrentWriter(void* raw) {
  const ThreadArgument* argument = (const ThreadArgument*)raw;
  if (argument->go != NULL) pluginSignalWait(argument->go);
  /* Long lines make any mixing of two writes within a line likely to show. */
  char text[300];
  for (int line = argument->firstLine; line < argument->firstLine + argument->lineCount; ++line) {
    snprintf(text, sizeof text, "writer %d line %03d %0200d", argument->id, line, 0);
    logLine(argument->host, text);
  }
}

/* Starts the writers; with go they wait until it is raised. */
static void startWriters(Instance* instance, int firstLine, int lineCount, PluginSignal* go) {
  for (int i = 0; i < CONCURRENT_THREADS; ++i) {
    threadArguments[i].host = instance->host;
    threadArguments[i].id = i;
    threadArguments[i].firstLine = firstLine;
    threadArguments[i].lineCount = lineCount;
    threadArguments[i].go = go;
    instance->threads[i] = pluginThreadStart(concurrentWriter, &threadArguments[i]);
  }
}

static void joinWriters(Instance* instance) {
  for (int i = 0; i < CONCURRENT_THREADS; ++i) {
    if (instance->threads[i] != NULL) pluginThreadJoin(instance->threads[i]);
    instance->threads[i] = NULL;
  }
  pluginSignalDestroy(writersGo);
  writersGo = NULL;
}
#endif

/* Bad pose data, slow pose calls, left threads and odd texts for the strict
 * checks and the reports. */
#define NAN_POSITION 1
#define INFINITE_VELOCITY 2
#define NONUNIT_ROTATION 3
#define TIME_BACKWARDS 4
#define FRAME_BACKWARDS 5
#define CONFIDENCE_ABOVE_ONE 6
#define HUGE_ROTATION 7
#define TINY_ROTATION 8
#ifndef PLANT
#define PLANT 0
#endif
#ifndef PLANT_AT
#define PLANT_AT 0
#endif
#define NOT_UTF8_TEXT "Caf\xe9 \xe2\x82 <&\"'> \x01\t\x7f" " end \xf0\x9f\x98\x80"

/* Changes the pose of the n-th pose call as PLANT says; then sleeps as
 * SLOW_POSE_MS says. */
static inline void plantInPose(Pose* pose, int64_t call) {
#if PLANT != 0
  if (call == PLANT_AT) {
    switch (PLANT) {
      case NAN_POSITION: pose->position[1] = strtod("nan", NULL); break;
      case INFINITE_VELOCITY: pose->velocity[0] = strtod("inf", NULL); break;
      case NONUNIT_ROTATION: pose->rotation[0] = 0.5; pose->rotation[1] = pose->rotation[2] = pose->rotation[3] = 0; break;
      case TIME_BACKWARDS: pose->timeStamp = 1; break;
      case FRAME_BACKWARDS: pose->frameNo = 0; break;
      case CONFIDENCE_ABOVE_ONE: pose->confidence = 1.5; break;
      case HUGE_ROTATION: pose->rotation[0] = 1.4e200; break;
      case TINY_ROTATION: pose->rotation[0] = 1e-200; break;
      default: break;
    }
  }
#else
  (void)pose;
  (void)call;
#endif
#if defined(SLOW_POSE_MS)
  pluginSleepMilliseconds(SLOW_POSE_MS);
#endif
}

#if defined(THREAD_LEFT_RUNNING)
static void waitForever(void* signal) { pluginSignalWait((PluginSignal*)signal); }
#endif

/* A thread that never ends, waiting for a signal nobody raises (it never
 * runs the plugin's code again, even once the library is unloaded). */
static inline void leaveThreadRunning(void) {
#if defined(THREAD_LEFT_RUNNING)
  pluginThreadStart(waitForever, pluginSignalCreate());
#endif
}

/* The second orvel_PluginInit fails when FAIL_SECOND_INIT is set. */
static inline int failsThisInit(void) {
#if defined(FAIL_SECOND_INIT)
  static int inits = 0;
  return ++inits == 2;
#else
  return 0;
#endif
}

#if !defined(OMIT_GetPluginType)
ORVEL_PLUGIN_EXPORT int64_t orvel_GetPluginType(void) {
  faultAt(AT_TYPE);
#if defined(SETTINGS_FROM_ENVIRONMENT)
  const char* value = getenv("ORVEL_TEST_PLUGIN_TYPE");
  if (value != NULL) return (int64_t)strtoll(value, NULL, 0);
#endif
  return PLUGIN_TYPE;
}
#endif

#if !defined(OMIT_GetPluginAPIVersion)
ORVEL_PLUGIN_EXPORT uint64_t orvel_GetPluginAPIVersion(void) {
  faultAt(AT_VERSION);
#if defined(SETTINGS_FROM_ENVIRONMENT)
  const char* value = getenv("ORVEL_TEST_PLUGIN_API_VERSION");
  if (value != NULL) return (uint64_t)strtoull(value, NULL, 0);
#endif
  return API_VERSION;
}
#endif

#if defined(NEIGHBOUR_PROVIDER)
ORVEL_PLUGIN_EXPORT const char* orvelTest_NeighbourName(void) { return "Test plugin named by its neighbour"; }
#endif
#if defined(USES_NEIGHBOUR)
ORVEL_EXTERN_C const char* orvelTest_NeighbourName(void);
#endif
#if defined(UNRESOLVED_SYMBOL)
ORVEL_EXTERN_C void orvelTest_Unresolved(void);
#endif

#if !defined(OMIT_GetPluginName)
ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginName(void) {
#if defined(NULL_TEXTS)
  return NULL;
#elif defined(USES_NEIGHBOUR)
  return orvelTest_NeighbourName();
#elif defined(TEXTS_NOT_UTF8)
  return NOT_UTF8_TEXT;
#else
  return PLUGIN_NAME;
#endif
}
#endif

#if !defined(OMIT_GetPluginStatusDescription)
ORVEL_PLUGIN_EXPORT const char* orvel_GetPluginStatusDescription(PluginStatus status) {
#if defined(NULL_TEXTS)
  (void)status;
  return NULL;
#else
  switch (status) {
    case 0: return "Success";
    case 1: return "Action failed";
    case 2: return "Pose update failed";
    case STATUS_BAD_HANDLE: return "Unknown plugin handle";
#if defined(INIT_STATUS)
    case INIT_STATUS: return "Camera disconnected";
#endif
    default: return "Unknown status";
  }
#endif
}
#endif

#if defined(CHANGES_FOLDER)
#if defined(_WIN32)
#include <windows.h>
static int changeWorkingFolder(const char* folder) { return folder != NULL && SetCurrentDirectoryA(folder); }
#else
#include <unistd.h>
static int changeWorkingFolder(const char* folder) { return folder != NULL && chdir(folder) == 0; }
#endif
#endif

#if !defined(OMIT_PluginInit)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginInit(const HostCallbacks* host, uint64_t* hostSlot, PluginHandle* handle) {
  (void)hostSlot;
#if defined(CHANGES_FOLDER)
  if (!changeWorkingFolder(getenv("ORVEL_TEST_PLUGIN_FOLDER"))) return 1;
#endif
  faultAt(AT_INIT);
  if (failsThisInit()) return 1;
#if defined(UNRESOLVED_SYMBOL)
  orvelTest_Unresolved();
#endif
#if defined(INIT_STATUS)
  return INIT_STATUS;
#endif
#if defined(TEXTS_NOT_UTF8)
  host->WriteLogMessage(0, NOT_UTF8_TEXT);
#endif
#if defined(WRITES_NOTHING)
  (void)handle;
  hostWithoutHandle = host;
  return ACTION_STATUS;
#endif
  Instance* instance = (Instance*)calloc(1, sizeof(Instance));
  if (instance == NULL) return 1;
  instance->magic = INSTANCE_MAGIC;
  instance->host = host;
  *handle = instance;
#if defined(CALL_EVERY_CALLBACK)
  callEveryCallback(host);
#endif
#if defined(CALLBACKS_FROM_THREAD)
  pluginThreadJoin(pluginThreadStart(threadCallingHost, (void*)host));
#endif
#if defined(NULL_TEXTS)
  host->SetConfigurationString(0, NULL, NULL);
  host->GetConfigurationString(0, NULL);
  host->WriteLogMessage(0, NULL);
  host->SetPluginSystemState(0, 5, NULL);
#endif
  return ACTION_STATUS;
}
#endif

#if !defined(OMIT_PluginShutdown)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_PluginShutdown(PluginHandle* handle) {
#if defined(WRITES_NOTHING)
  return reportHandle("orvel_PluginShutdown", *handle);
#endif
  Instance* instance = instanceOf(*handle);
  if (instance == NULL) return STATUS_BAD_HANDLE;
  faultAt(AT_SHUTDOWN);
#if defined(CONCURRENT_CALLBACKS)
  joinWriters(instance);
#endif
  instance->magic = 0;
  free(instance);
  *handle = NULL;
  leaveThreadRunning();
  return ACTION_STATUS;
}
#endif

#if defined(WAITS_AT_START)
static void waitAtGate(void) {
  const char* gate = getenv("ORVEL_TEST_PLUGIN_GATE");
  if (gate == NULL) return;
  char path[4096];
  snprintf(path, sizeof path, "%s.started", gate);
  FILE* started = fopen(path, "w");
  if (started != NULL) fclose(started);
  snprintf(path, sizeof path, "%s.go", gate);
  for (int waited = 0; waited < 60000; waited += 10) {
    FILE* go = fopen(path, "r");
    if (go != NULL) {
      fclose(go);
      return;
    }
    pluginSleepMilliseconds(10);
  }
}
#endif

#if defined(EXPORTS_TRACKING)
#if !defined(OMIT_TrackerStart)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStart(PluginHandle handle) {
#if defined(WRITES_NOTHING)
  return reportHandle("orvel_TrackerStart", handle);
#endif
  Instance* instance = instanceOf(handle);
  if (instance == NULL) return STATUS_BAD_HANDLE;
  faultAt(AT_START);
#if defined(WAITS_AT_START)
  waitAtGate();
#endif
#if defined(CONCURRENT_CALLBACKS)
  startWriters(instance, 0, CONCURRENT_LINES, NULL);
#endif
  return ACTION_STATUS;
}
#endif

#if !defined(OMIT_TrackerStop)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_TrackerStop(PluginHandle handle) {
#if defined(WRITES_NOTHING)
  return reportHandle("orvel_TrackerStop", handle);
#endif
  Instance* instance = instanceOf(handle);
  if (instance == NULL) return STATUS_BAD_HANDLE;
  faultAt(AT_STOP);
#if defined(WAITS_AT_START)
  waitAtGate();
#endif
#if defined(CONCURRENT_CALLBACKS)
  joinWriters(instance);
#endif
  return ACTION_STATUS;
}
#endif

#if !defined(OMIT_GetHMDPose)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_GetHMDPose(PluginHandle handle, uint64_t timeMs, Pose* pose) {
#if defined(WRITES_NOTHING)
  (void)timeMs;
  (void)pose;
  return reportHandle("orvel_GetHMDPose", handle);
#endif
  Instance* instance = instanceOf(handle);
  if (instance == NULL) return STATUS_BAD_HANDLE;
  const int64_t frame = ++instance->frames;
  if (frame == 3) faultAt(AT_THIRD_POSE);
  memset(pose, 0, sizeof *pose);
#if defined(POSE_FROM_CLOCK)
  pose->timeStamp = (int64_t)timeMs;
  pose->frameNo = (int64_t)instance->host->GetNanosecondTime();
  (void)frame;
#else
  (void)timeMs;
  /* Values that show each number form: fractions, large and tiny doubles,
   * negative zero and an unsigned flag word above the signed range. */
  pose->timeStamp = 1000 * frame;
  pose->frameNo = frame;
  pose->position[0] = 0.5 * (double)frame;
  pose->position[1] = -0.25;
  pose->position[2] = 1234567.0;
  pose->rotation[0] = 1.0;
  pose->velocity[0] = 1e-07;
  pose->velocity[1] = -0.0;
  pose->angularVelocity[2] = 0.125 * (double)frame;
  pose->acceleration[1] = -9.81;
  pose->poseFlags = 0x8000000000000003u;
  pose->confidence = 0.75;
#endif
  plantInPose(pose, frame);
  return ACTION_STATUS;
}
#endif
#endif /* EXPORTS_TRACKING */

#if defined(EXPORTS_MOTION_PLATFORM)
#if !defined(OMIT_UpdatePose)
ORVEL_PLUGIN_EXPORT PluginStatus orvel_UpdatePose(PluginHandle handle, uint64_t count, const Pose* input, Pose* output) {
#if defined(WRITES_NOTHING)
  (void)count;
  (void)input;
  (void)output;
  return reportHandle("orvel_UpdatePose", handle);
#endif
  Instance* instance = instanceOf(handle);
  if (instance == NULL) return STATUS_BAD_HANDLE;
  if (count != 1) return 1;
  const int64_t frame = ++instance->frames;
  if (frame == 3) faultAt(AT_THIRD_UPDATE);
#if defined(CONCURRENT_CALLBACKS)
  joinWriters(instance);
  writersGo = pluginSignalCreate();
  startWriters(instance, (int)(frame - 1) * MOTION_CONCURRENT_LINES, MOTION_CONCURRENT_LINES, writersGo);
#endif
  *output = *input;
#if !defined(UPDATE_COPIES_INPUT)
  output->timeStamp = input->timeStamp - 1;
  output->frameNo = frame;
  output->position[2] = -0.05 * (double)frame;
  output->rotation[0] = 1.0;
  output->poseFlags = 0xFFFFFFFFFFFFFFFFu;
  output->confidence = 1.0;
#endif
#if defined(UPDATE_WRITES_INPUT)
  /* The input is the host's record; this plugin scribbles on it anyway. */
  ((Pose*)input)->frameNo = 100 + frame;
#endif
  plantInPose(output, frame);
#if defined(CONCURRENT_CALLBACKS)
  /* The writers go just before the host gets its poses back to print them,
   * so that they are in the middle of their lines while it does. */
  if (writersGo != NULL) pluginSignalRaise(writersGo);
  pluginSleepMilliseconds(1);
#endif
  return UPDATE_STATUS;
}
#endif
#endif /* EXPORTS_MOTION_PLATFORM */
