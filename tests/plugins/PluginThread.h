/* Threads for the test plugins, which call host services from threads of
 * their own. One implementation per platform sits beside this header. */
#ifndef ORVEL_TEST_PLUGIN_THREAD_H
#define ORVEL_TEST_PLUGIN_THREAD_H

typedef struct PluginThread PluginThread;

/* Starts body(argument) on a new thread; null when the thread cannot start. */
PluginThread* pluginThreadStart(void (*body)(void*), void* argument);
/* Waits for the thread to end and releases it. */
void pluginThreadJoin(PluginThread* thread);
/* Sleeps the calling thread for about milliseconds. */
void pluginSleepMilliseconds(int milliseconds);

/* A signal that threads wait for until another thread raises it; once
 * raised it stays raised. */
typedef struct PluginSignal PluginSignal;

PluginSignal* pluginSignalCreate(void);
void pluginSignalRaise(PluginSignal* signal);
void pluginSignalWait(PluginSignal* signal);
/* Releases the signal; no thread may wait for it any more. */
void pluginSignalDestroy(PluginSignal* signal);

#endif
